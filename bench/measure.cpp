#include "measure.h"

#include "scenarios.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

qint64 clockNs(clockid_t id)
{
    timespec ts {};
    clock_gettime(id, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The writer runs in a forked copy of a threaded process: from here on only system calls and
// plain arithmetic, no allocation and no Qt.
bool writeAll(int fd, const char *bytes, qint64 count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, size_t(count));
        if (n > 0) {
            bytes += n;
            count -= n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd pfd { fd, POLLOUT, 0 };
            if (::poll(&pfd, 1, 1000) < 0 && errno != EINTR)
                return false;
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

[[noreturn]] void runWriter(int fd, const WriterPlan &plan, pid_t parent)
{
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(3);

    static char buffer[1 << 16];
    const qint64 chunk = sizeof buffer / plan.blockBytes * plan.blockBytes;
    ByteStream stream(plan.seed);
    qint64 sent = 0;

    if (plan.intervalNs <= 0) {
        while (sent < plan.totalBytes) {
            const qint64 n = qMin(chunk, plan.totalBytes - sent);
            stream.fill(buffer, n);
            if (!writeAll(fd, buffer, n))
                ::_exit(2);
            sent += n;
        }
        ::_exit(0);
    }

    const qint64 start = clockNs(CLOCK_MONOTONIC);
    while (sent < plan.totalBytes) {
        const qint64 now = clockNs(CLOCK_MONOTONIC);
        const qint64 dueBlocks = (now - start) / plan.intervalNs + 1;
        const qint64 dueBytes = qMin(dueBlocks * plan.blockBytes, plan.totalBytes);
        if (dueBytes <= sent) {
            const qint64 next = start + (sent / plan.blockBytes) * plan.intervalNs;
            timespec at { time_t(next / 1000000000), long(next % 1000000000) };
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            continue;
        }
        // Behind schedule (the pty was full, or we were not scheduled): send what is due.
        const qint64 n = qMin(chunk, dueBytes - sent);
        stream.fill(buffer, n);
        if (!writeAll(fd, buffer, n))
            ::_exit(2);
        sent += n;
    }
    ::_exit(0);
}

} // namespace

Outcome runChild(const QString &scenario, const QStringList &args, int items, int timeoutSeconds,
    const QString &label)
{
    Outcome outcome;
    QTemporaryDir home;
    if (!home.isValid()
        || !seedDataFolder(home.path() + QStringLiteral("/VerantisTerminal"), items, items)) {
        outcome.problems << QStringLiteral("%1: cannot prepare a data folder").arg(label);
        return outcome;
    }
    return runChildIn(home.path(), scenario, args, items, timeoutSeconds, label);
}

Outcome runChildIn(const QString &home, const QString &scenario, const QStringList &args, int items,
    int timeoutSeconds, const QString &label)
{
    Outcome outcome;
    QProcessEnvironment env = childEnvironment(home, items);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    env.insert(QStringLiteral("VT_BENCH_SPAWN_NS"), QString::number(wallNs()));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
        QStringList { QStringLiteral("--child"), scenario } + args);
    if (!child.waitForFinished(timeoutSeconds * 1000)) {
        outcome.problems
            << QStringLiteral("%1: no result within %2 s").arg(label).arg(timeoutSeconds);
        child.kill();
        child.waitForFinished(-1);
    } else if (child.exitStatus() != QProcess::NormalExit) {
        outcome.problems << QStringLiteral("%1: crashed").arg(label);
    } else if (child.exitCode() != 0) {
        outcome.problems << QStringLiteral("%1: exited with %2").arg(label).arg(child.exitCode());
    }
    readChildResults(child.readAllStandardOutput(), label, &outcome.values, &outcome.problems);
    return outcome;
}

QProcessEnvironment childEnvironment(const QString &home, int items)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    // The temporary folder is private to us, as a runtime folder must be.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("VT_BENCH_ITEMS"), QString::number(items));
    return env;
}

void readChildResults(const QByteArray &output, const QString &label,
    QHash<QString, QString> *values, QStringList *problems)
{
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray &line : lines) {
        if (!line.startsWith("RESULT "))
            continue;
        const QString text = QString::fromUtf8(line.mid(7));
        const int space = text.indexOf(QLatin1Char(' '));
        const QString key = text.left(space);
        const QString value = space < 0 ? QString() : text.mid(space + 1);
        if (key == QLatin1String("problem"))
            *problems << label + QStringLiteral(": ") + value;
        else
            values->insert(key, value);
    }
}

qint64 wallNs()
{
    return clockNs(CLOCK_MONOTONIC);
}

qint64 cpuNs()
{
    return clockNs(CLOCK_PROCESS_CPUTIME_ID);
}

qint64 peakRssKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

qint64 currentRssKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields.at(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

EventClock &eventClock()
{
    static EventClock clock;
    return clock;
}

ByteStream::ByteStream(quint64 seed)
    : state(seed ? seed : 0x9E3779B97F4A7C15ull)
{
}

void ByteStream::fill(char *out, qint64 count)
{
    for (qint64 i = 0; i < count; ++i) {
        if (left == 0) {
            // xorshift64*
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
            word = state * 0x2545F4914F6CDD1Dull;
            left = 8;
        }
        out[i] = char(word & 0xFF);
        word >>= 8;
        --left;
    }
}

StreamChecker::StreamChecker(quint64 seed)
    : expected(seed)
{
}

bool StreamChecker::feed(const QByteArray &bytes)
{
    if (!ok())
        return false;
    scratch.resize(bytes.size());
    expected.fill(scratch.data(), scratch.size());
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) != scratch.at(i)) {
            mismatchAt = position + i;
            return false;
        }
    }
    position += bytes.size();
    return true;
}

PeerWriter::~PeerWriter()
{
    stop();
}

bool PeerWriter::start(int masterFd, const WriterPlan &plan)
{
    if (pid > 0 || masterFd < 0 || plan.blockBytes <= 0 || plan.blockBytes > (1 << 16))
        return false;
    const pid_t parent = ::getpid();
    started = wallNs();
    pid = ::fork();
    if (pid == 0)
        runWriter(masterFd, plan, parent);
    return pid > 0;
}

bool PeerWriter::finished()
{
    if (pid <= 0 || collected)
        return true;
    int wstatus = 0;
    if (::waitpid(pid, &wstatus, WNOHANG) != pid)
        return false;
    collected = true;
    status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return true;
}

int PeerWriter::wait()
{
    if (pid <= 0)
        return -1;
    if (!collected) {
        int wstatus = 0;
        while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) { }
        collected = true;
        status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    return status;
}

int PeerWriter::stop()
{
    if (pid <= 0)
        return -1;
    if (!finished())
        ::kill(pid, SIGKILL);
    return wait();
}

void waitIdle()
{
    // A zero timer fires once the loop has nothing else to do; twice, so that work the first
    // round scheduled (a paint after a layout) is done too.
    for (int round = 0; round < 2; ++round) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace bench
