// Measures how the program copes with many saved devices and commands: start-up, opening a
// terminal, adding, renaming and deleting a row, scrolling the device table, and idling. Offscreen,
// each measurement in a process of its own with a seeded data folder; see docs/performance.md.
#include "measure.h"
#include "scenarios.h"

#include "ptypeer.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "data/inifile.h"
#include "models/appabstracttablemodel.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"
#include "util/qtcompat.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSysInfo>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>

#ifndef VT_BENCH_BUILD_TYPE
#define VT_BENCH_BUILD_TYPE "unknown"
#endif

using namespace bench;

namespace {

// --- the child: the real application object in a process of its own ---

void report(const QString &key, const QString &value)
{
    std::printf("RESULT %s %s\n", qPrintable(key), qPrintable(value));
    std::fflush(stdout);
}

void report(const QString &key, qint64 value)
{
    report(key, QString::number(value));
}

void problem(const QString &text)
{
    report(QStringLiteral("problem"), text);
}

// The application, counting what it delivers for the idle figure.
class ScaleApp : public VerantisTerminalApp
{
public:
    ScaleApp(int &argc, char **argv)
        : VerantisTerminalApp(argc, argv)
    {
    }

    qint64 events = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // The event dispatcher's own events come from the measuring loop itself.
        if (!qobject_cast<QAbstractEventDispatcher *>(receiver))
            ++events;
        if (event->type() == QEvent::Show) {
            // A message box means something went wrong; note it and dismiss it, without a timer
            // that would spoil the idle figure.
            if (auto *box = qobject_cast<QMessageBox *>(receiver)) {
                problem(QStringLiteral("message box: ") + box->text());
                QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
            }
        }
        return VerantisTerminalApp::notify(receiver, event);
    }
};

ScaleApp *scaleApp()
{
    return static_cast<ScaleApp *>(VerantisTerminalApp::app());
}

template<typename T> T *mainWidget(const char *name)
{
    return scaleApp()->mainWin()->centralWidget()->findChild<T *>(QString::fromLatin1(name));
}

AppAbstractTableModel *modelOf(QTableView *view)
{
    return qobject_cast<AppAbstractTableModel *>(view->model());
}

int buttonWidgets(QTableView *view)
{
    return view->viewport()->findChildren<QPushButton *>().size();
}

// Times one operation until the event loop is idle again, its repaint included; the store writes
// the INI files before its call returns, so that is part of it.
struct Timing
{
    QVector<qint64> all;

    template<typename Op> void measure(Op op)
    {
        waitIdle();
        const qint64 start = wallNs();
        op();
        waitIdle();
        all.append(wallNs() - start);
    }
};

qint64 medianOf(QVector<qint64> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

qint64 maxOf(const QVector<qint64> &values)
{
    return values.isEmpty() ? -1 : *std::max_element(values.cbegin(), values.cend());
}

void reportTiming(const QString &key, const Timing &timing)
{
    report(key + QStringLiteral("_median_ns"), medianOf(timing.all));
    report(key + QStringLiteral("_max_ns"), maxOf(timing.all));
}

QPushButton *rowButton(QTableView *view, int row, int column)
{
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    waitIdle();
    QWidget *cell = view->indexWidget(index);
    return cell ? cell->findChild<QPushButton *>() : nullptr;
}

int rowOf(AppAbstractTableModel *model, const QString &name)
{
    for (int row = model->rowCount() - 1; row >= 0; --row) {
        if (model->index(row, 0).data().toString() == name)
            return row;
    }
    return -1;
}

void checkLoaded(int items)
{
    auto *devices = mainWidget<QTableView>("deviceTable");
    auto *commands = mainWidget<QTableView>("commandTable");
    if (!devices || !commands || modelOf(devices)->rowCount() != items
        || modelOf(commands)->rowCount() != items) {
        problem(QStringLiteral("the saved devices and commands were not all loaded"));
        return;
    }
    report(QStringLiteral("device_buttons"), buttonWidgets(devices));
    report(QStringLiteral("command_buttons"), buttonWidgets(commands));
}

void opsTerminal(int items, int repeats)
{
    PtyPeer peer;
    if (!peer.isValid() || !peer.mapTo(QStringLiteral("COM7"))) {
        problem(QStringLiteral("no pseudo-terminal"));
        return;
    }
    AppDeviceData record(QStringLiteral("Bench"), QStringLiteral("COM7"), 115200, 8, 0, 0, 0);
    Timing timing;
    for (int i = 0; i < repeats; ++i) {
        timing.measure([&] { scaleApp()->openDevice(&record); });
        const QList<AppDeviceDialog *> dialogs
            = scaleApp()->mainWin()->findChildren<AppDeviceDialog *>();
        if (dialogs.size() != 1 || !dialogs.first()->isVisible()) {
            problem(QStringLiteral("no terminal dialog"));
            return;
        }
        auto *choice
            = dialogs.first()->findChild<QComboBox *>(QStringLiteral("savedCommandsCombo"));
        if (!choice || choice->count() != items)
            problem(QStringLiteral("the terminal does not offer every saved command"));
        dialogs.first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    reportTiming(QStringLiteral("open_terminal"), timing);
}

// One saved list of the main window, as the add, rename and delete timings see it.
struct SavedList
{
    const char *kind; // "device" or "command", in problems and figure names
    const char *table;
    const char *nameEdit;
    const char *saveBtn;
    int deleteColumn;
    bool (AppSettingsManager::*exists)(QString);
};

void opsOnList(const SavedList &list, int repeats)
{
    auto *view = mainWidget<QTableView>(list.table);
    AppAbstractTableModel *model = modelOf(view);
    AppSettingsManager *store = scaleApp()->settingsManager();
    const QString kind = QString::fromLatin1(list.kind);
    const auto saved = [&](const QString &name) {
        return (store->*list.exists)(name);
    };
    Timing add, rename, remove;
    for (int i = 0; i < repeats; ++i) {
        const QString name = QStringLiteral("Added %1").arg(i);
        const QString renamed = QStringLiteral("Renamed %1").arg(i);
        mainWidget<QLineEdit>(list.nameEdit)->setText(name);
        if (kind == QLatin1String("command"))
            mainWidget<QLineEdit>("hexEdit")->setText(QStringLiteral("0102"));
        add.measure([&] { mainWidget<QPushButton>(list.saveBtn)->click(); });
        const int row = rowOf(model, name);
        if (row < 0 || !saved(name)) {
            problem(QStringLiteral("a %1 saved from the form is missing").arg(kind));
            return;
        }
        // As the delegate commits an edited name cell.
        rename.measure([&] { model->setData(model->index(row, 0), renamed, Qt::EditRole); });
        QPushButton *button = rowButton(view, row, list.deleteColumn);
        if (!button || !saved(renamed)) {
            problem(QStringLiteral("a renamed %1 or its Delete button is missing").arg(kind));
            return;
        }
        remove.measure([button] { button->click(); });
        if (saved(renamed) || rowOf(model, renamed) >= 0)
            problem(QStringLiteral("a deleted %1 is still saved").arg(kind));
    }
    reportTiming(kind + QStringLiteral("_add"), add);
    reportTiming(kind + QStringLiteral("_rename"), rename);
    reportTiming(kind + QStringLiteral("_delete"), remove);
}

// Pages through the device table from the first row to the last, one frame per page, as
// holding Page Down does.
void opsScroll()
{
    auto *view = mainWidget<QTableView>("deviceTable");
    view->scrollToTop();
    waitIdle();
    QScrollBar *bar = view->verticalScrollBar();
    QVector<qint64> frames;
    int mostButtons = buttonWidgets(view);
    while (bar->value() < bar->maximum()) {
        const qint64 start = wallNs();
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        waitIdle();
        frames.append(wallNs() - start);
        mostButtons = qMax(mostButtons, buttonWidgets(view));
    }
    const int lastRow = view->model()->rowCount() - 1;
    if (lastRow >= 0 && !view->indexWidget(view->model()->index(lastRow, 7)))
        problem(QStringLiteral("the last row has no buttons after scrolling"));
    report(QStringLiteral("scroll_frames"), frames.size());
    report(QStringLiteral("scroll_median_ns"), medianOf(frames));
    report(QStringLiteral("scroll_max_ns"), maxOf(frames));
    report(QStringLiteral("scroll_buttons_max"), mostButtons);
}

void opsIdle(int seconds)
{
    // A terminal open as well: its command choice is the store's list.
    PtyPeer peer;
    AppDeviceData record(QStringLiteral("Bench"), QStringLiteral("COM8"), 115200, 8, 0, 0, 0);
    if (peer.isValid() && peer.mapTo(QStringLiteral("COM8")))
        scaleApp()->openDevice(&record);
    // The terminal puts the focus on its bytes field, whose text cursor blinks at the pace the
    // desktop sets: a timer of Qt's, there for the operator, not work of the program's own.
    QApplication::setCursorFlashTime(0);
    waitIdle();
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }
    QEventLoop loop;
    const qint64 events = scaleApp()->events;
    qint64 idleEvents = -1;
    const qint64 cpu = cpuNs();
    const qint64 wall = wallNs();
    QTimer::singleShot(seconds * 1000, &loop, [&] {
        // Not counting the event of the timer that ends the wait.
        idleEvents = scaleApp()->events - events - 1;
        loop.quit();
    });
    loop.exec();
    report(QStringLiteral("idle_events"), idleEvents);
    report(QStringLiteral("idle_cpu_ns"), cpuNs() - cpu);
    report(QStringLiteral("idle_wall_ns"), wallNs() - wall);
}

int runChild(int argc, char **argv, const QString &scenario, int repeats, int idleSeconds)
{
    // The real program's name, so the data folder is the one the parent seeded.
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    QtCompat::enableHighDpiScaling();
    QGuiApplication::setDesktopSettingsAware(true);
    const qint64 before = wallNs();
    ScaleApp app(argc, argv);
    const qint64 constructed = wallNs();
    waitIdle();
    const qint64 shown = wallNs();
    const int items = qEnvironmentVariableIntValue("VT_BENCH_ITEMS");
    const QByteArray spawned = qgetenv("VT_BENCH_SPAWN_NS");
    if (!app.mainWin() || !app.mainWin()->isVisible())
        problem(QStringLiteral("the main window is not shown"));
    if (!spawned.isEmpty())
        report(QStringLiteral("launch_ns"), shown - spawned.toLongLong());
    report(QStringLiteral("construct_ns"), constructed - before);
    report(QStringLiteral("peak_rss_kib"), peakRssKiB());
    checkLoaded(items);
    if (scenario == QLatin1String("ops")) {
        // A window of a common screen's size, so scrolling pages through many rows at once.
        app.mainWin()->resize(1280, 960);
        waitIdle();
        opsTerminal(items, repeats);
        opsOnList({ "device", "deviceTable", "deviceNameEdit", "deviceSaveBtn", 7,
                      &AppSettingsManager::deviceExists },
            repeats);
        opsOnList({ "command", "commandTable", "commandNameEdit", "commandSaveBtn", 3,
                      &AppSettingsManager::commandExists },
            repeats);
        opsScroll();
        opsIdle(idleSeconds);
    }
    return 0;
}

// --- the parent: seeds a data folder, starts a child, collects its RESULT lines ---

Outcome runOne(const QString &scenario, int items, const QStringList &extra)
{
    return bench::runChild(
        scenario, extra, items, 600, QStringLiteral("%1 at %2").arg(scenario).arg(items));
}

QString ms(qint64 ns)
{
    if (ns < 0)
        return QStringLiteral("n/a");
    return QString::number(ns / 1e6, 'f', ns < 10000000 ? 2 : 1) + QStringLiteral(" ms");
}

void line(const QString &label, const QString &value)
{
    std::printf("| %-62s | %-26s |\n", qPrintable(label), qPrintable(value));
}

int runParent(bool quick)
{
    const QList<int> sizes = quick ? QList<int> { 0, 200 } : QList<int> { 0, 1000, 10000 };
    const int launches = quick ? 1 : 5;
    const int opsItems = quick ? 1000 : 10000;
    const QStringList opsArgs { QStringLiteral("--repeats"), QString::number(quick ? 2 : 5),
        QStringLiteral("--idle-seconds"), QString::number(quick ? 1 : 5) };
    QStringList problems;

    std::printf("Verantis Terminal scale benchmark%s\n", quick ? ", short run" : "");
    std::printf("Machine: %d CPUs, %s, kernel %s\n", QThread::idealThreadCount(),
        qPrintable(QSysInfo::prettyProductName()), qPrintable(QSysInfo::kernelVersion()));
    std::printf("Qt %s, build type %s, platform offscreen\n\n", qVersion(), VT_BENCH_BUILD_TYPE);
    std::printf("| %-62s | %-26s |\n| %s | %s |\n", "Figure", "Value",
        qPrintable(QString(62, QLatin1Char('-'))), qPrintable(QString(26, QLatin1Char('-'))));

    line(QStringLiteral("Start-up, launch to main window shown (median of %1)").arg(launches),
        QString());
    for (int items : sizes) {
        QVector<qint64> launch, construct, rss;
        qint64 buttons = -1;
        for (int run = 0; run < launches; ++run) {
            fprintf(stderr, "start-up at %d, run %d\n", items, run + 1);
            const Outcome o = runOne(QStringLiteral("startup"), items, {});
            problems << o.problems;
            launch << o.number(QStringLiteral("launch_ns"));
            construct << o.number(QStringLiteral("construct_ns"));
            rss << o.number(QStringLiteral("peak_rss_kib"));
            buttons = o.number(QStringLiteral("device_buttons"))
                + o.number(QStringLiteral("command_buttons"));
        }
        line(QStringLiteral("  %1 devices + %1 commands").arg(items),
            ms(medianOf(launch)) + QStringLiteral(" (build %1)").arg(ms(medianOf(construct))));
        line(QStringLiteral("    peak memory, button widgets"),
            QStringLiteral("%1 MiB, %2").arg(medianOf(rss) / 1024).arg(buttons));
    }

    fprintf(stderr, "operations at %d\n", opsItems);
    const Outcome ops = runOne(QStringLiteral("ops"), opsItems, opsArgs);
    problems << ops.problems;
    const auto op = [&ops](const QString &label, const QString &key) {
        line(label,
            ms(ops.number(key + QStringLiteral("_median_ns"))) + QStringLiteral(" / ")
                + ms(ops.number(key + QStringLiteral("_max_ns"))));
    };
    line(QStringLiteral("At %1 saved devices and %1 saved commands (median / max)").arg(opsItems),
        QString());
    op(QStringLiteral("  open a terminal"), QStringLiteral("open_terminal"));
    op(QStringLiteral("  add a device from the form"), QStringLiteral("device_add"));
    op(QStringLiteral("  rename a device in the table"), QStringLiteral("device_rename"));
    op(QStringLiteral("  delete a device with its row's button"), QStringLiteral("device_delete"));
    op(QStringLiteral("  add a command from the form"), QStringLiteral("command_add"));
    op(QStringLiteral("  rename a command in the table"), QStringLiteral("command_rename"));
    op(QStringLiteral("  delete a command with its row's button"),
        QStringLiteral("command_delete"));
    line(QStringLiteral("  scroll the device table top to bottom, page by page"), QString());
    line(
        QStringLiteral("    frames"), QString::number(ops.number(QStringLiteral("scroll_frames"))));
    line(QStringLiteral("    median / longest frame"),
        ms(ops.number(QStringLiteral("scroll_median_ns"))) + QStringLiteral(" / ")
            + ms(ops.number(QStringLiteral("scroll_max_ns"))));
    line(QStringLiteral("    button widgets in the device table, at most"),
        QString::number(ops.number(QStringLiteral("scroll_buttons_max"))));
    const qint64 idleWall = ops.number(QStringLiteral("idle_wall_ns"));
    line(QStringLiteral("  idle for %1 s with a terminal open: events, CPU")
             .arg(qRound(idleWall / 1e9)),
        QStringLiteral("%1, %2")
            .arg(ops.number(QStringLiteral("idle_events")))
            .arg(ms(ops.number(QStringLiteral("idle_cpu_ns")))));

    // The short run only proves the bench and the program still work at scale.
    if (quick) {
        if (ops.number(QStringLiteral("idle_events")) != 0)
            problems << QStringLiteral("events were delivered while idle");
        if (ops.number(QStringLiteral("scroll_buttons_max")) > 60)
            problems << QStringLiteral("the device table made more button widgets than fit");
    }
    if (!problems.isEmpty()) {
        std::printf("\nProblems:\n");
        for (const QString &p : qAsConst(problems))
            std::printf("  %s\n", qPrintable(p));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--child") == 0) {
        const QString scenario = QString::fromLatin1(argv[2]);
        int repeats = 5;
        int idleSeconds = 5;
        for (int i = 3; i + 1 < argc; i += 2) {
            if (qstrcmp(argv[i], "--repeats") == 0)
                repeats = QByteArray(argv[i + 1]).toInt();
            else if (qstrcmp(argv[i], "--idle-seconds") == 0)
                idleSeconds = QByteArray(argv[i + 1]).toInt();
        }
        return runChild(argc, argv, scenario, repeats, idleSeconds);
    }
    QCoreApplication app(argc, argv);
    // For profiling a child by hand: --seed <data folder> <count>.
    if (argc == 4 && qstrcmp(argv[1], "--seed") == 0)
        return seedDataFolder(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), atoi(argv[3])) ? 0
                                                                                             : 1;
    const bool quick = app.arguments().contains(QStringLiteral("--short"));
    return runParent(quick);
}
