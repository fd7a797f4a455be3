#include "data/logfile.h"

#include "data/apphistorydata.h"
#include "data/logline.h"

#include <QDir>

namespace {

// A frame of the window's refresh: what arrives within it is one write.
constexpr int frameMs = 40;

} // namespace

LogFile::LogFile(Format format, QObject *parent)
    : QObject(parent)
    , m_format(format)
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
    file.setFileName(path);
    // Unbuffered: each flush is one write() of whole lines, which a kill cannot tear.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_failure = failureText(path, file.errorString());
        return false;
    }
    return true;
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
