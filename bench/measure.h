#ifndef MEASURE_H
#define MEASURE_H

#include <QByteArray>
#include <QHash>
#include <QProcessEnvironment>
#include <QStringList>
#include <QtGlobal>

#include <sys/types.h>

class QEvent;
class QObject;

namespace bench {

// Monotonic wall clock, comparable between processes of this machine.
qint64 wallNs();
// CPU time of this process, all threads, user and system.
qint64 cpuNs();
// Highest resident set size of this process so far.
qint64 peakRssKiB();
// Resident set size right now.
qint64 currentRssKiB();

// The environment of a measured child process: offscreen, with every per-user folder in `home`
// so it never touches the user's own saved items, and the number of seeded items.
QProcessEnvironment childEnvironment(const QString &home, int items);

// What a measured child reported: its "RESULT" values, and what went wrong.
struct Outcome
{
    QHash<QString, QString> values;
    QStringList problems;

    bool has(const QString &key) const { return values.contains(key); }
    qint64 number(const QString &key) const
    {
        return values.value(key, QStringLiteral("-1")).toLongLong();
    }
};

// Runs this executable again as "--child <scenario> <args...>" with a data folder of its own,
// seeded with `items` saved devices and commands, and collects its results; problems are told
// behind `label`. The one runner of both benchmarks.
Outcome runChild(const QString &scenario, const QStringList &args, int items, int timeoutSeconds,
    const QString &label);
// The same in a data folder (XDG_DATA_HOME) that the caller prepared.
Outcome runChildIn(const QString &home, const QString &scenario, const QStringList &args, int items,
    int timeoutSeconds, const QString &label);

// Reads the "RESULT key value" lines a measured child printed: "problem" lines go to `problems`
// behind `label` and ": ", every other key to `values`.
void readChildResults(const QByteArray &output, const QString &label,
    QHash<QString, QString> *values, QStringList *problems);

// Times every event the application delivers from the event loop. The longest single delivery
// is the longest the loop was unable to look at anything else, such as the operator's input.
struct EventClock
{
    int depth = 0;
    qint64 started = 0;
    qint64 longestNs = 0;
    qint64 events = 0;

    void reset()
    {
        longestNs = 0;
        events = 0;
    }
    void begin()
    {
        if (depth++ == 0)
            started = wallNs();
    }
    void end()
    {
        if (--depth == 0) {
            longestNs = qMax(longestNs, wallNs() - started);
            ++events;
        }
    }
};

EventClock &eventClock();

// An application class whose every event delivery is timed by eventClock().
template<class Base> class TimedApp : public Base
{
public:
    TimedApp(int &argc, char **argv)
        : Base(argc, argv)
    {
    }

    bool notify(QObject *receiver, QEvent *event) override
    {
        EventClock &clock = eventClock();
        clock.begin();
        const bool handled = Base::notify(receiver, event);
        clock.end();
        return handled;
    }
};

// A reproducible stream of pseudo-random bytes: the peer sends it, the checker compares what
// arrived against it, so a lost, doubled or reordered byte shows.
class ByteStream
{
public:
    explicit ByteStream(quint64 seed);
    void fill(char *out, qint64 count);

private:
    quint64 state;
    quint64 word = 0;
    int left = 0;
};

class StreamChecker
{
public:
    explicit StreamChecker(quint64 seed);
    // False from the first byte that differs from the stream on.
    bool feed(const QByteArray &bytes);
    bool ok() const { return mismatchAt < 0; }
    qint64 checked() const { return position; }
    qint64 firstMismatch() const { return mismatchAt; }

private:
    ByteStream expected;
    QByteArray scratch;
    qint64 position = 0;
    qint64 mismatchAt = -1;
};

// What the peer process writes into the pty: the stream, in blocks, either as fast as the pty
// takes them (interval 0) or one block every interval, catching up when it fell behind.
struct WriterPlan
{
    qint64 totalBytes = 0;
    int blockBytes = 4096;
    qint64 intervalNs = 0;
    quint64 seed = 1;
};

// The peer: a forked process that writes the plan into the pty's master side, so its work is
// not counted as ours. It dies with this process.
class PeerWriter
{
public:
    PeerWriter() = default;
    ~PeerWriter();
    PeerWriter(const PeerWriter &) = delete;
    PeerWriter &operator=(const PeerWriter &) = delete;

    bool start(int masterFd, const WriterPlan &plan);
    // True once the writer has ended, without waiting.
    bool finished();
    // Waits for the writer to end by itself. Its exit status; -1 when it was killed.
    int wait();
    // Stops the writer if it still runs and collects it. Its exit status; -1 when it was killed.
    int stop();
    qint64 startedNs() const { return started; }

private:
    pid_t pid = -1;
    bool collected = false;
    int status = -1;
    qint64 started = 0;
};

// Lets the event loop finish what is pending: posted events, layouts, paints.
void waitIdle();

} // namespace bench

#endif // MEASURE_H
