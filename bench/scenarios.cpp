#include "scenarios.h"

#include "measure.h"
#include "ptypeer.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "models/appabstracttablemodel.h"
#include "models/apphistorytablemodel.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"
#include "ui/logview.h"
#include "ui/findbar.h"
#include "util/conversion.h"
#include "util/qtcompat.h"

#include "folderdialogdriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSerialPort>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QVector>

#include <cstdio>
#include <malloc.h>

namespace bench {

namespace {

const quint64 streamSeed = 0x5EEDF00DCAFEull;

void report(const char *key, const QString &value)
{
    std::printf("RESULT %s %s\n", key, qPrintable(value));
    std::fflush(stdout);
}

void report(const char *key, qint64 value)
{
    report(key, QString::number(value));
}

void problem(const QString &text)
{
    report("problem", text);
}

// Any message box means something went wrong (a port error); note it and dismiss it so the
// run cannot hang on a box nobody will click.
class MessageWatch : public QObject
{
public:
    MessageWatch()
    {
        timer.setInterval(100);
        connect(&timer, &QTimer::timeout, this, &MessageWatch::check);
        timer.start();
    }

private:
    void check()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (box && box->isVisible()) {
                // The question before unsaved history goes is expected: the run discards it.
                if (QAbstractButton *discard = box->button(QMessageBox::Discard)) {
                    discard->click();
                    continue;
                }
                // The one message a start after a crash gives.
                if (box->text().startsWith(QLatin1String("Recovered ")))
                    report("recovery_message", 1);
                // A log over Copy To Clipboard's limit is refused with a word, by design.
                else if (box->text().contains(QLatin1String("more than Copy To Clipboard takes")))
                    report("log_copy_refused", 1);
                else
                    problem(QStringLiteral("message box: ") + box->text());
                box->done(QMessageBox::Ok);
            }
        }
    }

    QTimer timer;
};

// The registry keeps its devices to itself. A device shows itself when its port becomes its
// child, which an event filter on the application sees.
class DeviceCatcher : public QObject
{
public:
    DeviceCatcher() { qApp->installEventFilter(this); }
    ~DeviceCatcher() override { qApp->removeEventFilter(this); }

    QPointer<AppDevice> last;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            if (auto *device = qobject_cast<AppDevice *>(watched))
                last = device;
        }
        return false;
    }
};

// Counts the bytes and batches delivered, and ends the run once all have come.
struct Flow
{
    qint64 bytes = 0;
    qint64 batches = 0;
    qint64 target = 0;
    qint64 lastByteNs = 0;
    QEventLoop *loop = nullptr;
    // The run is over when this goes (the terminal dialog closing on a port error).
    QPointer<QObject> receiver;
    bool guarded = false;

    // When each quarter of the data had arrived: shows a run slowing down as it goes.
    qint64 quarterAt[4] = {};
    int quarters = 0;

    void add(qint64 count)
    {
        bytes += count;
        ++batches;
        while (quarters < 4 && bytes * 4 >= target * (quarters + 1))
            quarterAt[quarters++] = wallNs();
        if (bytes >= target && lastByteNs == 0) {
            lastByteNs = wallNs();
            if (loop)
                loop->quit();
        }
    }
};

struct Sample
{
    qint64 t;
    qint64 cpu;
    qint64 bytes;
    qint64 batches;
    qint64 rss;
};

struct Run
{
    bool complete = false;
    QString stoppedBy;
    qint64 wallStart = 0;
    qint64 wallEnd = 0;
    qint64 cpuStart = 0;
    qint64 cpuEnd = 0;
    qint64 rssStart = 0;
    qint64 rssEnd = 0;
    qint64 longestEventNs = 0;
    qint64 events = 0;
    int writerStatus = -1;
    QVector<Sample> samples;
};

// Lets the event loop finish what is pending, including what waits for the next frame of the
// history or the log.
void settleFrames()
{
    waitIdle();
    QEventLoop loop;
    QTimer::singleShot(3 * AppMainWin::HistoryFrameMs, &loop, &QEventLoop::quit);
    loop.exec();
    waitIdle();
}

// Starts the peer and runs the event loop until every byte of the plan has been delivered to
// `flow`, or a limit is reached. The clocks include settling the loop after the last byte.
Run receive(Flow &flow, int masterFd, const WriterPlan &plan, qint64 limitNs, qint64 rssLimitKiB)
{
    Run run;
    QEventLoop loop;
    flow.loop = &loop;
    flow.target = plan.totalBytes;
    waitIdle();

    PeerWriter writer;
    const auto sample = [&] {
        run.samples.append({ wallNs() - run.wallStart, cpuNs() - run.cpuStart, flow.bytes,
            flow.batches, currentRssKiB() });
    };
    QTimer sampler;
    sampler.setInterval(100);
    QObject::connect(&sampler, &QTimer::timeout, &loop, [&] {
        sample();
        const Sample &now = run.samples.constLast();
        if (now.t > limitNs)
            run.stoppedBy = QStringLiteral("time limit");
        else if (now.rss > rssLimitKiB)
            run.stoppedBy = QStringLiteral("memory limit");
        else if (writer.finished() && writer.wait() != 0)
            run.stoppedBy = QStringLiteral("peer failed");
        else if (flow.guarded && !flow.receiver)
            run.stoppedBy = QStringLiteral("terminal dialog closed");
        if (!run.stoppedBy.isEmpty())
            loop.quit();
    });

    eventClock().reset();
    malloc_trim(0);
    run.rssStart = currentRssKiB();
    run.cpuStart = cpuNs();
    run.wallStart = wallNs();
    sample();
    if (!writer.start(masterFd, plan)) {
        run.stoppedBy = QStringLiteral("no peer");
        return run;
    }
    sampler.start();
    if (flow.bytes < flow.target)
        loop.exec();
    sampler.stop();
    run.complete = flow.bytes >= flow.target;
    if (run.complete) {
        run.writerStatus = writer.wait();
    } else {
        run.writerStatus = writer.stop();
    }
    settleFrames();
    run.wallEnd = wallNs();
    run.cpuEnd = cpuNs();
    run.longestEventNs = eventClock().longestNs;
    run.events = eventClock().events;
    malloc_trim(0);
    run.rssEnd = currentRssKiB();
    sample();
    flow.loop = nullptr;
    return run;
}

void reportRun(const Run &run, const Flow &flow)
{
    report("complete", run.complete ? 1 : 0);
    if (!run.stoppedBy.isEmpty())
        report("stopped_by", run.stoppedBy);
    if (run.complete && run.writerStatus != 0)
        problem(QStringLiteral("the peer writer ended with status %1").arg(run.writerStatus));
    report("bytes", flow.bytes);
    report("batches", flow.batches);
    report("wall_ns", run.wallEnd - run.wallStart);
    report("cpu_ns", run.cpuEnd - run.cpuStart);
    report("stall_ns", run.longestEventNs);
    report("events", run.events);
    report("rss_start_kib", run.rssStart);
    report("rss_end_kib", run.rssEnd);
    report("peak_rss_kib", peakRssKiB());
    QStringList quarters;
    for (int q = 0; q < flow.quarters; ++q)
        quarters << QString::number(
            flow.quarterAt[q] - (q ? flow.quarterAt[q - 1] : run.wallStart));
    report("quarters_ns", quarters.join(QLatin1Char(',')));
}

// CPU per block and per batch over the first and the last window of a fixed-pace run.
void reportWindows(const Run &run, qint64 windowNs, qint64 writeNs, int blockBytes)
{
    const auto at = [&](qint64 t) {
        for (const Sample &s : run.samples) {
            if (s.t >= t)
                return s;
        }
        return run.samples.constLast();
    };
    const auto perBlock = [&](const Sample &from, const Sample &to) -> qint64 {
        const qint64 blocks = (to.bytes - from.bytes) / blockBytes;
        return blocks > 0 ? (to.cpu - from.cpu) / blocks : -1;
    };
    const Sample startFrom = at(0);
    const Sample startTo = at(windowNs);
    const Sample endFrom = at(writeNs - windowNs);
    const Sample endTo = at(writeNs);
    // When the receiver cannot keep up, blocks arrive joined in bigger batches and the cost
    // per block stops telling much; the cost per batch still does.
    const auto perBatch = [&](const Sample &from, const Sample &to) -> qint64 {
        const qint64 batches = to.batches - from.batches;
        return batches > 0 ? (to.cpu - from.cpu) / batches : -1;
    };
    const auto cpuShare = [&](const Sample &from, const Sample &to) -> qint64 {
        return to.t > from.t ? (to.cpu - from.cpu) * 1000 / (to.t - from.t) : -1;
    };
    report("cpu_per_block_start_ns", perBlock(startFrom, startTo));
    report("cpu_per_block_end_ns", perBlock(endFrom, endTo));
    report("cpu_per_batch_start_ns", perBatch(startFrom, startTo));
    report("cpu_per_batch_end_ns", perBatch(endFrom, endTo));
    report("cpu_permille_start", cpuShare(startFrom, startTo));
    report("cpu_permille_end", cpuShare(endFrom, endTo));
    report("rss_window_start_kib", startTo.rss);
    report("rss_window_end_kib", endTo.rss);
}

AppDeviceData benchRecord(const QString &port)
{
    return AppDeviceData(QStringLiteral("Bench ") + port, port, 115200, 8, 0, 0, 0);
}

// The terminal dialog that openDevice made for the last opened device, and that device.
struct OpenedTerminal
{
    QPointer<AppDevice> device;
    QPointer<AppDeviceDialog> dialog;
};

OpenedTerminal openTerminal(const QString &port, PtyPeer &peer)
{
    OpenedTerminal opened;
    if (!peer.isValid() || !peer.mapTo(port)) {
        problem(QStringLiteral("no pseudo-terminal for ") + port);
        return opened;
    }
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    const QList<AppDeviceDialog *> before = app->mainWin()->findChildren<AppDeviceDialog *>();
    DeviceCatcher catcher;
    AppDeviceData record = benchRecord(port);
    app->openDevice(&record);
    opened.device = catcher.last;
    const QList<AppDeviceDialog *> after = app->mainWin()->findChildren<AppDeviceDialog *>();
    for (AppDeviceDialog *dialog : after) {
        if (!before.contains(dialog))
            opened.dialog = dialog;
    }
    if (!opened.device || app->deviceManager()->isPortFree(port))
        problem(QStringLiteral("openDevice did not open ") + port);
    else if (!opened.dialog)
        problem(QStringLiteral("openDevice showed no terminal dialog for ") + port);
    else if (!opened.dialog->isVisible())
        problem(QStringLiteral("the terminal dialog for %1 is not shown").arg(port));
    return opened;
}

void closeTerminal(OpenedTerminal &opened)
{
    if (opened.dialog)
        opened.dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

AppAbstractTableModel *tableModel(const char *name)
{
    auto *view = VerantisTerminalApp::app()->mainWin()->findChild<QTableView *>(name);
    return view ? qobject_cast<AppAbstractTableModel *>(view->model()) : nullptr;
}

// Every byte that reached the history, in the order of its rows, against the peer's stream.
void verifyHistory(const Flow &flow, const QString &port)
{
    CaptureStore *capture = VerantisTerminalApp::app()->captureStore();
    if (!capture) {
        problem(QStringLiteral("no capture store"));
        return;
    }
    StreamChecker checker(streamSeed);
    int foreign = 0;
    // What the rows' byte arrays hold allocated, beside what they carry: the model keeps only a
    // window now, so this is the window's.
    qint64 allocated = 0;
    const qint64 rows = capture->historyCount();
    capture->forEachHistoryRow(0, rows, [&](const AppHistoryData &record) {
        if (record.direction() != QLatin1String("Received") || record.portName() != port) {
            ++foreign;
            return true;
        }
        checker.feed(record.bytes());
        return true;
    });
    if (AppAbstractTableModel *history = tableModel("historyTable")) {
        for (int row = 0; row < history->rowCount(); ++row) {
            if (auto *record = static_cast<AppHistoryData *>(history->getData(row)))
                allocated += record->bytes().capacity();
        }
    }
    report("rows", rows);
    report("history_bytes", checker.checked());
    report(
        "lost_bytes", flow.target - (checker.ok() ? checker.checked() : checker.firstMismatch()));
    report("history_allocated", allocated);
    report("in_order", checker.ok() && checker.checked() == flow.bytes ? 1 : 0);
    if (!checker.ok())
        problem(QStringLiteral("the history differs from what the peer sent at byte %1")
                    .arg(checker.firstMismatch()));
    else if (checker.checked() != flow.bytes)
        problem(QStringLiteral("the history holds %1 of the %2 bytes received")
                    .arg(checker.checked())
                    .arg(flow.bytes));
    if (foreign > 0)
        problem(QStringLiteral("%1 history rows that are not this device's received data")
                    .arg(foreign));
    if (rows != flow.batches)
        problem(
            QStringLiteral("%1 history rows for %2 received batches").arg(rows).arg(flow.batches));
}

// The terminal shows only the newest blocks; Copy To Clipboard must still give one paragraph per
// batch, byte for byte, for everything received.
void reportLog(const OpenedTerminal &opened, const Flow &flow)
{
    auto *log = opened.dialog ? opened.dialog->findChild<QTextEdit *>(QStringLiteral("logText"))
                              : nullptr;
    auto *copy = opened.dialog
        ? opened.dialog->findChild<QPushButton *>(QStringLiteral("clipBoardBtn"))
        : nullptr;
    CaptureStore *capture = VerantisTerminalApp::app()->captureStore();
    if (!log || !copy || !capture) {
        problem(QStringLiteral("no terminal log"));
        return;
    }
    report("log_shown_blocks", log->document()->blockCount());
    const QString before = QStringLiteral("not copied");
    QGuiApplication::clipboard()->setText(before);
    copy->click();
    const QString text = QGuiApplication::clipboard()->text();
    QGuiApplication::clipboard()->clear();
    if (text == before) {
        // Refused as too large; the message said so.
        settleFrames();
        return;
    }
    int at = 0;
    qint64 paragraphs = 0;
    bool exact = true;
    capture->forEachHistoryRow(0, capture->historyCount(), [&](const AppHistoryData &record) {
        const QString paragraph = QStringLiteral("Received:") + bytesToHex(record.bytes())
            + QStringLiteral("-------") + bytesToAscii(record.bytes());
        if (paragraphs > 0)
            exact = at < text.size() && text.at(at++) == QLatin1Char('\n');
        exact = exact && QStringView(text).mid(at, paragraph.size()) == paragraph;
        at += paragraph.size();
        paragraphs += exact ? 1 : 0;
        return exact;
    });
    exact = exact && at == text.size();
    report("log_paragraphs", paragraphs);
    if (!exact)
        problem(QStringLiteral("Copy To Clipboard differs from the history after %1 paragraphs")
                    .arg(paragraphs));
    else if (paragraphs != flow.batches)
        problem(QStringLiteral("%1 log paragraphs for %2 received batches")
                    .arg(paragraphs)
                    .arg(flow.batches));
}

// Who holds the memory: what the terminal's Clear and the main window's Clear History give
// back, each measured once the allocator has returned its free pages.
void reportClearedMemory(const OpenedTerminal &opened)
{
    const auto settledRss = [] {
        waitIdle();
        malloc_trim(0);
        return currentRssKiB();
    };
    auto *clear = opened.dialog->findChild<QPushButton *>(QStringLiteral("clearBtn"));
    auto *clearHistory = VerantisTerminalApp::app()->mainWin()->findChild<QPushButton *>(
        QStringLiteral("clearHistoryBtn"));
    if (!clear || !clearHistory) {
        problem(QStringLiteral("no Clear or Clear History button"));
        return;
    }
    const qint64 full = settledRss();
    clear->click();
    const qint64 withoutLog = settledRss();
    clearHistory->click();
    const qint64 withoutHistory = settledRss();
    report("log_freed_kib", full - withoutLog);
    report("history_freed_kib", withoutLog - withoutHistory);
}

// What the peer writes for a scenario: a burst of 4 KiB writes, or a line at a fixed pace.
WriterPlan planFor(const QString &scenario, const Sizes &sizes, qint64 *limitNs)
{
    WriterPlan plan;
    plan.seed = streamSeed;
    if (const Pace *pace = paceOf(scenario)) {
        plan.blockBytes = pace->blockBytes;
        plan.intervalNs = qint64(1000000000) * pace->blockBytes / pace->bytesPerSecond;
        plan.totalBytes = qint64(sizes.steadySeconds) * pace->bytesPerSecond / pace->blockBytes
            * pace->blockBytes;
        *limitNs = qint64(sizes.steadySeconds + 60) * 1000000000;
    } else {
        plan.blockBytes = 4096;
        plan.totalBytes = sizes.burstBytes;
        *limitNs = qint64(sizes.burstLimitSeconds) * 1000000000;
    }
    report("sent_bytes", plan.totalBytes);
    return plan;
}

void reportPaceWindows(const QString &scenario, const Sizes &sizes, const Run &run)
{
    if (const Pace *pace = paceOf(scenario))
        reportWindows(run, qint64(sizes.steadyWindowMs) * 1000000,
            qint64(sizes.steadySeconds) * 1000000000, pace->blockBytes);
}

// --- the bare reader: a QSerialPort that only counts, as the floor for everything else ---

int bareReceive(const QString &scenario, const Sizes &sizes)
{
    PtyPeer peer;
    QSerialPort port;
    port.setPortName(peer.slavePath());
    port.setBaudRate(115200);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    port.setParity(QSerialPort::NoParity);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!peer.isValid() || !port.open(QIODevice::ReadWrite)) {
        problem(QStringLiteral("cannot open the pseudo-terminal: ") + port.errorString());
        return 1;
    }
    Flow flow;
    StreamChecker checker(streamSeed);
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        const QByteArray bytes = port.readAll();
        checker.feed(bytes);
        flow.add(bytes.size());
    });

    qint64 limitNs = 0;
    const WriterPlan plan = planFor(scenario, sizes, &limitNs);
    const Run run = receive(flow, peer.masterFd(), plan, limitNs, sizes.rssLimitKiB);
    reportRun(run, flow);
    reportPaceWindows(scenario, sizes, run);
    report("lost_bytes",
        plan.totalBytes - (checker.ok() ? checker.checked() : checker.firstMismatch()));
    port.close();
    return 0;
}

// --- the application: openDevice, its terminal dialog, the main window's history ---

int appReceive(const QString &scenario, const Sizes &sizes)
{
    const QString portName = QStringLiteral("COM7");
    // "-log-": the terminal logs to a file in the Lines format from the start, as its device's
    // stored choice.
    QTemporaryDir logFolder;
    const bool logged = scenario.contains(QLatin1String("-log-"));
    const QString logPath = logFolder.filePath(QStringLiteral("%port%.log"));
    if (logged)
        VerantisTerminalApp::app()->settingsManager()->setDeviceOptions(
            benchRecord(portName).name(),
            { { QStringLiteral("logfile"), true }, { QStringLiteral("logpath"), logPath },
                { QStringLiteral("logformat"), QStringLiteral("Lines") } });
    PtyPeer peer;
    OpenedTerminal opened = openTerminal(portName, peer);
    if (!opened.device || !opened.dialog)
        return 1;
    if (scenario.endsWith(QLatin1String("-applines")))
        opened.dialog->logView()->setView(LogView::LinesView, LineSplitter::Auto, 100, false);

    Flow flow;
    // After the dialog's own connection, so a batch is counted once the dialog has handled it.
    QObject::connect(opened.device.data(), &AppDevice::onDataFull, opened.dialog.data(),
        [&](const QByteArray &buf) { flow.add(buf.size()); });
    flow.receiver = opened.dialog.data();
    flow.guarded = true;
    // "-appfind": a second into the run the history's find bar looks for a byte and shows the
    // first match, so the rest of the run has the bar open and a result highlighted.
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    if (scenario.endsWith(QLatin1String("-appfind")))
        QTimer::singleShot(1000, window, [window] {
            window->historyFindBar()->open();
            window->findChild<QComboBox *>(QStringLiteral("historyFindModeCombo"))
                ->setCurrentIndex(1);
            window->findChild<QLineEdit *>(QStringLiteral("historyFindEdit"))
                ->setText(QStringLiteral("00"));
        });

    qint64 limitNs = 0;
    const WriterPlan plan = planFor(scenario, sizes, &limitNs);
    const Run run = receive(flow, peer.masterFd(), plan, limitNs, sizes.rssLimitKiB);
    reportRun(run, flow);
    reportPaceWindows(scenario, sizes, run);
    verifyHistory(flow, portName);
    reportLog(opened, flow);
    if (!opened.dialog)
        problem(QStringLiteral("the terminal dialog closed during the run"));
    else
        reportClearedMemory(opened);
    closeTerminal(opened);
    if (logged) {
        const qint64 written
            = QFileInfo(logFolder.filePath(portName + QStringLiteral(".log"))).size();
        report("logfile_bytes", written);
        if (written <= 0)
            problem(QStringLiteral("the terminal wrote no log file"));
    }
    return 0;
}

// A history of many rows, built the way terminals add them: memory per row, what an insertion
// costs at the start and at the end, and saving it.
int appHistory(const Sizes &sizes)
{
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    auto *view = window->findChild<QTableView *>(QStringLiteral("historyTable"));
    auto *history = qobject_cast<AppHistoryTableModel *>(tableModel("historyTable"));
    auto *save = window->findChild<QPushButton *>(QStringLiteral("saveHistoryBtn"));
    auto *bar = window->findChild<QScrollBar *>(QStringLiteral("historyScrollBar"));
    if (!view || !history || !save || !bar) {
        problem(QStringLiteral("no history table"));
        return 1;
    }
    const qint64 rows = qMax<qint64>(sizes.historyRows, 10000);
    const AppDeviceData device = benchRecord(QStringLiteral("COM7"));
    const QString received = QStringLiteral("Received");
    const QString port = device.portName();
    ByteStream stream(streamSeed);
    const auto add = [&] {
        QByteArray bytes(sizes.historyBlockBytes, Qt::Uninitialized);
        stream.fill(bytes.data(), bytes.size());
        window->addHistory(new AppHistoryData(
            QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")),
            received, bytes, port, device.baudRate(), device.dataBits(), device.stopBits(),
            device.parity(), device.flowControl()));
    };
    // One row a frame, each shown before the next, as at a slow line.
    const auto singleRows = [&](int count) {
        const qint64 cpu0 = cpuNs();
        for (int i = 0; i < count; ++i) {
            add();
            window->flushHistory();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        return (cpuNs() - cpu0) / count;
    };
    // A frame of a busy line: a hundred rows taken and shown at once.
    const auto frameOf100 = [&](int frames) {
        const qint64 wall0 = wallNs();
        for (int f = 0; f < frames; ++f) {
            for (int i = 0; i < 100; ++i)
                add();
            window->flushHistory();
            view->viewport()->repaint();
        }
        return (wallNs() - wall0) / frames;
    };

    settleFrames();
    malloc_trim(0);
    const qint64 rssStart = currentRssKiB();
    const int single = 1000;
    report("insert_first_ns", singleRows(single));
    report("frame100_first_ns", frameOf100(20));
    const int chunk = 10000;
    qint64 checkpoint = 1000000;
    for (qint64 done = single + 2000; done < rows - single - 2000;) {
        const int n = int(qMin<qint64>(chunk, rows - single - 2000 - done));
        for (int i = 0; i < n; ++i)
            add();
        window->flushHistory();
        QCoreApplication::processEvents();
        done += n;
        if (done >= checkpoint) {
            malloc_trim(0);
            report(QStringLiteral("history_rss_at_%1_kib").arg(checkpoint).toUtf8().constData(),
                currentRssKiB());
            checkpoint *= 10;
        }
    }
    report("insert_last_ns", singleRows(single));
    report("frame100_last_ns", frameOf100(20));
    if (checkpoint <= rows) {
        malloc_trim(0);
        report(QStringLiteral("history_rss_at_%1_kib").arg(checkpoint).toUtf8().constData(),
            currentRssKiB());
    }
    settleFrames();
    malloc_trim(0);
    report("history_rows", history->totalRows());
    report("history_rss_start_kib", rssStart);
    report("history_rss_end_kib", currentRssKiB());
    report("history_payload", sizes.historyBlockBytes);
    if (history->totalRows() != rows)
        problem(QStringLiteral("%1 history rows for %2 added").arg(history->totalRows()).arg(rows));

    // Still scrollable: the view reaches the last row, and the bar beside it, dragged to the
    // middle and back to the end, paints each place at once.
    view->scrollToBottom();
    waitIdle();
    if (bar->maximum() < rows - 100 || bar->value() != bar->maximum())
        problem(QStringLiteral("the history's bar spans %1 of %2 rows, at %3")
                    .arg(bar->maximum())
                    .arg(rows)
                    .arg(bar->value()));
    const qint64 lastShown = history->windowStart() + view->rowAt(view->viewport()->height() - 1);
    report("history_last_row_shown", lastShown);
    if (lastShown != rows - 1)
        problem(QStringLiteral("scrolled to the end, the history shows row %1").arg(lastShown));
    const qint64 jump0 = wallNs();
    bar->setSliderDown(true);
    bar->setSliderPosition(bar->maximum() / 2);
    view->viewport()->repaint();
    report("history_jump_middle_ns", wallNs() - jump0);
    const qint64 middleShown = history->windowStart() + view->rowAt(0);
    if (middleShown != bar->maximum() / 2)
        problem(QStringLiteral("dragged to the middle, the history shows row %1").arg(middleShown));
    const qint64 back0 = wallNs();
    bar->setSliderPosition(bar->maximum());
    bar->setSliderDown(false);
    view->viewport()->repaint();
    report("history_jump_end_ns", wallNs() - back0);
    report("history_scroll_ns", wallNs() - jump0);

    QTemporaryDir folder;
    FolderDialogDriver driver;
    driver.chooseFolder(folder.path());
    const qint64 save0 = wallNs();
    save->click();
    report("save_ns", wallNs() - save0);
    report("save_bytes", QFileInfo(folder.filePath(QStringLiteral("app.log"))).size());
    report("peak_rss_kib", peakRssKiB());
    if (driver.count() != 1)
        problem(QStringLiteral("Save History asked for a folder %1 times").arg(driver.count()));
    return 0;
}

// A 3 Mbaud stream into a terminal until the process is killed, saying every 20 ms how many
// bytes have arrived, so the parent knows what had arrived 100 ms before its kill -9.
int appStreamUntilKilled()
{
    PtyPeer peer;
    OpenedTerminal opened = openTerminal(QStringLiteral("COM7"), peer);
    const Pace *pace = paceOf(QStringLiteral("pace3m-app"));
    if (!opened.device || !opened.dialog || !pace)
        return 1;
    qint64 arrived = 0;
    QObject::connect(opened.device.data(), &AppDevice::onDataFull, opened.dialog.data(),
        [&arrived](const QByteArray &buf) { arrived += buf.size(); });
    WriterPlan plan;
    plan.seed = streamSeed;
    plan.blockBytes = pace->blockBytes;
    plan.intervalNs = qint64(1000000000) * pace->blockBytes / pace->bytesPerSecond;
    plan.totalBytes = qint64(3600) * pace->bytesPerSecond;
    PeerWriter writer;
    if (!writer.start(peer.masterFd(), plan))
        return 1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&arrived] {
        std::printf("ARRIVED %lld %lld\n", wallNs(), arrived);
        std::fflush(stdout);
    });
    tick.start(20);
    return QCoreApplication::exec();
}

// The start after that kill: what the capture store recovered, against the peer's stream.
int appRecovered(qint64 before, qint64 constructed)
{
    report("construct_ns", constructed - before);
    CaptureStore *capture = VerantisTerminalApp::app()->captureStore();
    StreamChecker checker(streamSeed);
    capture->forEachHistoryRow(0, capture->historyCount(), [&checker](const AppHistoryData &row) {
        checker.feed(row.bytes());
        return true;
    });
    report("recovered_rows", capture->historyCount());
    report("recovered_bytes", checker.checked());
    report("recovered_in_order", checker.ok() ? 1 : 0);
    // The message about it shows and is dismissed.
    settleFrames();
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    return 0;
}

int appIdle(const Sizes &sizes)
{
    AppAbstractTableModel *devices = tableModel("deviceTable");
    AppAbstractTableModel *commands = tableModel("commandTable");
    if (!devices || devices->rowCount() != sizes.idleItems || !commands
        || commands->rowCount() != sizes.idleItems)
        problem(QStringLiteral("the saved devices and commands were not all loaded"));

    PtyPeer peerA, peerB;
    OpenedTerminal a = openTerminal(QStringLiteral("COM1"), peerA);
    OpenedTerminal b = openTerminal(QStringLiteral("COM2"), peerB);
    if (!a.dialog || !b.dialog)
        return 1;
    for (const OpenedTerminal *opened : { &a, &b }) {
        auto *combo = opened->dialog->findChild<QComboBox *>(QStringLiteral("savedCommandsCombo"));
        if (!combo || combo->count() != sizes.idleItems)
            problem(QStringLiteral("a terminal dialog did not list the saved commands"));
    }

    // Let the start-up work (first layouts and paints) finish before the quiet period.
    waitIdle();
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }
    QEventLoop loop;
    QTimer::singleShot(sizes.idleSeconds * 1000, &loop, &QEventLoop::quit);
    eventClock().reset();
    const qint64 cpu0 = cpuNs();
    const qint64 wall0 = wallNs();
    loop.exec();
    report("cpu_ns", cpuNs() - cpu0);
    report("wall_ns", wallNs() - wall0);
    report("events", eventClock().events);
    report("peak_rss_kib", peakRssKiB());
    closeTerminal(a);
    closeTerminal(b);
    return 0;
}

int appStartup(const Sizes &sizes, qint64 before, qint64 constructed)
{
    waitIdle();
    const qint64 idle = wallNs();
    const QByteArray spawned = qgetenv("VT_BENCH_SPAWN_NS");
    report("construct_ns", constructed - before);
    report("first_idle_ns", idle - before);
    if (!spawned.isEmpty())
        report("launch_ns", idle - spawned.toLongLong());
    report("peak_rss_kib", peakRssKiB());

    AppAbstractTableModel *devices = tableModel("deviceTable");
    AppAbstractTableModel *commands = tableModel("commandTable");
    const int items = qEnvironmentVariableIntValue("VT_BENCH_ITEMS");
    if (!devices || devices->rowCount() != items || !commands || commands->rowCount() != items)
        problem(QStringLiteral("%1 devices and %2 commands loaded, %3 of each saved")
                    .arg(devices ? devices->rowCount() : -1)
                    .arg(commands ? commands->rowCount() : -1)
                    .arg(items));
    Q_UNUSED(sizes)
    return 0;
}

} // namespace

Sizes Sizes::full()
{
    return { 32 * 1024 * 1024, 300, 600, 60000, 16, 1000, 10, 200, 1000, 3, 8 * 1024 * 1024 };
}

Sizes Sizes::quick()
{
    Sizes sizes { 256 * 1024, 60, 2, 500, 16, 1000, 1, 20, 50, 1, 2 * 1024 * 1024 };
    sizes.historyRows = 5000;
    return sizes;
}

const QList<Pace> &paces()
{
    // 115200 baud carries 11,520 bytes a second; 3 Mbaud about 300 KB.
    static const QList<Pace> list { { "pace115k", "115200 baud, 16-byte writes", 16, 11520 },
        { "pace3m", "3 Mbaud, 1 KiB writes", 1024, 300000 } };
    return list;
}

const Pace *paceOf(const QString &scenario)
{
    for (const Pace &pace : paces()) {
        if (scenario.startsWith(QLatin1String(pace.name) + QLatin1Char('-')))
            return &pace;
    }
    return nullptr;
}

const QStringList &scenarioNames()
{
    static const QStringList names { QStringLiteral("burst-bare"), QStringLiteral("burst-app"),
        QStringLiteral("pace115k-bare"), QStringLiteral("pace115k-app"),
        QStringLiteral("pace3m-bare"), QStringLiteral("pace3m-app"),
        QStringLiteral("pace3m-log-app"), QStringLiteral("pace3m-applines"),
        QStringLiteral("pace3m-appfind"), QStringLiteral("history-app"), QStringLiteral("idle-app"),
        QStringLiteral("startup-app"), QStringLiteral("crash-app"), QStringLiteral("recover-app") };
    return names;
}

bool isScenario(const QString &name)
{
    return scenarioNames().contains(name);
}

bool scenarioUsesApplication(const QString &name)
{
    // "-app" and its variants ("-log-app", "-applines", "-appfind").
    return name.contains(QLatin1String("-app"));
}

int runScenario(int argc, char **argv, const QString &name, const Sizes &sizes)
{
    // The real program's name, so the data folder is the one the parent seeded.
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);

    if (!scenarioUsesApplication(name)) {
        TimedApp<QApplication> app(argc, argv);
        MessageWatch watch;
        return bareReceive(name, sizes);
    }

    const qint64 before = wallNs();
    TimedApp<VerantisTerminalApp> app(argc, argv);
    const qint64 constructed = wallNs();
    MessageWatch watch;
    const QString expected = QDir::fromNativeSeparators(
        qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/VerantisTerminal/"));
    if (QDir::fromNativeSeparators(app.settingsManager()->dataFolder()) != expected) {
        problem(QStringLiteral("unexpected data folder ") + app.settingsManager()->dataFolder());
        return 1;
    }
    if (name == QLatin1String("startup-app"))
        return appStartup(sizes, before, constructed);
    if (name == QLatin1String("idle-app"))
        return appIdle(sizes);
    if (name == QLatin1String("history-app"))
        return appHistory(sizes);
    if (name == QLatin1String("crash-app"))
        return appStreamUntilKilled();
    if (name == QLatin1String("recover-app"))
        return appRecovered(before, constructed);
    return appReceive(name, sizes);
}

bool seedDataFolder(const QString &folder, int devices, int commands)
{
    if (!QDir().mkpath(folder))
        return false;
    QSettings names(folder + QStringLiteral("/devicenamelist.ini"), QSettings::IniFormat);
    QSettings settings(folder + QStringLiteral("/devicelist.ini"), QSettings::IniFormat);
    QSettings commandFile(folder + QStringLiteral("/commandlist.ini"), QSettings::IniFormat);
    QtCompat::useUtf8Ini(names);
    QtCompat::useUtf8Ini(settings);
    QtCompat::useUtf8Ini(commandFile);
    for (int i = 0; i < devices; ++i) {
        const QString name = QStringLiteral("Device %1").arg(i + 1, 4, 10, QLatin1Char('0'));
        names.setValue(name, 1);
        settings.setValue(
            name + QStringLiteral("_comport"), QStringLiteral("COM%1").arg(i % 100 + 1));
        settings.setValue(name + QStringLiteral("_baudrate"), 115200);
        settings.setValue(name + QStringLiteral("_stopbits"), 0);
        settings.setValue(name + QStringLiteral("_databits"), 8);
        settings.setValue(name + QStringLiteral("_parity"), 0);
        settings.setValue(name + QStringLiteral("_flowcontrol"), 0);
    }
    for (int i = 0; i < commands; ++i) {
        const QString name = QStringLiteral("Command %1").arg(i + 1, 4, 10, QLatin1Char('0'));
        commandFile.setValue(name, QByteArray("READ ") + QByteArray::number(i) + "\r\n");
    }
    names.sync();
    settings.sync();
    commandFile.sync();
    return names.status() == QSettings::NoError && settings.status() == QSettings::NoError
        && commandFile.status() == QSettings::NoError;
}

} // namespace bench
