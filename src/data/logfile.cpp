#include "data/logfile.h"

#include "data/apphistorydata.h"
#include "data/logline.h"
#include "data/logpath.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <limits>

namespace {

// A frame of the window's refresh: what arrives within it is one write.
constexpr int frameMs = 40;
constexpr qint64 never = std::numeric_limits<qint64>::max();

} // namespace

LogFile::LogFile(Format format, QObject *parent)
    : QObject(parent)
    , m_format(format)
    , m_clock(&QDateTime::currentMSecsSinceEpoch)
    , m_nextFile(never)
{
    frame.setSingleShot(true);
    frame.setInterval(frameMs);
    connect(&frame, &QTimer::timeout, this, &LogFile::flush);
}

LogFile::~LogFile()
{
    close();
}

bool LogFile::open(const QString &path)
{
    close();
    m_failure.clear();
    m_nextFile = never;
    if (!openFile(path)) {
        m_failure = failureText(path, file.errorString());
        return false;
    }
    return true;
}

bool LogFile::openPattern(const QString &pattern, const QString &portName)
{
    close();
    m_failure.clear();
    m_pattern = pattern;
    m_portName = portName;
    if (!openNamed(m_clock())) {
        m_failure = failureText(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

bool LogFile::openFile(const QString &path)
{
    file.setFileName(path);
    // A folder named by the date ("logs/%date%/bench.log") is made as the day starts; where it
    // cannot be made, opening the file says why.
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Unbuffered: each flush is one write() of whole lines, which a kill cannot tear.
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

bool LogFile::openNamed(qint64 now)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(now);
    m_nextFile = logPathIsDaily(m_pattern) ? when.date().addDays(1).startOfDay().toMSecsSinceEpoch()
                                           : never;
    return openFile(expandLogPath(m_pattern, m_portName, when));
}

void LogFile::startNextFile(qint64 now)
{
    // What came before midnight belongs to the day that ends.
    if (!flush())
        return;
    file.close();
    if (!openNamed(now))
        fail(file.errorString());
}

void LogFile::appendRecord(const AppHistoryData &record)
{
    if (m_format == Format::Raw) {
        if (record.direction() == QLatin1String("Received"))
            queue(record.bytes());
        return;
    }
    QByteArray line;
    appendLogLine(line, record);
    line += '\n';
    queue(line);
}

void LogFile::appendLine(const QByteArray &line)
{
    if (m_format == Format::Lines)
        queue(line + '\n');
}

void LogFile::queue(const QByteArray &bytes)
{
    if (!file.isOpen() || bytes.isEmpty())
        return;
    if (m_nextFile != never) {
        const qint64 now = m_clock();
        if (now >= m_nextFile) {
            startNextFile(now);
            if (!file.isOpen())
                return;
        }
    }
    pending += bytes;
    if (!frame.isActive())
        frame.start();
}

bool LogFile::flush()
{
    frame.stop();
    if (!file.isOpen())
        return m_failure.isEmpty();
    if (pending.isEmpty())
        return true;
    const qint64 before = file.isSequential() ? -1 : file.size();
    const qint64 written = file.write(pending);
    if (written != pending.size()) {
        const QString reason = written < 0 || file.error() != QFileDevice::NoError
            ? file.errorString()
            : tr("Only part of the data could be written");
        // Cut back a torn write, so the file ends with a whole line.
        if (before >= 0)
            file.resize(before);
        fail(reason);
        return false;
    }
    pending.clear();
    return true;
}

void LogFile::close()
{
    if (!file.isOpen())
        return;
    flush();
    file.close();
}

QString LogFile::failureText(const QString &path, const QString &reason)
{
    QString text
        = tr("Could not write the log file %1: %2").arg(QDir::toNativeSeparators(path), reason);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

void LogFile::fail(const QString &reason)
{
    pending.clear();
    file.close();
    m_failure = failureText(file.fileName(), reason);
    emit failed(m_failure);
}
