// Exporting the history to "app.log", through the real folder dialog.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/historyexport.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "models/apphistorytablemodel.h"
#include "ptypeer.h"
#include "scratchmount.h"
#include "serial/appdevicemanager.h"
#include "testapp.h"
#include "ui/appmainwin.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>
#include <QScopedPointer>
#include <QTableView>
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
    void asciiFieldEscapesControlBytes_data();
    void asciiFieldEscapesControlBytes();
    void receivedBytesCannotForgeLines();
    void emptyHistoryTouchesNothing();
    void cancelledDialogWritesIntoTheDataFolder();
    void folderInPlaceOfTheLogIsReported();
    void readOnlyFolderIsReported();
    void fullDiskLeavesTheLogAsItWas();
    void millionRowsAreSavedInSeconds();
    void stoppedExportLeavesTheLogAsItWas_data();
    void stoppedExportLeavesTheLogAsItWas();

private:
    QByteArray logBytes(const QString &folder) const;
    QString failure(const QString &folder, const QString &reason) const;
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

QString TstHistoryExport::failure(const QString &folder, const QString &reason) const
{
    return QStringLiteral("Could not save the history to %1: %2. Nothing was written.")
        .arg(QDir::toNativeSeparators(QDir(folder).filePath("app.log")), reason);
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
        QString("01.01.2027 00:00:00.000-Received-01-\\x01-COM12-115200") + tail);
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
            + "06.12.2026 10:15:30.300-Received-06-\\x06-COM3-9600-8-OneStop-None-OFF\n\n");
}

void TstHistoryExport::asciiFieldEscapesControlBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("printable, hyphen included") << QByteArray("A-b ~") << QByteArray("A-b ~");
    QTest::newRow("line ends and tab") << QByteArray("\r\n\t") << QByteArray("\\r\\n\\t");
    QTest::newRow("zero byte") << literal("\x00") << QByteArray("\\x00");
    QTest::newRow("escape sequence") << QByteArray("\x1b[2J") << QByteArray("\\x1B[2J");
    QTest::newRow("title sequence") << QByteArray("\x1b]0;x\x07") << QByteArray("\\x1B]0;x\\x07");
    QTest::newRow("DEL") << QByteArray("\x7f") << QByteArray("\\x7F");
    QTest::newRow("backslash") << QByteArray("a\\x41") << QByteArray("a\\\\x41");
    // C1 controls act on terminals as well; the rest of Latin-1 stays, in UTF-8.
    QTest::newRow("C1 CSI") << QByteArray("\x9b") << QByteArray("\\x9B");
    QTest::newRow("Latin-1") << QByteArray("\xa0\xe9\xff")
                             << QByteArray("\xc2\xa0\xc3\xa9\xc3\xbf");
}

void TstHistoryExport::asciiFieldEscapesControlBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, field);
    model->addData(
        new AppHistoryData("06.12.2026 10:15:30.250", "Received", bytes, "COM3", 9600, 8, 0, 0, 0));
    // The HEX field keeps every byte exactly; only the ASCII field is escaped.
    const QByteArray line = "06.12.2026 10:15:30.250-Received-" + bytes.toHex().toUpper() + "-"
        + field + "-COM3-9600-8-OneStop-None-OFF";
    QCOMPARE(model->historyLine(static_cast<AppHistoryData *>(model->getData(0))).toUtf8(), line);
    model->saveHistory();
    QCOMPARE(logBytes(chosen->path()), line + "\n\n");
}

void TstHistoryExport::receivedBytesCannotForgeLines()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    auto *history = qobject_cast<AppHistoryTableModel *>(
        VerantisTerminalApp::app()->mainWin()->findChild<QTableView *>("historyTable")->model());
    QVERIFY(history);
    history->clearData();
    AppDeviceData device("Dev", "COM5", 9600, 8, 0, 0, 0);
    VerantisTerminalApp::app()->openDevice(&device);
    QVERIFY(!VerantisTerminalApp::app()->deviceManager()->isPortFree("COM5"));

    const QByteArray sent = QByteArray("\n01.01.2026 00:00:00.000-Sent-DEADBEEF-forged-COM1-9600-8-"
                                       "OneStop-None-OFF\n\x1b]0;owned\x07\x1b[2J\\x41\r")
        + literal("\x00\x7f\xe9");
    QVERIFY(peer.write(sent));
    const auto received = [history] {
        QByteArray bytes;
        for (int row = 0; row < history->rowCount(); ++row)
            bytes += static_cast<AppHistoryData *>(history->getData(row))->bytes();
        return bytes;
    };
    QTRY_COMPARE_WITH_TIMEOUT(received(), sent, 10000);
    const int rows = history->rowCount();
    history->saveHistory();
    VerantisTerminalApp::app()->deviceManager()->closeDevice("COM5");

    // One line per received block and the empty line after the export, nothing else; each
    // line's HEX field gives back its block, and its ASCII field reads back to the same bytes.
    const QList<QByteArray> lines = logBytes(chosen->path()).split('\n');
    QCOMPARE(lines.size(), rows + 2);
    QVERIFY(lines.at(rows).isEmpty());
    QByteArray fromHex;
    QByteArray fromAscii;
    for (int row = 0; row < rows; ++row) {
        const QByteArray &line = lines.at(row);
        QVERIFY2(line.contains("-Received-"), line.constData());
        QVERIFY(!line.startsWith("01.01.2026"));
        for (const char c : line)
            QVERIFY2(uchar(c) >= 0x20 && uchar(c) != 0x7f, line.constData());
        QVERIFY(line.endsWith("-COM5-9600-8-OneStop-None-OFF"));
        const QByteArray fields = line.mid(line.indexOf("-Received-") + 10);
        const int hexEnd = fields.indexOf('-');
        fromHex += QByteArray::fromHex(fields.left(hexEnd));
        const QString ascii
            = QString::fromUtf8(fields.mid(hexEnd + 1, fields.size() - hexEnd - 1 - 29));
        for (int i = 0; i < ascii.size(); ++i) {
            if (ascii.at(i) != QLatin1Char('\\')) {
                fromAscii += char(ascii.at(i).unicode());
                continue;
            }
            const QChar next = ascii.at(++i);
            if (next == QLatin1Char('x')) {
                fromAscii += char(ascii.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else {
                fromAscii += next == QLatin1Char('n') ? '\n'
                    : next == QLatin1Char('r')        ? '\r'
                    : next == QLatin1Char('t')        ? '\t'
                                                      : char(next.unicode());
            }
        }
    }
    QCOMPARE(fromHex, sent);
    QCOMPARE(fromAscii, sent);
    history->clearData();
}

void TstHistoryExport::emptyHistoryTouchesNothing()
{
    model->saveHistory();
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

void TstHistoryExport::folderInPlaceOfTheLogIsReported()
{
    QVERIFY(QDir(chosen->path()).mkdir("app.log"));
    model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(driver->count(), 1);
    QCOMPARE(catcher->texts(),
        QStringList({ failure(chosen->path(), "a folder of that name is in its place") }));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal" }));
    QCOMPARE(model->rowCount(), 1);
    QVERIFY(QFileInfo(QDir(chosen->path()).filePath("app.log")).isDir());
    QVERIFY(!QFile::exists(store()->dataFolder() + "app.log"));
    catcher->clear();
}

void TstHistoryExport::readOnlyFolderIsReported()
{
    const QString folder = QDir(chosen->path()).filePath("locked");
    ReadOnlyFolder locked(folder);
    if (locked.skipReason())
        QSKIP(locked.skipReason());
    QVERIFY(locked.lock());
    driver->chooseFolder(folder);
    model->addData(exampleRecord());
    model->saveHistory();
    const QString reason
        = geteuid() == 0 ? QStringLiteral("the disk is read-only") : "the folder is read-only";
    QCOMPARE(catcher->texts(), QStringList({ failure(folder, reason) }));
    QVERIFY(!QFile::exists(QDir(folder).filePath("app.log")));
    catcher->clear();
}

void TstHistoryExport::fullDiskLeavesTheLogAsItWas()
{
    const QString folder = QDir(chosen->path()).filePath("small");
    ScratchMount disk(folder, "64k");
    if (!disk.isMounted())
        QSKIP(disk.skipReason());
    driver->chooseFolder(folder);
    model->addData(exampleRecord());
    model->saveHistory();
    const QByteArray before = exampleLine + "\n\n";
    QCOMPARE(logBytes(folder), before);

    // An export larger than the room left: nothing of it reaches the file.
    const QString filler = disk.fill();
    QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - 8192));
    for (int i = 0; i < 400; ++i)
        model->addData(exampleRecord());
    model->saveHistory();
    QCOMPARE(catcher->texts(), QStringList({ failure(folder, "the disk is full") }));
    QCOMPARE(logBytes(folder), before);

    // With room again the next export follows the earlier one directly.
    QVERIFY(QFile::remove(filler));
    model->saveHistory();
    const QByteArray log = logBytes(folder);
    QVERIFY(log.startsWith(before + exampleLine + "\n"));
    QCOMPARE(log.count('\n'), 2 + 401 + 1);
    QCOMPARE(catcher->count(), 1);
    catcher->clear();
}

void TstHistoryExport::millionRowsAreSavedInSeconds()
{
    // Shared strings and bytes, as records of one port share them in practice; the rows differ
    // in their bytes so the lines are not all alike.
    const QString time = QStringLiteral("06.12.2026 10:15:30.250");
    const QString direction = QStringLiteral("Received");
    const QString port = QStringLiteral("COM3");
    QList<QByteArray> blocks;
    for (int i = 0; i < 16; ++i)
        blocks.append(QByteArray("Reading ") + char('A' + i) + "\r\n");
    const int rows = 1000000;
    for (int i = 0; i < rows; ++i)
        model->addData(
            new AppHistoryData(time, direction, blocks.at(i % 16), port, 9600, 8, 0, 0, 0));

    // A progress window shows when the export takes longer than a moment.
    bool progressShown = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&progressShown] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QProgressDialog *>(widget) && widget->isVisible())
                progressShown = true;
        }
    });
    watch.start(50);
    QElapsedTimer clock;
    clock.start();
    model->saveHistory();
    const qint64 elapsed = clock.elapsed();
    watch.stop();
    qInfo("%d rows exported in %lld ms", rows, elapsed);
    // Seconds on a loaded machine, not minutes.
    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    if (elapsed > 3000)
        QVERIFY(progressShown);

    QFile log(QDir(chosen->path()).filePath("app.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray first = "06.12.2026 10:15:30.250-Received-52656164696E6720410D0A-"
                             "Reading A\\r\\n-COM3-9600-8-OneStop-None-OFF\n";
    QCOMPARE(log.readLine(), first);
    // Every line is as long as the first, and one empty line ends the export.
    QCOMPARE(log.size(), qint64(rows) * first.size() + 1);
    model->clearData();
}

void TstHistoryExport::stoppedExportLeavesTheLogAsItWas_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled") << true;
    QTest::newRow("rows unreadable") << false;
}

void TstHistoryExport::stoppedExportLeavesTheLogAsItWas()
{
    // Stopped after pieces were written: the file is cut back to what it held.
    QFETCH(bool, cancel);
    QFile file(QDir(chosen->path()).filePath("app.log"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old\n") == 4);
    file.close();
    const auto lines = [cancel](qint64 first, qint64 end, QByteArray &out) {
        out += QByteArray(int(end - first) * 2, '\n');
        return cancel || first < 2 * HistoryExport::PieceRows;
    };
    const HistoryExport::Result result = HistoryExport::write(chosen->path(),
        4 * HistoryExport::PieceRows, lines,
        [cancel](qint64 done, qint64) { return !cancel || done < 3 * HistoryExport::PieceRows; });
    QCOMPARE(int(result.outcome), int(cancel ? HistoryExport::Cancelled : HistoryExport::Failed));
    QCOMPARE(result.message,
        cancel ? QString() : failure(chosen->path(), "the history could not be read"));
    QCOMPARE(logBytes(chosen->path()), QByteArray("old\n"));
}

VT_TEST_MAIN(TstHistoryExport)
#include "tst_historyexport.moc"
