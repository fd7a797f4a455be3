// Received data on its way to the log and the history, which take it a frame at a time: order,
// one row and one paragraph per batch, clearing and closing while data waits, the read-only log,
// its display bound, and following the end.
#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "ui/logview.h"
#include "util/conversion.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "testapp.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

using namespace AppWindows;

namespace {

AppAbstractTableModel *history()
{
    return tableModel("historyTable");
}

AppHistoryData *historyRow(int row)
{
    return static_cast<AppHistoryData *>(history()->getData(row));
}

QTextEdit *logOf(const AppDeviceDialog *dialog)
{
    return widget<QTextEdit>(dialog, "logText");
}

QString copied(const AppDeviceDialog *dialog)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    widget<QPushButton>(dialog, "clipBoardBtn")->click();
    return QGuiApplication::clipboard()->text();
}

QString paragraph(const QString &direction, const QByteArray &bytes)
{
    return direction + QLatin1Char(':') + bytesToHex(bytes) + QStringLiteral("-------")
        + bytesToAscii(bytes);
}

// What Copy To Clipboard must give for the history rows of one port.
QString expectedLog(const QString &port)
{
    QStringList lines;
    for (int row = 0; row < history()->rowCount(); ++row) {
        if (historyRow(row)->portName() == port)
            lines << paragraph(historyRow(row)->direction(), historyRow(row)->bytes());
    }
    return lines.join(QLatin1Char('\n'));
}

int shownParagraphs(const AppDeviceDialog *dialog)
{
    const QTextDocument *document = logOf(dialog)->document();
    return document->isEmpty() ? 0 : document->blockCount();
}

bool atEnd(const QScrollBar *bar)
{
    return bar->value() == bar->maximum();
}

// One open terminal on a pty, with its device at hand to see each batch arrive.
struct Terminal
{
    QScopedPointer<PtyPeer> peer;
    QPointer<AppDevice> device;
    QPointer<AppDeviceDialog> dialog;
    QScopedPointer<QSignalSpy> batches;
    QScopedPointer<AppDeviceData> record;

    bool open(const QString &port)
    {
        peer.reset(new PtyPeer);
        if (!peer->mapTo(port))
            return false;
        record.reset(new AppDeviceData(QStringLiteral("Rig ") + port, port, 9600, 8, 0, 0, 0));
        // As openDevice does it, keeping hold of the device.
        auto *opened = new AppDevice(record.data());
        if (!opened->open() || !VerantisTerminalApp::app()->deviceManager()->registerDevice(opened))
            return false;
        device = opened;
        dialog = new AppDeviceDialog(mainWindow(), opened);
        dialog->show();
        batches.reset(new QSignalSpy(opened, &AppDevice::onDataFull));
        return true;
    }

    // Writes the bytes and waits until the device has handed them on, in one batch or more.
    bool receive(const QByteArray &bytes)
    {
        const auto arrived = [this] {
            qint64 total = 0;
            for (const QList<QVariant> &batch : qAsConst(*batches))
                total += batch.at(0).toByteArray().size();
            return total;
        };
        const qint64 wanted = arrived() + bytes.size();
        if (!peer->write(bytes))
            return false;
        while (arrived() < wanted) {
            if (!batches->wait(10000))
                return false;
        }
        return true;
    }
};

} // namespace

class TstReceivePath : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsKeepArrivalOrderAcrossTerminalsAndSends();
    void oneRowAndOneParagraphPerBatch();
    void clearHistoryDropsRowsStillWaiting();
    void clearDropsParagraphsStillWaiting();
    void closingWithBatchesWaitingLosesNone();
    void logIgnoresUndoAndTyping();
    void tabLeavesTheLogAndCtrlCCopiesTheSelection();
    void copyBeyondTheShownBlocksGivesEveryBlock();
    void aBlockLongerThanTheBoundIsShownWhole();
    void logFollowsTheEndOnlyAtTheEnd();
    void historyFollowsTheEndOnlyAtTheEnd();
    void lineBreaksShowAsSymbolsOfTheirOwnColour_data();
    void lineBreaksShowAsSymbolsOfTheirOwnColour();
    void logScrollsBackThroughEverything_data();
    void logScrollsBackThroughEverything();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
    Terminal a;
    Terminal b;
};

void TstReceivePath::init()
{
    catcher.reset(new MessageBoxCatcher);
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    QVERIFY(a.open(QStringLiteral("COM5")));
}

void TstReceivePath::cleanup()
{
    for (AppDeviceDialog *dialog : terminals())
        dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow()->findChildren<AppDeviceDialog *>().isEmpty(), 10000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (Terminal *t : { &a, &b }) {
        t->batches.reset();
        t->peer.reset();
    }
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    QCOMPARE(catcher->count(), 0);
    catcher.reset();
}

void TstReceivePath::rowsKeepArrivalOrderAcrossTerminalsAndSends()
{
    QVERIFY(b.open(QStringLiteral("COM6")));
    QVERIFY(a.receive("a1"));
    QVERIFY(b.receive("b1"));
    widget<QLineEdit>(a.dialog, "hexEdit")->setText("5A");
    widget<QLineEdit>(a.dialog, "asciiEdit")->setText("Z");
    QTest::mouseClick(widget<QPushButton>(a.dialog, "sendBtn"), Qt::LeftButton);
    // A Send is shown at once, behind everything that arrived before it.
    QCOMPARE(history()->rowCount(), 3);
    QCOMPARE(a.peer->read(1), QByteArray("Z"));
    QVERIFY(b.receive("b2"));
    QVERIFY(a.receive("a2"));

    const QStringList expected { "Received COM5 a1", "Received COM6 b1", "Sent COM5 Z",
        "Received COM6 b2", "Received COM5 a2" };
    QStringList rows;
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), expected.size(), 10000);
    for (int row = 0; row < history()->rowCount(); ++row)
        rows << historyRow(row)->direction() + QLatin1Char(' ') + historyRow(row)->portName()
                + QLatin1Char(' ') + QString::fromLatin1(historyRow(row)->bytes());
    QCOMPARE(rows, expected);
    // Time stamps are taken on arrival, so they never go backwards.
    for (int row = 1; row < history()->rowCount(); ++row) {
        const auto time = [](int r) {
            return QDateTime::fromString(historyRow(r)->time(), "dd.MM.yyyy hh:mm:ss.zzz");
        };
        QVERIFY(time(row - 1) <= time(row));
    }
    QCOMPARE(copied(a.dialog), expectedLog("COM5"));
    QCOMPARE(copied(b.dialog), expectedLog("COM6"));
}

void TstReceivePath::oneRowAndOneParagraphPerBatch()
{
    QSignalSpy inserted(history(), &QAbstractItemModel::rowsInserted);
    QByteArray all;
    for (int i = 0; i < 20; ++i) {
        const QByteArray piece = QByteArray::number(i) + "\r\n";
        all += piece;
        QVERIFY(a.receive(piece));
    }
    const int batches = a.batches->count();
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), batches, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), batches, 10000);
    // Rows come a frame at a time, never one insertion per row and frame twice.
    QVERIFY(inserted.count() <= batches);
    QByteArray joined;
    for (int row = 0; row < batches; ++row) {
        QCOMPARE(historyRow(row)->bytes(), a.batches->at(row).at(0).toByteArray());
        joined += historyRow(row)->bytes();
    }
    QCOMPARE(joined, all);
    QCOMPARE(copied(a.dialog), expectedLog("COM5"));
}

void TstReceivePath::clearHistoryDropsRowsStillWaiting()
{
    QVERIFY(a.receive("early"));
    // Before the next frame: the row has been taken but not shown yet.
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    mainWindow()->flushHistory();
    QCOMPARE(history()->rowCount(), 0);
    // The log still has it; the history starts again from the next batch.
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), 1, 10000);
    QVERIFY(a.receive("late"));
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), 1, 10000);
    QCOMPARE(historyRow(0)->bytes(), QByteArray("late"));
    QCOMPARE(
        copied(a.dialog), paragraph("Received", "early") + '\n' + paragraph("Received", "late"));
}

void TstReceivePath::clearDropsParagraphsStillWaiting()
{
    QVERIFY(a.receive("shown"));
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), 1, 10000);
    QVERIFY(a.receive("waiting"));
    widget<QPushButton>(a.dialog, "clearBtn")->click();
    // The history keeps both; the log shows neither, now or at the next frame.
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), 2, 10000);
    QCOMPARE(logOf(a.dialog)->toPlainText(), QString());
    QCOMPARE(copied(a.dialog), QString());
    QVERIFY(a.receive("after"));
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), 3, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        logOf(a.dialog)->toPlainText(), paragraph("Received", "after"), 10000);
    QCOMPARE(copied(a.dialog), paragraph("Received", "after"));
}

void TstReceivePath::closingWithBatchesWaitingLosesNone()
{
    QVERIFY(b.open(QStringLiteral("COM6")));
    QVERIFY(a.receive("one"));
    QVERIFY(b.receive("other"));
    QVERIFY(a.receive("two"));
    a.dialog->close();
    // The dialog is gone before the rows it handed on are shown.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!a.dialog);
    QVERIFY(a.batches->count() >= 2);
    QTRY_COMPARE_WITH_TIMEOUT(
        history()->rowCount(), a.batches->count() + b.batches->count(), 10000);
    QByteArray fromA;
    for (int row = 0; row < history()->rowCount(); ++row) {
        if (historyRow(row)->portName() == QLatin1String("COM5"))
            fromA += historyRow(row)->bytes();
    }
    QCOMPARE(fromA, QByteArray("onetwo"));
    QVERIFY(VerantisTerminalApp::app()->deviceManager()->isPortFree("COM5"));
    // The other terminal goes on as before.
    QVERIFY(b.receive("more"));
    QTRY_COMPARE_WITH_TIMEOUT(copied(b.dialog),
        paragraph("Received", "other") + '\n' + paragraph("Received", "more"), 10000);
}

void TstReceivePath::logIgnoresUndoAndTyping()
{
    QVERIFY(a.receive("first"));
    QVERIFY(a.receive("second\r\n"));
    QVERIFY(a.receive("third"));
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), a.batches->count(), 10000);
    QTextEdit *log = logOf(a.dialog);
    const QString shown = log->toPlainText();
    const QString whole = copied(a.dialog);

    a.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(a.dialog, 10000));
    log->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(log), 10000);
    QTest::keyClick(log, Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(log, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClicks(log, "typed\\n");
    // Return does not reach the dialog's default button: nothing is sent.
    QTest::keyClick(log, Qt::Key_Return);
    QTest::keyClick(log, Qt::Key_Enter);
    QTest::keyClick(log, Qt::Key_Backspace);
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_Delete);
    QTest::keyClick(log, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(log->toPlainText(), shown);
    QCOMPARE(copied(a.dialog), whole);
    QCOMPARE(history()->rowCount(), a.batches->count());
    QCOMPARE(a.peer->readAvailable(), QByteArray());
    QVERIFY(log->isReadOnly());
    QVERIFY(!log->document()->isUndoAvailable());
}

void TstReceivePath::tabLeavesTheLogAndCtrlCCopiesTheSelection()
{
    QVERIFY(a.receive("AB\n"));
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), a.batches->count(), 10000);
    QTextEdit *log = logOf(a.dialog);
    const QString shown = log->toPlainText();
    a.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(a.dialog, 10000));
    log->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(log), 10000);

    // Keyboard selection and copy of what is shown.
    QTest::keyClick(log, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);

    QTest::keyClick(log, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), widget<QWidget>(a.dialog, "clearBtn"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(log));
    QCOMPARE(log->toPlainText(), shown);
}

void TstReceivePath::copyBeyondTheShownBlocksGivesEveryBlock()
{
    // Enough to pass the log's character bound many times over, with every byte value and
    // plenty of CR and LF.
    QByteArray sent;
    for (int i = 0; sent.size() < LogView::MaxShownCharacters; ++i) {
        QByteArray block(4096, Qt::Uninitialized);
        for (int j = 0; j < block.size(); ++j)
            block[j] = char((i * 7 + j * 13) & 0xFF);
        block.replace(100 + i % 50, 2, "\r\n");
        sent += block;
    }
    QVERIFY(a.receive(sent));
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), a.batches->count(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(logOf(a.dialog)->document()->characterCount() > 1, 10000);

    QByteArray joined;
    for (int row = 0; row < history()->rowCount(); ++row)
        joined += historyRow(row)->bytes();
    QCOMPARE(joined, sent);
    // The widget shows only the newest blocks, ending with the last one...
    const QTextDocument *document = logOf(a.dialog)->document();
    QVERIFY(document->characterCount() <= LogView::MaxShownCharacters);
    QVERIFY(document->blockCount() < history()->rowCount());
    QString last = paragraph("Received", historyRow(history()->rowCount() - 1)->bytes());
    last.replace(QLatin1Char('\r'), QChar(0x240D))
        .replace(QLatin1Char('\n'), QChar(0x240A))
        .replace(QChar(0x1B), QChar(0x241B));
    QTRY_COMPARE_WITH_TIMEOUT(document->lastBlock().text(), last, 10000);
    QVERIFY(document->characterCount() <= LogView::MaxShownCharacters);
    // ...and the copy is everything, byte for byte.
    const QString copy = copied(a.dialog);
    QCOMPARE(copy.size(), expectedLog("COM5").size());
    QVERIFY(copy == expectedLog("COM5"));
}

void TstReceivePath::aBlockLongerThanTheBoundIsShownWhole()
{
    // More than a pty delivers at once, as a fast adapter may: the device hands it on as one
    // batch, which stays one block although it alone passes the log's bound.
    QByteArray big(LogView::MaxShownCharacters / 2, 'x');
    big.append("\r\nend");
    QVERIFY(a.receive("before"));
    emit a.device->onDataFull(big);
    const QTextDocument *document = logOf(a.dialog)->document();
    QTRY_VERIFY_WITH_TIMEOUT(
        document->lastBlock().text().endsWith(QStringLiteral("x\u240D\u240Aend")), 10000);
    QVERIFY(document->lastBlock().text().startsWith(QLatin1String("Received:7878")));

    // A Send after it is shown at once; the log then makes room by dropping the big block.
    widget<QLineEdit>(a.dialog, "hexEdit")->setText("21");
    QTest::mouseClick(widget<QPushButton>(a.dialog, "sendBtn"), Qt::LeftButton);
    QCOMPARE(a.peer->read(1), QByteArray("!"));
    QCOMPARE(document->lastBlock().text(), QStringLiteral("Sent:21-------!"));
    QVERIFY(document->characterCount() <= LogView::MaxShownCharacters);
    QCOMPARE(copied(a.dialog),
        paragraph("Received", "before") + '\n' + paragraph("Received", big) + '\n'
            + QStringLiteral("Sent:21-------!"));
}

void TstReceivePath::logFollowsTheEndOnlyAtTheEnd()
{
    QTextEdit *log = logOf(a.dialog);
    QScrollBar *bar = log->verticalScrollBar();
    widget<QLineEdit>(a.dialog, "hexEdit")->setText("41");
    for (int i = 0; bar->maximum() < 200; ++i) {
        QVERIFY(i < 2000);
        QTest::mouseClick(widget<QPushButton>(a.dialog, "sendBtn"), Qt::LeftButton);
    }
    QVERIFY(atEnd(bar));
    QVERIFY(a.receive("at the end"));
    QTRY_COMPARE_WITH_TIMEOUT(shownParagraphs(a.dialog), history()->rowCount(), 10000);
    QVERIFY(atEnd(bar));

    bar->setValue(10);
    const int maximum = bar->maximum();
    QVERIFY(a.receive("while reading"));
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > maximum, 10000);
    QCOMPARE(bar->value(), 10);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    QVERIFY(a.receive("followed"));
    const int before = bar->maximum();
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > before, 10000);
    QVERIFY(atEnd(bar));
}

void TstReceivePath::historyFollowsTheEndOnlyAtTheEnd()
{
    auto *view = mainWidget<QTableView>("historyTable");
    // Room for several rows, whatever the platform's default font makes of the first size.
    view->window()->resize(view->window()->width(), 1100);
    QTRY_VERIFY(view->viewport()->height() > 5 * view->verticalHeader()->defaultSectionSize());
    QScrollBar *bar = view->verticalScrollBar();
    widget<QLineEdit>(a.dialog, "hexEdit")->setText("41");
    for (int i = 0; bar->maximum() < 20; ++i) {
        QVERIFY(i < 2000);
        QTest::mouseClick(widget<QPushButton>(a.dialog, "sendBtn"), Qt::LeftButton);
    }
    QVERIFY(atEnd(bar));
    const int rows = history()->rowCount();
    QVERIFY(a.receive("at the end"));
    QTRY_COMPARE_WITH_TIMEOUT(history()->rowCount(), rows + a.batches->count(), 10000);
    QVERIFY(atEnd(bar));
    QCOMPARE(view->rowAt(view->viewport()->height() - 1), history()->rowCount() - 1);

    bar->setValue(3);
    const int maximum = bar->maximum();
    QVERIFY(a.receive("while reading"));
    QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > maximum, 10000);
    QCOMPARE(bar->value(), 3);

    // Every row has the same height, whatever it carries.
    QCOMPARE(view->rowHeight(0), view->rowHeight(history()->rowCount() - 1));
    QCOMPARE(view->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

void TstReceivePath::lineBreaksShowAsSymbolsOfTheirOwnColour_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("coloured");
    QTest::newRow("CR LF") << QByteArray("V\r\n") << QString::fromUtf8("V␍␊")
                           << QString::fromUtf8("␍␊");
    QTest::newRow("typed backslashes") << QByteArray("V\\r\\n") << "V\\r\\n" << QString();
}

void TstReceivePath::lineBreaksShowAsSymbolsOfTheirOwnColour()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, coloured);
    QVERIFY(a.receive(bytes));
    const QTextDocument *document = logOf(a.dialog)->document();
    const QString expected = "Received:" + bytesToHex(bytes) + "-------" + shown;
    QTRY_COMPARE_WITH_TIMEOUT(document->lastBlock().text(), expected, 10000);
    QString inColour;
    for (auto it = document->lastBlock().begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush))
            inColour += it.fragment().text();
    }
    QCOMPARE(inColour, coloured);
    QCOMPARE(copied(a.dialog), paragraph("Received", bytes));
}

void TstReceivePath::logScrollsBackThroughEverything_data()
{
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("view");
    QTest::newRow("burst") << 400 << int(LogView::BlocksView);
    // Under half the bound, but far more than a screenful: only the newest are laid out.
    QTest::newRow("long frame") << 20 << int(LogView::BlocksView);
    QTest::newRow("burst of lines") << 400 << int(LogView::LinesView);
    QTest::newRow("long frame of lines") << 20 << int(LogView::LinesView);
}

void TstReceivePath::logScrollsBackThroughEverything()
{
    // More than the log lays out at once, straight from the device.
    QFETCH(int, blocks);
    QFETCH(int, view);
    a.dialog->logView()->setView(LogView::View(view), LineSplitter::Auto, 0, false);
    QByteArray block(1024, 'b');
    // In Lines, one line per block.
    if (view == LogView::LinesView)
        block[1023] = '\n';
    for (int i = 0; i < blocks; ++i) {
        block.replace(0, 8, QByteArray::number(10000000 + i));
        emit a.device->onDataFull(block);
    }
    mainWindow()->flushHistory();
    QTextEdit *log = logOf(a.dialog);
    const QTextDocument *document = log->document();
    QScrollBar *bar = log->verticalScrollBar();
    const auto nth = [&block, view](int i) {
        QByteArray bytes = block;
        bytes.replace(0, 8, QByteArray::number(10000000 + i));
        return view == LogView::LinesView ? QString::fromLatin1(bytes.chopped(1))
                                          : paragraph("Received", bytes);
    };
    // A line's text after its time stamp and mark.
    const auto text = [view](const QTextBlock &shown) {
        return view == LogView::LinesView ? shown.text().mid(15) : shown.text();
    };
    QTRY_COMPARE_WITH_TIMEOUT(text(document->lastBlock()), nth(blocks - 1), 10000);
    QVERIFY(document->blockCount() < blocks);
    QVERIFY(document->characterCount() <= LogView::FrameCharacters + 2 * (block.size() * 3 + 16));
    for (int page = 0; text(document->firstBlock()) != nth(0); ++page) {
        QVERIFY(page < 400);
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
    }
    QVERIFY(document->characterCount() <= LogView::MaxShownCharacters);
    for (int page = 0; text(document->lastBlock()) != nth(blocks - 1) || !atEnd(bar); ++page) {
        QVERIFY(page < 400);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
    }
    // Following the end again.
    QVERIFY(a.receive("tail"));
    QTRY_VERIFY_WITH_TIMEOUT(document->lastBlock().text().endsWith(view == LogView::LinesView
                                     ? QStringLiteral("< tail\u2026")
                                     : paragraph("Received", "tail")),
        10000);
}

VT_TEST_MAIN(TstReceivePath)
#include "tst_receivepath.moc"
