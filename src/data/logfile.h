#ifndef LOGFILE_H
#define LOGFILE_H

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class AppHistoryData;

// A log file that is written while traffic flows: history records as lines (data/logline.h) or
// raw received bytes, appended to whatever the file holds already. What arrives within a frame
// is written together, so a reader following the file sees it within 100 ms, and every write
// holds whole lines, so a killed program leaves no torn line behind. The first failure is
// reported once, with the file and the reason, and the log stops there.
class LogFile : public QObject
{
    Q_OBJECT
public:
    enum class Format {
        Lines, // one line per record, as Save History writes them
        Raw, // the received bytes alone, as they came
    };

    explicit LogFile(Format format, QObject *parent = nullptr);
    ~LogFile() override;

    // Opens the file for appending, creating it. On failure returns false with failure() set.
    bool open(const QString &path);
    // Opens the file that `pattern` names now (data/logpath.h). With %date% in it the log goes on
    // in a new file from each midnight on; a failure to open that one is reported as any other.
    bool openPattern(const QString &pattern, const QString &portName);
    // The time in milliseconds since the epoch, which decides the file's date; the system clock
    // unless set otherwise.
    using Clock = std::function<qint64()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }
    QString path() const { return file.fileName(); }
    Format format() const { return m_format; }
    bool isOpen() const { return file.isOpen(); }
    QString failure() const { return m_failure; }

    // A record: its line in the Lines format, its bytes in the Raw format if it was received.
    void appendRecord(const AppHistoryData &record);
    // A line of its own (a marker such as a line opening or closing), in the Lines format only.
    void appendLine(const QByteArray &line);

    // Writes what waits now, instead of at the end of the frame.
    bool flush();
    // Writes what waits and closes the file.
    void close();

    // "Could not write the log file <path>: <reason>."
    static QString failureText(const QString &path, const QString &reason);

signals:
    // Sent once, at the first failure; nothing is written after it.
    void failed(const QString &text);

private:
    Q_DISABLE_COPY(LogFile)

    void queue(const QByteArray &bytes);
    void fail(const QString &reason);
    bool openFile(const QString &path);
    bool openNamed(qint64 now);
    void startNextFile(qint64 now);

    Format m_format;
    QFile file;
    QByteArray pending;
    QTimer frame;
    QString m_failure;
    QString m_pattern;
    QString m_portName;
    Clock m_clock;
    // When the next day's file starts; never for a fixed name.
    qint64 m_nextFile;
};

#endif // LOGFILE_H
