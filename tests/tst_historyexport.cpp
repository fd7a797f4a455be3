// Exporting the history to "app.log", through the real folder dialog.
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "models/apphistorytablemodel.h"
#include "testapp.h"

#include <QDir>
#include <QFile>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

AppHistoryData *exampleRecord()
{
    return new AppHistoryData(
        "06.12.2026 10:15:30.250", "Sent", QByteArray("ABC"), "COM3", 9600, 8, 0, 0, 0);
}

// All bytes of a literal, zero bytes included.
template<int N> QByteArray literal(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

const QByteArray exampleLine
    = "06.12.2026 10:15:30.250-Sent-414243-ABC-COM3-9600-8-OneStop-None-OFF";

} // namespace

class TstHistoryExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void exampleLineIsByteExact();
    void lineShowsSettingTexts_data();
    void lineShowsSettingTexts();
    void exportGoesToTheChosenFolder();
    void dialogAsksForAFolderStartingInTheDataFolder();
    void twoExportsAppendTwoBlocks();
    void existingContentStays();
    void rowsAreWrittenOldestFirst();
    void bytesAreWrittenUnescaped();
    void emptyHistoryTouchesNothing();
    void cancelledDialogWritesIntoTheDataFolder();
    void unopenableFileDropsTheExportSilently();

private:
    QByteArray logBytes(const QString &folder) const;
    AppSettingsManager *store() const { return VerantisTerminalApp::app()->settingsManager(); }

    QScopedPointer<QTemporaryDir> dataHome;
    QScopedPointer<QTemporaryDir> chosen;
    QScopedPointer<AppHistoryTableModel> model;
    QScopedPointer<FolderDialogDriver> driver;
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstHistoryExport::init()
{
    // The application's store reads the data folder from the environment at every export.
    dataHome.reset(new QTemporaryDir);
    QVERIFY(dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
    chosen.reset(new QTemporaryDir);
    QVERIFY(chosen->isValid());
    model.reset(new AppHistoryTableModel(new QList<AppTableData *>));
    driver.reset(new FolderDialogDriver);
    driver->chooseFolder(chosen->path());
    catcher.reset(new MessageBoxCatcher);
}

void TstHistoryExport::cleanup()
{
    QCOMPARE(catcher->count(), 0);
    catcher.reset();
    driver.reset();
    model.reset();
    chosen.reset();
    dataHome.reset();
}

QByteArray TstHistoryExport::logBytes(const QString &folder) const
{
    QFile file(QDir(folder).filePath("app.log"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<no file>");
    return file.readAll();
}

void TstHistoryExport::exampleLineIsByteExact()
{
    QScopedPointer<AppHistoryData> record(exampleRecord());
    QCOMPARE(model->historyLine(record.data()).toUtf8(), exampleLine);
}

void TstHistoryExport::lineShowsSettingTexts_data()
{
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QString>("tail");
    QTest::newRow("positions 1") << 1 << 1 << 1 << "-7-OneAndHalfStop-Even-RTS/CTS";
    QTest::newRow("positions 2") << 2 << 2 << 2 << "-7-TwoStop-Odd-Xon/Xoff";
    // Only a hand-edited device file holds such positions; they never index the lists.
    QTest::newRow("outside the lists") << 3 << -1 << 99 << "-7---";
}

void TstHistoryExport::lineShowsSettingTexts()
{
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(int, flowControl);
    QFETCH(QString, tail);
    AppHistoryData record("01.01.2027 00:00:00.000", "Received", QByteArray("\x01", 1), "COM12",
        115200, 7, stopBits, parity, flowControl);
    QCOMPARE(model->historyLine(&record),
        QString("01.01.2027 00:00:00.000-Received-01-\x01-COM12-115200") + tail);
}

void TstHistoryExport::exportGoesToTheChosenFolder()
{
    model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(driver->count(), 1);
    QCOMPARE(logBytes(chosen->path()), exampleLine + "\n\n");
    // The export leaves the history as it was.
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(!QFile::exists(store()->dataFolder() + "app.log"));
}

void TstHistoryExport::dialogAsksForAFolderStartingInTheDataFolder()
{
    QVERIFY(QDir().mkpath(store()->dataFolder()));
    model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(driver->count(), 1);
    QCOMPARE(driver->title(), QStringLiteral("Choose logging file path"));
    QCOMPARE(driver->startFolder(), QDir(store()->dataFolder()).absolutePath());
    // A folder mode (with ShowDirsOnly the dialog reports it under its older name).
    QVERIFY(driver->fileMode() != QFileDialog::AnyFile);
    QVERIFY(driver->fileMode() != QFileDialog::ExistingFile);
    QVERIFY(driver->fileMode() != QFileDialog::ExistingFiles);
    QVERIFY(driver->options().testFlag(QFileDialog::ShowDirsOnly));
    QVERIFY(driver->options().testFlag(QFileDialog::DontResolveSymlinks));
    QVERIFY(!driver->hadParent());
}

void TstHistoryExport::twoExportsAppendTwoBlocks()
{
    model->addData(exampleRecord());
    model->saveHistory();
    model->saveHistory();
    QCOMPARE(driver->count(), 2);
    QCOMPARE(logBytes(chosen->path()), exampleLine + "\n\n" + exampleLine + "\n\n");
}

void TstHistoryExport::existingContentStays()
{
    QFile old(QDir(chosen->path()).filePath("app.log"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier\r\nlines");
    old.close();
    model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(logBytes(chosen->path()), "earlier\r\nlines" + exampleLine + "\n\n");
}

void TstHistoryExport::rowsAreWrittenOldestFirst()
{
    model->addData(exampleRecord());
    model->addData(new AppHistoryData(
        "06.12.2026 10:15:30.300", "Received", QByteArray("\x06", 1), "COM3", 9600, 8, 0, 0, 0));
    model->saveHistory();
    QCOMPARE(logBytes(chosen->path()),
        exampleLine + "\n"
            + "06.12.2026 10:15:30.300-Received-06-\x06-COM3-9600-8-OneStop-None-OFF\n\n");
}

void TstHistoryExport::bytesAreWrittenUnescaped()
{
    model->addData(new AppHistoryData("06.12.2026 10:15:30.250", "Received",
        literal("A\x0a\x2d\x00\xe9"), "COM3", 9600, 8, 0, 0, 0));
    model->saveHistory();
    // The line feed splits the line, the 0x2D adds a hyphen, the zero byte stands as it is and
    // a character above 127 takes two bytes in UTF-8.
    QCOMPARE(logBytes(chosen->path()),
        literal("06.12.2026 10:15:30.250-Received-410A2D00E9-A\n-\0\xc3\xa9-COM3-9600-8-"
                "OneStop-None-OFF\n\n"));
}

void TstHistoryExport::emptyHistoryTouchesNothing()
{
    model->saveHistory();
    store()->saveHistoryLog(QString());
    QCOMPARE(driver->count(), 0);
    QVERIFY(!QFile::exists(QDir(chosen->path()).filePath("app.log")));
    QVERIFY(!QFile::exists(store()->dataFolder()));
}

void TstHistoryExport::cancelledDialogWritesIntoTheDataFolder()
{
    driver->cancel();
    model->addData(exampleRecord());
    // The data folder does not exist before anything was saved; the export still lands there.
    QVERIFY(!QFile::exists(store()->dataFolder()));
    model->saveHistory();
    QCOMPARE(driver->count(), 1);
    QCOMPARE(logBytes(store()->dataFolder()), exampleLine + "\n\n");
    QVERIFY(!QFile::exists(QDir(chosen->path()).filePath("app.log")));

    model->saveHistory();
    QCOMPARE(logBytes(store()->dataFolder()), exampleLine + "\n\n" + exampleLine + "\n\n");
}

void TstHistoryExport::unopenableFileDropsTheExportSilently()
{
    // A folder in the way of "app.log" cannot be opened as a file, whoever runs the test.
    QVERIFY(QDir(chosen->path()).mkdir("app.log"));
    model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(driver->count(), 1);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(QFileInfo(QDir(chosen->path()).filePath("app.log")).isDir());
    QVERIFY(!QFile::exists(store()->dataFolder() + "app.log"));
}

VT_TEST_MAIN(TstHistoryExport)
#include "tst_historyexport.moc"
