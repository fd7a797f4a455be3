#ifndef REPEATSENDER_H
#define REPEATSENDER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Sends one block on a fixed schedule: the nth send is due at start + n × interval, so late
// timers never make it drift. Sends a stall delayed are made up once each, never back to back.
class RepeatSender : public QObject
{
    Q_OBJECT
public:
    // The most missed slots made up after a stall.
    static constexpr qint64 MaxBehind = 50;

    // Hands a block to the line; false when the line did not take it.
    using Send = std::function<bool(const QByteArray &)>;

    RepeatSender(Send send, QObject *parent);

    // The first send goes at once. A count of 0 repeats until stopped.
    void start(const QByteArray &bytes, int intervalMs, int count);
    // Quietly; stopped() follows only if it was running.
    void stop();
    bool isRunning() const { return running; }
    int sentCount() const { return sent; }

signals:
    void sentCountChanged(int count);
    // The count was reached, it was stopped, or the line refused a block (`refused` true).
    void stopped(bool refused);

private:
    Q_DISABLE_COPY(RepeatSender)

    void sendDue();
    void finish(bool refused);

    Send send;
    QTimer timer;
    QElapsedTimer clock;
    QByteArray block;
    qint64 intervalNs = 0;
    int limit = 0;
    int sent = 0;
    // The slot the next send belongs to.
    qint64 slot = 0;
    bool running = false;
};

#endif // REPEATSENDER_H
