#include "serial/filesender.h"

#include "data/appdevicedata.h"
#include "serial/appdevice.h"
#include "serial/linetime.h"

#include <QDir>

FileSender::FileSender(AppDevice *device, Send send, QObject *parent)
    : QObject(parent)
    , device(device)
    , send(std::move(send))
{
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &FileSender::step);
}

bool FileSender::start(const QString &path, QString *error)
{
    if (sending || !device)
        return false;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("Could not send %1: %2. No bytes went out.")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    // A pipe or a character device has no size to show progress against and may never end.
    if (file.isSequential()) {
        file.close();
        *error = tr("Could not send %1: it is not a regular file. No bytes went out.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    const AppDeviceData &record = *device->deviceData();
    byteNs = lineSecondsPerByte(record) * 1e9;
    limit = lineBytesIn(QueueMs, record);
    // Half the allowance at a time: few enough chunks for the log, and the port never runs dry
    // while the next one is read.
    timer.setInterval(int(qMax<qint64>(5, lineMilliseconds(qMax<qint64>(1, limit / 2), record))));
    sent = 0;
    peak = 0;
    total = file.size();
    sending = true;
    clock.start();
    lineFreeNs = 0;
    emit progress(sent, total);
    timer.start();
    step();
    return true;
}

void FileSender::cancel()
{
    stop(tr("Sending %1 was cancelled."));
}

void FileSender::lineLost()
{
    stop(tr("Sending %1 stopped: the line was lost."));
}

void FileSender::portFailed(const QString &reason)
{
    stop(tr("Sending %1 stopped: %2.").arg(QStringLiteral("%1"), reason));
}

void FileSender::step()
{
    if (!sending)
        return;
    if (!device || !device->isOpen()) {
        lineLost();
        return;
    }
    const double now = double(clock.nsecsElapsed());
    const qint64 ahead = lineFreeNs > now ? qint64((lineFreeNs - now) / byteNs) : 0;
    const qint64 queued = qMax(ahead, device->bytesToWrite());
    peak = qMax(peak, queued);
    const qint64 left = total - sent;
    const qint64 room = qMin(limit - queued, left);
    if (left > 0 && room < qMin(limit / 2, left))
        return;
    QByteArray chunk;
    if (left > 0) {
        chunk = file.read(room);
        if (chunk.size() != room) {
            stop(tr("Sending %1 stopped: the file could not be read (%2).")
                     .arg(QStringLiteral("%1"),
                         chunk.isNull() || file.error() != QFileDevice::NoError
                             ? file.errorString()
                             : tr("it ended early")));
            return;
        }
        if (!send(chunk)) {
            stop(tr("Sending %1 stopped: the port did not take the bytes."));
            return;
        }
        // The chunk may have stopped us (a lost line found while writing).
        if (!sending)
            return;
        sent += chunk.size();
        lineFreeNs = qMax(lineFreeNs, now) + double(chunk.size()) * byteNs;
        peak = qMax(peak, qMax(qint64((lineFreeNs - now) / byteNs), device->bytesToWrite()));
        emit progress(sent, total);
    }
    if (sent >= total) {
        sending = false;
        timer.stop();
        file.close();
        emit finished(QString());
    }
}

void FileSender::stop(const QString &why)
{
    if (!sending)
        return;
    sending = false;
    timer.stop();
    const QString name = QDir::toNativeSeparators(file.fileName());
    file.close();
    emit finished(
        why.arg(name) + QLatin1Char(' ') + tr("%L1 of %L2 bytes went out.").arg(sent).arg(total));
}
