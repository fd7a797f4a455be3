#ifndef FILESENDER_H
#define FILESENDER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class AppDevice;

// Sends a file's raw bytes down an open device at the line's pace, in chunks read as they go.
// No more than QueueMs of line time is ever queued ahead of the line: neither by the line's own
// clock nor in the port's output buffer.
class FileSender : public QObject
{
    Q_OBJECT
public:
    // Hands a chunk to the line; false when the line did not take it.
    using Send = std::function<bool(const QByteArray &)>;
    static constexpr int QueueMs = 100;

    FileSender(AppDevice *device, Send send, QObject *parent);

    // False, with the reason in `error`, when the file cannot be opened.
    bool start(const QString &path, QString *error);
    bool isSending() const { return sending; }
    // Stops with a message saying why and how many bytes went out.
    void cancel();
    void lineLost();
    void portFailed(const QString &reason);

    qint64 sentBytes() const { return sent; }
    qint64 totalBytes() const { return total; }
    // The most ever waiting in the port's output buffer or ahead of the line's clock.
    qint64 queueLimit() const { return limit; }
    qint64 queuedPeak() const { return peak; }

signals:
    void progress(qint64 sent, qint64 total);
    // `text` is empty when the whole file went, else the one message for the operator.
    void finished(const QString &text);

private:
    Q_DISABLE_COPY(FileSender)

    void step();
    void stop(const QString &why);

    QPointer<AppDevice> device;
    Send send;
    QFile file;
    QTimer timer;
    QElapsedTimer clock;
    double byteNs = 0;
    // When, by the clock, the line will have carried everything handed to it.
    double lineFreeNs = 0;
    qint64 limit = 1;
    qint64 sent = 0;
    qint64 total = 0;
    qint64 peak = 0;
    bool sending = false;
};

#endif // FILESENDER_H
