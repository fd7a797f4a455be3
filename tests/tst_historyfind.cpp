// Finding and filtering the history: the search over rows (matches within a row, split across a
// port's received batches, never across ports or a Sent row), Next/Previous with their wraps,
// the port and direction filters with Save History, the reply time, and cancelling a search.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/capturestore.h"
#include "data/historysearch.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "models/apphistorytablemodel.h"
#include "serial/appdevice.h"
#include "testapp.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"
#include "ui/findbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>

namespace {

AppMainWin *window()
{
    return VerantisTerminalApp::app()->mainWin();
}

template<typename T> T *child(const char *name)
{
    return window()->findChild<T *>(QLatin1String(name));
}

AppHistoryTableModel *history()
{
    return static_cast<AppHistoryTableModel *>(child<QTableView>("historyTable")->model());
}

// "R1:ERR" is a Received row of COM1, "S2" a Sent one of COM2, "E1" an Event; "@ms" after the
// bytes gives its time in ms after 10:00:00.
struct TestRow
{
    HistorySearch::Kind kind;
    QString port;
    QByteArray bytes;
    int ms;
};

TestRow parse(const QString &row)
{
    const QStringList at = row.mid(3).split(QLatin1Char('@'));
    const QChar kind = row.at(0);
    return { kind == QLatin1Char('R')  ? HistorySearch::Received
            : kind == QLatin1Char('S') ? HistorySearch::Sent
                                       : HistorySearch::Event,
        QStringLiteral("COM") + row.at(1), at.first().toLatin1(), at.value(1).toInt() };
}

// The rows into the main window's history, on a fresh one.
void fill(const QStringList &rows)
{
    MessageBoxCatcher catcher;
    child<QPushButton>("clearHistoryBtn")->click();
    static const char *directions[] = { "Received", "Sent", "Event" };
    for (const QString &row : rows) {
        const TestRow s = parse(row);
        const QString time = QStringLiteral("07.12.2026 10:00:%1.%2")
                                 .arg(s.ms / 1000, 2, 10, QLatin1Char('0'))
                                 .arg(s.ms % 1000, 3, 10, QLatin1Char('0'));
        window()->addHistory(new AppHistoryData(
            time, QLatin1String(directions[s.kind]), s.bytes, s.port, 9600, 8, 0, 0, 0));
    }
    window()->flushHistory();
}

QString label()
{
    return child<QLabel>("historyFindLabel")->text();
}

qint64 selectedRow()
{
    const QModelIndexList rows
        = child<QTableView>("historyTable")->selectionModel()->selectedRows();
    return rows.size() == 1 ? history()->positionOf(rows.first().row()) : -1;
}

void select(const QList<int> &positions)
{
    QItemSelectionModel *selection = child<QTableView>("historyTable")->selectionModel();
    selection->clearSelection();
    for (const int position : positions)
        selection->select(history()->index(history()->rowAt(position), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace

class TstHistoryFind : public QObject
{
    Q_OBJECT
private slots:
    void searchFinds_data();
    void searchFinds();
    void nextAndPreviousWrap();
    void filterAndSave_data();
    void filterAndSave();
    void replyTime_data();
    void replyTime();
    void escapeCancelsALongSearch();
    void findInATerminalLog();
};

void TstHistoryFind::searchFinds_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QVector<qint64>>("found");
    using V = QVector<qint64>;
    QTest::newRow("text in a row, any case")
        << QStringList { "R1:ok", "R1:an ERROR here", "R1:error" } << QByteArray("Error") << false
        << V { 1, 2 };
    QTest::newRow("hex") << QStringList { "R1:a\x06z", "S1:\x06" } << QByteArray("06") << true
                         << V { 0, 1 };
    QTest::newRow("hex is exact") << QStringList { "R1:A" } << QByteArray("61") << true << V {};
    QTest::newRow("split across two batches")
        << QStringList { "R1:xxER", "R1:ROR" } << QByteArray("ERROR") << false << V { 0 };
    QTest::newRow("split across three, another port between") << QStringList { "R1:E", "R2:zz",
        "R1:RR", "R1:ORx" } << QByteArray("ERROR") << false << V { 0 };
    QTest::newRow("not across ports")
        << QStringList { "R1:ER", "R2:ROR" } << QByteArray("ERROR") << false << V {};
    QTest::newRow("not across a Sent row")
        << QStringList { "R1:ER", "S1:x", "R1:ROR" } << QByteArray("ERROR") << false << V {};
    QTest::newRow("not across an Event row")
        << QStringList { "R1:ER", "E1:Lost", "R1:ROR" } << QByteArray("ERROR") << false << V {};
    QTest::newRow("events in text only")
        << QStringList { "E1:Lost" } << QByteArray("lost") << false << V { 0 };
    QTest::newRow("a late start sorts in") << QStringList { "R1:ER", "R2:ERROR", "R1:ROR" }
                                           << QByteArray("ERROR") << false << V { 0, 1 };
}

void TstHistoryFind::searchFinds()
{
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, pattern);
    QFETCH(bool, hex);
    QFETCH(QVector<qint64>, found);
    if (hex)
        pattern = QByteArray::fromHex(pattern);
    // One row per piece: every match crosses a boundary between two reads.
    HistorySearch search;
    search.start(pattern, !hex, !hex, [&](qint64 from, int, const HistorySearch::Feed &feed) {
        const TestRow s = parse(rows.at(int(from)));
        feed({ from, s.kind, s.port, s.bytes, true });
        return from + 1 < rows.size() ? from + 1 : -1;
    });
    QSignalSpy finished(&search, &HistorySearch::finished);
    QVERIFY(finished.wait());
    QCOMPARE(search.matches(), found);
}

void TstHistoryFind::nextAndPreviousWrap()
{
    fill({ "R1:OK", "S1:AT", "R1:ER", "R1:ROR", "R2:error", "R1:ok" });
    select({ 0 });
    window()->historyFindBar()->open();
    QTest::keyClicks(child<QLineEdit>("historyFindEdit"), "error");
    // Typing shows the first match from the row selected.
    QTRY_COMPARE(label(), QStringLiteral("1 of 2"));
    QCOMPARE(selectedRow(), 2);
    const QStringList expected { "2 of 2", "1 of 2, wrapped to the top",
        "2 of 2, wrapped to the bottom", "1 of 2" };
    const QList<qint64> rows { 4, 2, 4, 2 };
    for (int i = 0; i < expected.size(); ++i) {
        child<QPushButton>(i < 2 ? "historyFindNextBtn" : "historyFindPrevBtn")->click();
        QTRY_COMPARE(label(), expected.at(i));
        QCOMPARE(selectedRow(), rows.at(i));
    }
    // HEX mode: bytes, and text that is not HEX says so.
    child<QComboBox>("historyFindModeCombo")->setCurrentText("HEX");
    QTRY_COMPARE(label(), QStringLiteral("Not valid HEX"));
    child<QLineEdit>("historyFindEdit")->setText("4f 4b");
    // From the row selected last, on past the end.
    QTRY_COMPARE(label(), QStringLiteral("1 of 1, wrapped to the top"));
    QCOMPARE(selectedRow(), 0);
    child<QComboBox>("historyFindModeCombo")->setCurrentText("Text");
}

void TstHistoryFind::filterAndSave_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<bool>("shownOnly");
    QTest::addColumn<QList<qint64>>("shown");
    QTest::addColumn<int>("saved");
    QTest::newRow("all") << "All ports"
                         << "All" << true << QList<qint64> { 0, 1, 2, 3, 4 } << 5;
    QTest::newRow("port") << "COM2"
                          << "All" << true << QList<qint64> { 1, 4 } << 2;
    QTest::newRow("direction") << "All ports"
                               << "Sent" << true << QList<qint64> { 2, 4 } << 2;
    QTest::newRow("events") << "All ports"
                            << "Events" << true << QList<qint64> { 3 } << 1;
    QTest::newRow("both") << "COM2"
                          << "Received" << true << QList<qint64> { 1 } << 1;
    QTest::newRow("saves all") << "COM2"
                               << "Received" << false << QList<qint64> { 1 } << 5;
}

void TstHistoryFind::filterAndSave()
{
    QFETCH(QString, port);
    QFETCH(QString, direction);
    QFETCH(bool, shownOnly);
    QFETCH(QList<qint64>, shown);
    QFETCH(int, saved);
    fill({ "R1:a", "R2:b", "S1:c", "E1:Lost", "S2:d" });
    child<QComboBox>("historyPortFilter")->setCurrentText(port);
    child<QComboBox>("historyDirFilter")->setCurrentText(direction);
    QList<qint64> rows;
    for (int row = 0; row < history()->rowCount(); ++row)
        rows << history()->positionOf(row);
    QCOMPARE(rows, shown);
    // The filter stays while rows come in.
    window()->addHistory(
        new AppHistoryData("07.12.2026 10:00:01.000", "Received", "e", "COM2", 9600, 8, 0, 0, 0));
    window()->flushHistory();
    const int added = port != "COM1" && (direction == "All" || direction == "Received");
    QCOMPARE(history()->rowCount(), shown.size() + added);
    QCOMPARE(history()->totalRows(), 6);

    QTemporaryDir folder;
    FolderDialogDriver driver;
    driver.chooseFolder(folder.path());
    child<QCheckBox>("saveShownCheck")->setChecked(shownOnly);
    child<QPushButton>("saveHistoryBtn")->click();
    QFile log(folder.filePath("app.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count('\n') - 1, saved + (shownOnly ? added : 1));
    child<QComboBox>("historyPortFilter")->setCurrentText("All ports");
    child<QComboBox>("historyDirFilter")->setCurrentText("All");
    QCOMPARE(history()->rowCount(), 6);
}

void TstHistoryFind::replyTime_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("text");
    QTest::newRow("reply") << QList<int> { 3 }
                           << "Received 12 bytes on COM3, 48 ms after the last Sent";
    QTest::newRow("command") << QList<int> { 4 }
                             << "Sent 1 byte on COM3, 1.250 s after the last Received";
    QTest::newRow("first") << QList<int> { 0 } << "Received 2 bytes on COM3";
    QTest::newRow("two rows") << QList<int> { 1, 4 } << "1.298 s between rows 2 and 5";
}

void TstHistoryFind::replyTime()
{
    QFETCH(QList<int>, selected);
    QFETCH(QString, text);
    fill({ "R3:hi@0", "S3:AT@10", "R4:other@30", "R3:OK 12 bytes.@58", "S3:x@1308" });
    select(selected);
    QCOMPARE(window()->statusBar()->currentMessage(), text);
}

void TstHistoryFind::escapeCancelsALongSearch()
{
    fill({});
    CaptureStore *store = VerantisTerminalApp::app()->captureStore();
    // Appended in pieces straight to the store; the table needs none of them.
    for (int piece = 0; piece < 40; ++piece) {
        QList<AppTableData *> rows;
        for (int i = 0; i < 5000; ++i)
            rows << new AppHistoryData("07.12.2026 10:00:00.000", "Received",
                QByteArray(40, 'x') + (i == 7 ? "needle" : ""), "COM1", 9600, 8, 0, 0, 0);
        store->append(rows);
        qDeleteAll(rows);
    }
    window()->historyFindBar()->open();
    auto *edit = child<QLineEdit>("historyFindEdit");
    QSignalSpy progress(window()->historyFindBar()->search(), &HistorySearch::progress);
    edit->setText("needle");
    QVERIFY(window()->historyFindBar()->search()->running());
    QVERIFY(progress.wait());
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!window()->historyFindBar()->search()->running());
    QVERIFY(label().startsWith("Search cancelled"));
    QVERIFY(window()->historyFindBar()->isVisible());
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!window()->historyFindBar()->isVisible());
}

void TstHistoryFind::findInATerminalLog()
{
    AppDeviceData record("Lab", "COM1", 9600, 8, 0, 0, 0);
    AppDevice device(&record);
    QScopedPointer<AppDeviceDialog> dialog(new AppDeviceDialog(window(), &device));
    // A burst: the log lays out only its newest blocks, not the first one.
    for (int i = 0; i < 1500; ++i)
        QMetaObject::invokeMethod(dialog.data(), "onDeviceFullToRead",
            Q_ARG(
                QByteArray, i == 0 ? QByteArray("the NEEDLE") : "block " + QByteArray::number(i)));
    window()->flushHistory();
    auto *log = dialog->findChild<QTextEdit *>("logText");
    QVERIFY(!log->toPlainText().contains("NEEDLE"));
    dialog->findChild<QLineEdit *>("logFindEdit")->setText("needle");
    QTRY_COMPARE(dialog->findChild<QLabel *>("logFindLabel")->text(), QStringLiteral("1 of 1"));
    QCOMPARE(log->textCursor().selectedText(),
        QStringLiteral("Received:746865204E4545444C45-------the NEEDLE"));
}

VT_TEST_MAIN(TstHistoryFind)
#include "tst_historyfind.moc"
