// The capture store: a kill -9 mid-stream loses at most the last frame and the next start
// recovers it; a clean exit removes it; an unwritable folder falls back to memory with one
// message; Save History is byte-exact across the history's window.
#include "app/verantisterminalapp.h"
#include "data/apphistorydata.h"
#include "data/capturestore.h"
#include "data/logline.h"
#include "models/apphistorytablemodel.h"
#include "ui/appmainwin.h"

#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "scratchmount.h"

#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Row n of a test stream: its bytes tell which row it is, with CR, LF and a backslash in it.
QByteArray streamBytes(qint64 n)
{
    return "row " + QByteArray::number(n) + "\r\n\\" + QByteArray(int(n % 40), char(n));
}

AppHistoryData *streamRow(qint64 n)
{
    return new AppHistoryData(
        QStringLiteral("06.12.2026 22:10:05.%1").arg(n % 1000, 3, 10, QLatin1Char('0')),
        n % 3 ? QStringLiteral("Received") : QStringLiteral("Sent"), streamBytes(n),
        QStringLiteral("COM5"), 115200, 8, 0, 0, 0);
}

QList<AppTableData *> frame(qint64 first, int rows)
{
    QList<AppTableData *> records;
    for (int i = 0; i < rows; ++i)
        records.append(streamRow(first + i));
    return records;
}

// Child: writes frames of rows into a store in `folder` until killed, saying after each frame how
// many rows it holds.
int writeUntilKilled(const QString &folder)
{
    CaptureStore store(folder);
    for (qint64 n = 1;; n += 50) {
        const QList<AppTableData *> records = frame(n, 50);
        store.append(records);
        qDeleteAll(records);
        std::printf("stored %lld\n", store.lastId());
        std::fflush(stdout);
    }
}

// Child: the program with a data folder of its own takes one row and then exits cleanly,
// printing where its store was.
int takeOneRowAndExit(int argc, char **argv)
{
    VerantisTerminalApp app(argc, argv);
    app.mainWin()->addHistory(streamRow(1));
    app.mainWin()->flushHistory();
    std::printf("%s\n", qPrintable(app.captureStore()->path()));
    return 0;
}

} // namespace

class TstCaptureStore : public QObject
{
    Q_OBJECT

private slots:
    void killedRunIsRecoveredAtTheNextStart();
    void cleanExitRemovesTheStore();
    void unwritableFolderFallsBackWithOneMessage();
    void fullDiskKeepsEveryRowWithOneMessage();
    void saveHistoryIsByteExactAcrossTheWindow();
    void historyBarSpansEveryRow();
};

void TstCaptureStore::killedRunIsRecoveredAtTheNextStart()
{
    QTemporaryDir folder;
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(), { "--writer", folder.path() });
    qint64 reported = 0;
    while (reported < 3000) {
        QVERIFY(writer.waitForReadyRead(20000));
        while (writer.canReadLine())
            reported = writer.readLine().split(' ').value(1).trimmed().toLongLong();
    }
    writer.kill();
    QVERIFY(writer.waitForFinished(20000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    // What it said before it died, read to the end.
    for (const QByteArray &line : writer.readAllStandardOutput().split('\n')) {
        if (line.startsWith("stored "))
            reported = line.mid(7).toLongLong();
    }
    QCOMPARE(CaptureStore::storesIn(folder.path()).size(), 1);

    CaptureStore next(folder.path());
    QSignalSpy notices(&next, &CaptureStore::notice);
    next.recoverLeftovers();
    // Every frame it reported, and perhaps one more.
    const qint64 recovered = next.historyCount();
    QVERIFY2(recovered >= reported && recovered <= reported + 50,
        qPrintable(QString::number(recovered)));
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(),
        QStringLiteral("Recovered %L1 history rows from a run that ended unexpectedly (06.12.2026 "
                       "22:10:05 to 06.12.2026 22:10:05).")
            .arg(recovered));
    qint64 n = 0;
    QVERIFY(next.forEachHistoryRow(0, recovered, [&n](const AppHistoryData &row) {
        const std::unique_ptr<AppHistoryData> expected(streamRow(++n));
        return logLine(row) == logLine(*expected);
    }));
    QCOMPARE(n, recovered);
    // Only this run's store is left, and the history shows the recovered rows' newest window.
    QCOMPARE(CaptureStore::storesIn(folder.path()), QStringList { next.path() });
    AppHistoryTableModel model(new QList<AppTableData *>);
    model.setStore(&next);
    QCOMPARE(model.totalRows(), recovered);
    QCOMPARE(model.headerData(model.rowCount() - 1, Qt::Vertical).toLongLong(), recovered);
}

void TstCaptureStore::cleanExitRemovesTheStore()
{
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), { "--one-row" });
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
    const QString path = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    QVERIFY2(path.contains("capture-"), qPrintable(path));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(CaptureStore::storesIn(QFileInfo(path).absolutePath()), QStringList());
}

void TstCaptureStore::unwritableFolderFallsBackWithOneMessage()
{
    QTemporaryDir home;
    const QString folder = home.filePath("locked");
    ReadOnlyFolder locked(folder);
    if (locked.skipReason())
        QSKIP(locked.skipReason());
    QVERIFY(locked.lock());
    CaptureStore store(folder);
    QSignalSpy notices(&store, &CaptureStore::notice);
    for (int i = 0; i < 3; ++i) {
        const QList<AppTableData *> records = frame(1 + i * 10, 10);
        store.append(records);
        qDeleteAll(records);
    }
    QCOMPARE(notices.count(), 1);
    QVERIFY(notices.at(0).at(0).toString().startsWith(
        QStringLiteral("The history cannot be kept on disk in %1: ").arg(folder)));
    QVERIFY(!store.onDisk());
    QCOMPARE(store.historyCount(), 30);
    const QList<AppTableData *> rows = store.historyRows(29, 1);
    QCOMPARE(static_cast<AppHistoryData *>(rows.value(0))->bytes(), streamBytes(30));
    qDeleteAll(rows);
}

void TstCaptureStore::fullDiskKeepsEveryRowWithOneMessage()
{
    QTemporaryDir home;
    ScratchMount disk(home.filePath("small"), "1m");
    if (!disk.isMounted())
        QSKIP(disk.skipReason());
    CaptureStore store(home.filePath("small"));
    QSignalSpy notices(&store, &CaptureStore::notice);
    qint64 added = 0;
    for (int i = 0; i < 60; ++i) {
        QList<AppTableData *> records = frame(added + 1, 50);
        for (AppTableData *record : records)
            static_cast<AppHistoryData *>(record)->setTerminal(1);
        store.append(records);
        qDeleteAll(records);
        added += 50;
    }
    // The file filled up: told once, and the rows from then on are kept in memory.
    QCOMPARE(notices.count(), 1);
    QVERIFY(notices.at(0).at(0).toString().contains("rows from now on are kept in memory"));
    QVERIFY(!store.onDisk());
    QCOMPARE(store.historyCount(), added);
    qint64 n = 0;
    QVERIFY(store.forEachHistoryRow(0, added, [&n](const AppHistoryData &row) {
        const std::unique_ptr<AppHistoryData> expected(streamRow(++n));
        return row.bytes() == expected->bytes();
    }));
    QCOMPARE(n, added);
    QCOMPARE(store.terminalRows(1, 0, added + 1, 100000, false).size(), int(added));
}

void TstCaptureStore::saveHistoryIsByteExactAcrossTheWindow()
{
    MessageBoxCatcher catcher;
    QTemporaryDir chosen;
    FolderDialogDriver driver;
    driver.chooseFolder(chosen.path());
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    const int rows = AppHistoryTableModel::WindowRows + 777;
    QByteArray expected;
    for (int n = 1; n <= rows; ++n) {
        AppHistoryData *row = streamRow(n);
        expected += logLine(*row) + '\n';
        window->addHistory(row);
        if (n % 1000 == 0)
            window->flushHistory();
    }
    window->findChild<QPushButton *>("saveHistoryBtn")->click();
    QFile log(QDir(chosen.path()).filePath("app.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll() == expected + '\n');
    QCOMPARE(window->statusBar()->currentMessage(),
        QStringLiteral("Saved %L1 history rows to %2.")
            .arg(rows)
            .arg(QDir::toNativeSeparators(log.fileName())));

    // The table holds one window, numbered by the rows' places, and jumps anywhere.
    auto *model = window->findChild<QTableView *>("historyTable")->model();
    QCOMPARE(model->rowCount(), AppHistoryTableModel::WindowRows);
    QCOMPARE(model->headerData(model->rowCount() - 1, Qt::Vertical).toInt(), rows);
    window->showHistoryRow(0);
    QCOMPARE(model->headerData(0, Qt::Vertical).toInt(), 1);
    // Scrolling past the window's last row reads the rows after it in.
    QScrollBar *bar = window->findChild<QTableView *>("historyTable")->verticalScrollBar();
    for (int i = 0; model->headerData(model->rowCount() - 1, Qt::Vertical).toInt() < rows; ++i) {
        QVERIFY(i < 10);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
    }
    window->showHistoryRow(0);
    QCOMPARE(model->data(model->index(0, 3)).toString(), QString::fromLatin1(streamBytes(1)));
    window->findChild<QPushButton *>("clearHistoryBtn")->click();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(catcher.count(), 0);
}

void TstCaptureStore::historyBarSpansEveryRow()
{
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *table = window->findChild<QTableView *>("historyTable");
    auto *model = static_cast<AppHistoryTableModel *>(table->model());
    auto *bar = window->findChild<QScrollBar *>("historyScrollBar");
    QVERIFY(bar);
    // Rows added (1-based, as numbered) up to `total`; at the end the newest shows whole and the
    // bar, a row per step, is at its end.
    const auto addUpTo = [&](qint64 total) {
        for (qint64 n = model->totalRows() + 1; n <= total; ++n) {
            window->addHistory(streamRow(n));
            if (n % 5000 == 0 || n == total)
                window->flushHistory();
        }
        return model->windowStart() + model->rowCount() == total && bar->value() == bar->maximum()
            && table->viewport()->rect().contains(
                table->visualRect(model->index(model->rowCount() - 1, 0)))
            && bar->maximum() > total - 10 && bar->maximum() < total;
    };
    QVERIFY(addUpTo(30000));
    // Dragged to the middle, far outside the window, the table shows that row at once.
    bar->setSliderDown(true);
    bar->setSliderPosition(15000);
    QCOMPARE(model->windowStart() + table->rowAt(0), 15000);
    QCOMPARE(model->headerData(table->rowAt(0), Qt::Vertical).toInt(), 15001);
    const std::unique_ptr<AppHistoryData> expected(streamRow(15001));
    QCOMPARE(model->data(model->index(table->rowAt(0), 3)).toString(),
        QString::fromLatin1(expected->bytes()));
    // The table's own scrolling (wheel, keys) moves the bar; back at the end, it follows.
    table->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 15001);
    bar->setSliderPosition(bar->maximum());
    bar->setSliderDown(false);
    QVERIFY(addUpTo(30010));
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && qstrcmp(argv[1], "--one-row") == 0)
        return takeOneRowAndExit(argc, argv);
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    VerantisTerminalApp app(argc, argv);
    TstCaptureStore tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_capturestore.moc"
