// Measures the receive path of the real program offscreen, with a pseudo-terminal as the device,
// against a bare QSerialPort reader; see docs/performance.md.
#include "measure.h"
#include "scenarios.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringConverter>
#endif

#include <algorithm>
#include <csignal>
#include <cstring>

#ifndef VT_BENCH_BUILD_TYPE
#define VT_BENCH_BUILD_TYPE "unknown"
#endif

using namespace bench;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    static const bool utf8 = [] {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        stream.setCodec("UTF-8");
#else
        stream.setEncoding(QStringConverter::Utf8);
#endif
        return true;
    }();
    Q_UNUSED(utf8)
    return stream;
}

void progress(const QString &text)
{
    QTextStream err(stderr);
    err << text << Qt::endl;
}

// kill -9 of the program during a 3 Mbaud stream, then a start on the same data folder: what it
// recovered against what had arrived 100 ms before the kill.
Outcome crashRun(int streamSeconds)
{
    Outcome outcome;
    QTemporaryDir home;
    if (!home.isValid()
        || !seedDataFolder(home.path() + QStringLiteral("/VerantisTerminal"), 0, 0)) {
        outcome.problems << QStringLiteral("crash: cannot prepare a data folder");
        return outcome;
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setProcessEnvironment(childEnvironment(home.path(), 0));
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--child"), QStringLiteral("crash-app") });
    QVector<QPair<qint64, qint64>> arrived;
    qint64 killNs = -1;
    const qint64 started = wallNs();
    while (killNs < 0 && child.state() != QProcess::NotRunning) {
        child.waitForReadyRead(100);
        while (child.canReadLine()) {
            const QList<QByteArray> fields = child.readLine().trimmed().split(' ');
            if (fields.size() == 3 && fields.at(0) == "ARRIVED")
                arrived.append({ fields.at(1).toLongLong(), fields.at(2).toLongLong() });
        }
        const bool due = !arrived.isEmpty()
            && wallNs() - arrived.constFirst().first > qint64(streamSeconds) * 1000000000;
        if (due || wallNs() - started > qint64(streamSeconds + 120) * 1000000000) {
            killNs = wallNs();
            ::kill(pid_t(child.processId()), SIGKILL);
        }
    }
    child.waitForFinished(-1);
    qint64 before = 0;
    for (const auto &at : qAsConst(arrived)) {
        if (at.first <= killNs - 100000000)
            before = at.second;
    }
    if (arrived.isEmpty() || killNs < 0) {
        outcome.problems << QStringLiteral("crash: the stream did not run");
        return outcome;
    }
    outcome = runChildIn(
        home.path(), QStringLiteral("recover-app"), {}, 0, 600, QStringLiteral("recover-app"));
    outcome.values.insert(QStringLiteral("arrived_100ms_before_kill"), QString::number(before));
    outcome.values.insert(
        QStringLiteral("arrived_at_kill"), QString::number(arrived.constLast().second));
    outcome.values.insert(QStringLiteral("stream_seconds"), QString::number(streamSeconds));
    if (outcome.number(QStringLiteral("recovered_bytes")) < before)
        outcome.problems << QStringLiteral("crash: recovered %1 bytes of the %2 that had arrived "
                                           "100 ms before the kill")
                                .arg(outcome.number(QStringLiteral("recovered_bytes")))
                                .arg(before);
    if (outcome.number(QStringLiteral("recovered_in_order")) != 1)
        outcome.problems << QStringLiteral("crash: the recovered rows differ from the stream");
    if (outcome.number(QStringLiteral("recovery_message")) != 1)
        outcome.problems << QStringLiteral("crash: no message about the recovery");
    return outcome;
}

QString duration(qint64 ns)
{
    if (ns < 0)
        return QStringLiteral("n/a");
    if (ns < 1000000)
        return QString::number(ns / 1000.0, 'f', 1) + QStringLiteral(" µs");
    if (ns < 1000000000)
        return QString::number(ns / 1e6, 'f', 1) + QStringLiteral(" ms");
    return QString::number(ns / 1e9, 'f', 2) + QStringLiteral(" s");
}

QString memory(qint64 kib)
{
    if (kib < 10 * 1024)
        return QString::number(kib) + QStringLiteral(" KiB");
    return QString::number(kib / 1024.0, 'f', 1) + QStringLiteral(" MiB");
}

QString rate(double bytesPerSecond)
{
    if (bytesPerSecond >= 1024.0 * 1024.0)
        return QString::number(bytesPerSecond / (1024.0 * 1024.0), 'f', 1)
            + QStringLiteral(" MiB/s");
    return QString::number(bytesPerSecond / 1024.0, 'f', 1) + QStringLiteral(" KiB/s");
}

QString count(qint64 n)
{
    QString digits = QString::number(n);
    for (int at = digits.size() - 3; at > (n < 0 ? 1 : 0); at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QString ratio(double app, double baseline)
{
    if (app < 0 || baseline <= 0)
        return QString();
    const double r = app / baseline;
    const int decimals = r >= 100 ? 0 : r >= 10 ? 1 : r >= 1 ? 2 : 3;
    return QStringLiteral("×") + QString::number(r, 'f', decimals);
}

class Table
{
public:
    void section(const QString &title) { rows.append({ title, QString(), QString(), QString() }); }
    void row(const QString &figure, const QString &app, const QString &baseline = QString(),
        const QString &r = QString())
    {
        rows.append({ QStringLiteral("  ") + figure, app, baseline, r });
    }

    void print() const
    {
        const QStringList header { QStringLiteral("Figure"), QStringLiteral("Application"),
            QStringLiteral("Baseline"), QStringLiteral("Ratio") };
        int widths[4];
        for (int c = 0; c < 4; ++c) {
            widths[c] = header.at(c).size();
            for (const QStringList &r : rows)
                widths[c] = std::max(widths[c], int(r.at(c).size()));
        }
        const auto line = [&](const QStringList &cells) {
            QString text = QStringLiteral("|");
            for (int c = 0; c < 4; ++c)
                text += QLatin1Char(' ') + cells.at(c).leftJustified(widths[c])
                    + QStringLiteral(" |");
            out() << text << '\n';
        };
        line(header);
        QStringList rule;
        for (int c = 0; c < 4; ++c)
            rule << QString(widths[c], QLatin1Char('-'));
        line(rule);
        for (const QStringList &r : rows)
            line(r);
        out().flush();
    }

private:
    QList<QStringList> rows;
};

QString cpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String("model name")))
                return line.section(QLatin1Char(':'), 1).trimmed();
        }
    }
    return QStringLiteral("unknown CPU");
}

QString memoryTotal()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (file.open(QIODevice::ReadOnly)) {
        const QString first = QString::fromUtf8(file.readLine());
        const QRegularExpressionMatch m
            = QRegularExpression(QStringLiteral("MemTotal:\\s*(\\d+)")).match(first);
        if (m.hasMatch())
            return QString::number(m.captured(1).toDouble() / (1024.0 * 1024.0), 'f', 1)
                + QStringLiteral(" GiB");
    }
    return QStringLiteral("unknown");
}

qint64 median(QList<qint64> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void usage()
{
    out() << "Usage: verantis_bench [--short] [--only NAME[,NAME...]] [--burst-mib N]\n"
             "                      [--pace-seconds N] [--window-seconds N] [--history-rows N]\n"
             "                      [--time-limit SECONDS]\n"
             "  --short           tiny sizes and durations; fails if a byte is lost or out of "
             "order\n"
             "  --only            run only these measurements: "
          << scenarioNames().join(QStringLiteral(", "))
          << "\n"
             "  --burst-mib       size of the burst (default 32)\n"
             "  --pace-seconds    length of each fixed-pace run (default 600)\n"
             "  --window-seconds  the first and last stretch of a fixed-pace run whose costs are\n"
             "                    compared (default 60, at most a quarter of the run)\n"
             "  --history-rows    rows of the history measurement (default 1000000)\n"
             "  --time-limit      a burst stops, reported as incomplete, after this long "
             "(default 300)\n";
    out().flush();
}

} // namespace

int main(int argc, char **argv)
{
    bool quick = false;
    QString child;
    QStringList only;
    // Size options, handed on to every measurement process.
    QStringList sizeArgs;
    int burstMiB = 0, steadySeconds = 0, windowSeconds = 0, historyRows = 0, timeLimit = 0;
    const auto positive = [&](int &i, int *target) {
        if (i + 1 >= argc)
            return false;
        bool ok = false;
        *target = QByteArray(argv[i + 1]).toInt(&ok);
        sizeArgs << QString::fromLocal8Bit(argv[i]) << QString::fromLocal8Bit(argv[i + 1]);
        ++i;
        return ok && *target > 0;
    };
    for (int i = 1; i < argc; ++i) {
        bool ok = true;
        if (!std::strcmp(argv[i], "--short")) {
            quick = true;
            sizeArgs << QStringLiteral("--short");
        } else if (!std::strcmp(argv[i], "--child") && i + 1 < argc) {
            child = QString::fromLocal8Bit(argv[++i]);
        } else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) {
            only = QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','));
        } else if (!std::strcmp(argv[i], "--burst-mib")) {
            ok = positive(i, &burstMiB);
        } else if (!std::strcmp(argv[i], "--pace-seconds")
            || !std::strcmp(argv[i], "--steady-seconds")) {
            ok = positive(i, &steadySeconds);
        } else if (!std::strcmp(argv[i], "--window-seconds")) {
            ok = positive(i, &windowSeconds);
        } else if (!std::strcmp(argv[i], "--history-rows")) {
            ok = positive(i, &historyRows);
        } else if (!std::strcmp(argv[i], "--time-limit")) {
            ok = positive(i, &timeLimit);
        } else {
            ok = false;
        }
        if (!ok) {
            usage();
            return std::strcmp(argv[i], "--help") ? 2 : 0;
        }
    }
    Sizes sizes = quick ? Sizes::quick() : Sizes::full();
    if (burstMiB > 0)
        sizes.burstBytes = qint64(burstMiB) * 1024 * 1024;
    if (steadySeconds > 0)
        sizes.steadySeconds = steadySeconds;
    if (windowSeconds > 0)
        sizes.steadyWindowMs = windowSeconds * 1000;
    // Two windows that overlap would compare a stretch with itself.
    sizes.steadyWindowMs = qMin(sizes.steadyWindowMs, sizes.steadySeconds * 1000 / 4);
    if (historyRows > 0)
        sizes.historyRows = historyRows;
    if (timeLimit > 0)
        sizes.burstLimitSeconds = timeLimit;
    if (!child.isEmpty()) {
        if (!isScenario(child))
            return 2;
        return runScenario(argc, argv, child, sizes);
    }
    for (const QString &name : only) {
        if (!isScenario(name)) {
            usage();
            return 2;
        }
    }

    QCoreApplication app(argc, argv);
    const auto wanted = [&](const char *name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };
    const int receiveTimeout = sizes.burstLimitSeconds + sizes.steadySeconds + 600;
    QStringList problems;
    bool incomplete = false;
    const auto collect = [&](const QString &name, int items, int timeout) {
        progress(QStringLiteral("verantis_bench: %1...").arg(name));
        Outcome o = runChild(name, sizeArgs, items, timeout, name);
        problems << o.problems;
        if (o.has(QStringLiteral("complete")) && o.number(QStringLiteral("complete")) != 1)
            incomplete = true;
        return o;
    };

    Outcome burstBare, burstApp, history, idle, crash;
    QHash<QString, Outcome> paced;
    QList<qint64> startLaunch, startConstruct, startEmpty, startPeak;
    if (wanted("burst-bare"))
        burstBare = collect(QStringLiteral("burst-bare"), 0, receiveTimeout);
    if (wanted("burst-app"))
        burstApp = collect(QStringLiteral("burst-app"), 0, receiveTimeout);
    for (const Pace &pace : paces()) {
        for (const char *side : { "-bare", "-app" }) {
            const QString name = QLatin1String(pace.name) + QLatin1String(side);
            if (wanted(qPrintable(name)))
                paced.insert(name, collect(name, 0, receiveTimeout));
        }
        const QString logged = QLatin1String(pace.name) + QLatin1String("-log-app");
        if (isScenario(logged) && wanted(qPrintable(logged)))
            paced.insert(logged, collect(logged, 0, receiveTimeout));
    }
    // The fastest pace again with the log in the Lines view.
    if (wanted("pace3m-applines"))
        paced.insert(QStringLiteral("pace3m-applines"),
            collect(QStringLiteral("pace3m-applines"), 0, receiveTimeout));
    if (wanted("pace3m-appfind"))
        paced.insert(QStringLiteral("pace3m-appfind"),
            collect(QStringLiteral("pace3m-appfind"), 0, receiveTimeout));
    if (wanted("history-app"))
        history = collect(QStringLiteral("history-app"), 0, 3600);
    if (wanted("crash-app")) {
        progress(QStringLiteral("verantis_bench: crash-app..."));
        crash = crashRun(quick ? 3 : 20);
        problems << crash.problems;
    }
    if (wanted("idle-app"))
        idle = collect(QStringLiteral("idle-app"), sizes.idleItems, sizes.idleSeconds + 120);
    if (wanted("startup-app")) {
        for (int run = 0; run < sizes.startupRuns; ++run) {
            const Outcome full = collect(QStringLiteral("startup-app"), sizes.startupItems, 300);
            startLaunch << full.number(QStringLiteral("launch_ns"));
            startConstruct << full.number(QStringLiteral("construct_ns"));
            startPeak << full.number(QStringLiteral("peak_rss_kib"));
            const Outcome empty = collect(QStringLiteral("startup-app"), 0, 300);
            startEmpty << empty.number(QStringLiteral("launch_ns"));
        }
    }

    out() << "Verantis Terminal receive benchmark, " << (quick ? "short run" : "full run") << '\n'
          << "Machine: " << QThread::idealThreadCount() << " CPUs (" << cpuModel() << "), "
          << memoryTotal() << " memory, " << QSysInfo::prettyProductName() << ", kernel "
          << QSysInfo::kernelVersion() << '\n'
          << "Qt " << qVersion() << ", build type " << VT_BENCH_BUILD_TYPE
#ifdef VT_BENCH_SANITIZED
          << " with sanitizers"
#endif
          << ", platform offscreen\n"
          << "Baseline: a bare QSerialPort that only counts the bytes; for start-up, the program "
             "with an empty data folder.\n\n";

    Table table;
    // A figure of the application beside the same figure of the baseline, and their ratio.
    const auto both = [&table](const QString &label, const Outcome &app, const Outcome &bare,
                          const char *key, QString (*format)(qint64)) {
        const QString k = QLatin1String(key);
        table.row(label, app.has(k) ? format(app.number(k)) : QString(),
            bare.has(k) ? format(bare.number(k)) : QString(),
            app.has(k) && bare.has(k) ? ratio(app.number(k), bare.number(k)) : QString());
    };
    const auto inOrder = [&table](const Outcome &app) {
        if (!app.has(QStringLiteral("in_order")))
            return;
        table.row(QStringLiteral("every byte in the history, in order"),
            app.number(QStringLiteral("in_order")) == 1
                ? QStringLiteral("yes (%1 bytes)")
                      .arg(count(app.number(QStringLiteral("history_bytes"))))
                : QStringLiteral("NO"));
    };
    const auto allocated = [&table](const Outcome &app) {
        if (!app.has(QStringLiteral("history_allocated")))
            return;
        table.row(QStringLiteral("history bytes: carried / allocated for them"),
            memory(app.number(QStringLiteral("history_bytes")) / 1024) + QStringLiteral(" / ")
                + memory(app.number(QStringLiteral("history_allocated")) / 1024));
    };
    const auto stopped = [&table](const Outcome &app, const Outcome &bare) {
        for (const Outcome *o : { &app, &bare }) {
            if (!o->has(QStringLiteral("stopped_by")))
                continue;
            const QString received
                = count(o->number(QStringLiteral("bytes"))) + QStringLiteral(" bytes");
            table.row(QStringLiteral("INCOMPLETE (%1), received")
                          .arg(o->values.value(QStringLiteral("stopped_by"))),
                o == &app ? received : QString(), o == &bare ? received : QString());
        }
    };

    if (wanted("burst-bare") || wanted("burst-app")) {
        table.section(QStringLiteral("Burst: %1 written as fast as the pty takes it")
                          .arg(memory(sizes.burstBytes / 1024)));
        both(QStringLiteral("wall time"), burstApp, burstBare, "wall_ns", duration);
        both(QStringLiteral("CPU time"), burstApp, burstBare, "cpu_ns", duration);
        const auto throughput = [](const Outcome &o) -> double {
            const qint64 wall = o.number(QStringLiteral("wall_ns"));
            return wall > 0 ? o.number(QStringLiteral("bytes")) * 1e9 / wall : -1;
        };
        const double appRate = throughput(burstApp), bareRate = throughput(burstBare);
        table.row(QStringLiteral("throughput"), appRate >= 0 ? rate(appRate) : QString(),
            bareRate >= 0 ? rate(bareRate) : QString(), ratio(appRate, bareRate));
        const auto quarters = [](const Outcome &o) {
            QStringList times;
            const QStringList values = o.values.value(QStringLiteral("quarters_ns"))
                                           .split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (const QString &v : values)
                times << duration(v.toLongLong());
            return times.join(QStringLiteral(" / "));
        };
        table.row(QStringLiteral("time for each quarter of the data"), quarters(burstApp),
            quarters(burstBare));
        both(QStringLiteral("batches (onDataFull / readyRead)"), burstApp, burstBare, "batches",
            count);
        both(QStringLiteral("longest stall of the event loop"), burstApp, burstBare, "stall_ns",
            duration);
        both(QStringLiteral("peak memory (RSS)"), burstApp, burstBare, "peak_rss_kib", memory);
        if (burstApp.has(QStringLiteral("rows")))
            table.row(QStringLiteral("history rows / log paragraphs"),
                count(burstApp.number(QStringLiteral("rows"))) + QStringLiteral(" / ")
                    + (burstApp.has(QStringLiteral("log_copy_refused"))
                            ? QStringLiteral("Copy refused, over its limit")
                            : count(burstApp.number(QStringLiteral("log_paragraphs")))));
        if (burstApp.has(QStringLiteral("log_freed_kib")))
            table.row(QStringLiteral("memory given back by Clear / by Clear History"),
                memory(burstApp.number(QStringLiteral("log_freed_kib"))) + QStringLiteral(" / ")
                    + memory(burstApp.number(QStringLiteral("history_freed_kib"))));
        allocated(burstApp);
        inOrder(burstApp);
        stopped(burstApp, burstBare);
    }

    for (const Pace &pace : paces()) {
        const Outcome bare = paced.value(QLatin1String(pace.name) + QLatin1String("-bare"));
        const Outcome app = paced.value(QLatin1String(pace.name) + QLatin1String("-app"));
        if (!app.has(QStringLiteral("wall_ns")) && !bare.has(QStringLiteral("wall_ns")))
            continue;
        table.section(QStringLiteral("Fixed pace: %1 (%2) for %3")
                          .arg(QLatin1String(pace.title))
                          .arg(rate(pace.bytesPerSecond))
                          .arg(duration(qint64(sizes.steadySeconds) * 1000000000)));
        both(QStringLiteral("wall time"), app, bare, "wall_ns", duration);
        const auto load = [](const Outcome &o) -> double {
            const qint64 wall = o.number(QStringLiteral("wall_ns"));
            return wall > 0 ? o.number(QStringLiteral("cpu_ns")) * 100.0 / wall : -1;
        };
        const auto percent = [](double p) {
            return p < 0 ? QString() : QString::number(p, 'f', 1) + QStringLiteral(" %");
        };
        table.row(QStringLiteral("CPU, share of one core"), percent(load(app)), percent(load(bare)),
            ratio(load(app), load(bare)));
        const Outcome logged = paced.value(QLatin1String(pace.name) + QLatin1String("-log-app"));
        if (logged.has(QStringLiteral("wall_ns")))
            table.row(QStringLiteral("CPU with Lines logging on (baseline: without)"),
                percent(load(logged)), percent(load(app)), ratio(load(logged), load(app)));
        const Outcome lines = paced.value(QLatin1String(pace.name) + QLatin1String("-applines"));
        if (lines.has(QStringLiteral("wall_ns")))
            table.row(QStringLiteral("CPU, share of one core, log in Lines (against Blocks)"),
                percent(load(lines)), percent(load(app)), ratio(load(lines), load(app)));
        const auto perMB = [](const Outcome &o) -> double {
            const qint64 bytes = o.number(QStringLiteral("bytes"));
            return bytes > 0 ? o.number(QStringLiteral("cpu_ns")) * 1e6 / bytes : -1;
        };
        table.row(QStringLiteral("CPU per MB received"),
            perMB(app) >= 0 ? duration(qint64(perMB(app))) : QString(),
            perMB(bare) >= 0 ? duration(qint64(perMB(bare))) : QString(),
            ratio(perMB(app), perMB(bare)));
        const Outcome find = paced.value(QLatin1String(pace.name) + QLatin1String("-appfind"));
        if (perMB(find) >= 0)
            table.row(QStringLiteral("CPU per MB, find bar open on a match (left) / app (right)"),
                duration(qint64(perMB(find))), duration(qint64(perMB(app))),
                ratio(perMB(find), perMB(app)));
        const auto lost = [](const Outcome &o) {
            return o.has(QStringLiteral("lost_bytes"))
                ? count(o.number(QStringLiteral("lost_bytes"))) + QStringLiteral(" of ")
                    + count(o.number(QStringLiteral("sent_bytes")))
                : QString();
        };
        table.row(QStringLiteral("bytes lost"), lost(app), lost(bare));
        both(QStringLiteral("longest stall of the event loop"), app, bare, "stall_ns", duration);
        const auto startEnd = [](const Outcome &o) {
            return o.has(QStringLiteral("rss_start_kib"))
                ? memory(o.number(QStringLiteral("rss_start_kib"))) + QStringLiteral(" / ")
                    + memory(o.number(QStringLiteral("rss_end_kib")))
                : QString();
        };
        table.row(QStringLiteral("memory (RSS) at the start / at the end"), startEnd(app),
            startEnd(bare));
        const QString window = duration(qint64(sizes.steadyWindowMs) * 1000000);
        both(QStringLiteral("CPU per batch, first %1").arg(window), app, bare,
            "cpu_per_batch_start_ns", duration);
        both(QStringLiteral("CPU per batch, last %1").arg(window), app, bare,
            "cpu_per_batch_end_ns", duration);
        const auto growth = [](const Outcome &o) -> QString {
            const qint64 start = o.number(QStringLiteral("cpu_per_batch_start_ns"));
            const qint64 end = o.number(QStringLiteral("cpu_per_batch_end_ns"));
            return start > 0 && end > 0 ? ratio(end, start) : QString();
        };
        table.row(QStringLiteral("CPU per batch, last ÷ first"), growth(app), growth(bare));
        const auto windowLoad = [](const Outcome &o) -> QString {
            if (!o.has(QStringLiteral("cpu_permille_start")))
                return QString();
            return QStringLiteral("%1 % / %2 %")
                .arg(o.number(QStringLiteral("cpu_permille_start")) / 10.0, 0, 'f', 1)
                .arg(o.number(QStringLiteral("cpu_permille_end")) / 10.0, 0, 'f', 1);
        };
        table.row(QStringLiteral("CPU share, first / last %1").arg(window), windowLoad(app),
            windowLoad(bare));
        both(QStringLiteral("batches"), app, bare, "batches", count);
        both(QStringLiteral("peak memory (RSS)"), app, bare, "peak_rss_kib", memory);
        const qint64 rows = app.number(QStringLiteral("rows"));
        if (rows > 0) {
            const qint64 grown = app.number(QStringLiteral("rss_end_kib"))
                - app.number(QStringLiteral("rss_start_kib"));
            const auto perRow = [rows](qint64 kib) {
                return QString::number(kib * 1024.0 / rows, 'f', 0) + QStringLiteral(" bytes");
            };
            table.row(QStringLiteral("memory per history row with its log share (payload %1 B)")
                          .arg(app.number(QStringLiteral("history_bytes")) / rows),
                perRow(grown));
            if (app.has(QStringLiteral("log_freed_kib")))
                table.row(QStringLiteral("of which Clear / Clear History give back, per row"),
                    perRow(app.number(QStringLiteral("log_freed_kib"))) + QStringLiteral(" / ")
                        + perRow(app.number(QStringLiteral("history_freed_kib"))));
            table.row(QStringLiteral("history rows / copied log paragraphs / shown blocks"),
                count(rows) + QStringLiteral(" / ")
                    + count(app.number(QStringLiteral("log_paragraphs"))) + QStringLiteral(" / ")
                    + count(app.number(QStringLiteral("log_shown_blocks"))));
        }
        inOrder(app);
        stopped(app, bare);
    }

    if (wanted("history-app") && history.has(QStringLiteral("history_rows"))) {
        const qint64 rows = history.number(QStringLiteral("history_rows"));
        table.section(QStringLiteral("History of %1 rows of %2 bytes, added one by one")
                          .arg(count(rows))
                          .arg(history.number(QStringLiteral("history_payload"))));
        const qint64 grown = history.number(QStringLiteral("history_rss_end_kib"))
            - history.number(QStringLiteral("history_rss_start_kib"));
        table.row(QStringLiteral("memory per row, beyond its payload"),
            QString::number(
                grown * 1024.0 / rows - history.number(QStringLiteral("history_payload")), 'f', 0)
                + QStringLiteral(" bytes"));
        table.row(QStringLiteral("one insertion (row, repaint), first / last 1,000 rows"),
            duration(history.number(QStringLiteral("insert_first_ns"))) + QStringLiteral(" / ")
                + duration(history.number(QStringLiteral("insert_last_ns"))),
            QString(),
            ratio(history.number(QStringLiteral("insert_last_ns")),
                history.number(QStringLiteral("insert_first_ns"))));
        table.row(QStringLiteral("a frame of 100 rows (store, window, repaint), first / last"),
            duration(history.number(QStringLiteral("frame100_first_ns"))) + QStringLiteral(" / ")
                + duration(history.number(QStringLiteral("frame100_last_ns"))),
            QString(),
            ratio(history.number(QStringLiteral("frame100_last_ns")),
                history.number(QStringLiteral("frame100_first_ns"))));
        for (qint64 at = 1000000; at <= rows; at *= 10) {
            const QString key = QStringLiteral("history_rss_at_%1_kib").arg(at);
            if (history.has(key))
                table.row(QStringLiteral("resident memory at %1 rows").arg(count(at)),
                    memory(history.number(key)));
        }
        table.row(QStringLiteral("jump to the middle / back to the end, with repaint"),
            duration(history.number(QStringLiteral("history_jump_middle_ns")))
                + QStringLiteral(" / ")
                + duration(history.number(QStringLiteral("history_jump_end_ns"))));
        const qint64 saveNs = history.number(QStringLiteral("save_ns"));
        const qint64 saveBytes = history.number(QStringLiteral("save_bytes"));
        table.row(QStringLiteral("Save History (click to return), file size, rate"),
            duration(saveNs) + QStringLiteral(", ") + memory(saveBytes / 1024)
                + QStringLiteral(", ") + rate(saveNs > 0 ? saveBytes * 1e9 / saveNs : 0));
        table.row(QStringLiteral("peak memory (RSS)"),
            memory(history.number(QStringLiteral("peak_rss_kib"))));
    }

    if (wanted("crash-app") && crash.has(QStringLiteral("recovered_bytes"))) {
        table.section(QStringLiteral("kill -9 after %1 s of a 3 Mbaud stream, then a start")
                          .arg(crash.number(QStringLiteral("stream_seconds"))));
        table.row(QStringLiteral("arrived 100 ms before the kill / at the kill"),
            count(crash.number(QStringLiteral("arrived_100ms_before_kill"))) + QStringLiteral(" / ")
                + count(crash.number(QStringLiteral("arrived_at_kill")))
                + QStringLiteral(" bytes"));
        table.row(QStringLiteral("recovered at the next start (rows, in order)"),
            count(crash.number(QStringLiteral("recovered_bytes"))) + QStringLiteral(" bytes (")
                + count(crash.number(QStringLiteral("recovered_rows")))
                + (crash.number(QStringLiteral("recovered_in_order")) == 1
                        ? QStringLiteral(" rows, in order)")
                        : QStringLiteral(" rows, NOT in order)")));
        table.row(QStringLiteral("start-up with the recovery (construction)"),
            duration(crash.number(QStringLiteral("construct_ns"))));
    }

    if (wanted("idle-app")) {
        table.section(QStringLiteral("Idle: %1 saved devices and %1 commands, two open terminal "
                                     "dialogs, %2 s")
                          .arg(sizes.idleItems)
                          .arg(sizes.idleSeconds));
        const qint64 cpu = idle.number(QStringLiteral("cpu_ns"));
        const qint64 wall = idle.number(QStringLiteral("wall_ns"));
        if (wall > 0) {
            table.row(QStringLiteral("CPU time used"),
                duration(cpu)
                    + QStringLiteral(" (%1 % of one core)").arg(cpu * 100.0 / wall, 0, 'f', 2));
            table.row(
                QStringLiteral("events delivered"), count(idle.number(QStringLiteral("events"))));
            table.row(QStringLiteral("peak memory (RSS)"),
                memory(idle.number(QStringLiteral("peak_rss_kib"))));
        }
    }

    if (wanted("startup-app")) {
        table.section(
            QStringLiteral("Start-up: %1 saved devices and %1 saved commands, median of %2")
                .arg(sizes.startupItems)
                .arg(sizes.startupRuns));
        const qint64 launch = median(startLaunch), empty = median(startEmpty);
        table.row(QStringLiteral("launch to main window shown and idle"), duration(launch),
            duration(empty), ratio(launch, empty));
        table.row(QStringLiteral("of which building the application object"),
            duration(median(startConstruct)));
        table.row(QStringLiteral("peak memory (RSS)"), memory(median(startPeak)));
    }
    table.print();

    if (quick && incomplete)
        problems << QStringLiteral("a short run did not receive everything");
    if (!problems.isEmpty()) {
        out() << "\nProblems:\n";
        for (const QString &p : problems)
            out() << "  " << p << '\n';
        out().flush();
        return 1;
    }
    return 0;
}
