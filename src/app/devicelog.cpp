#include "app/devicelog.h"

#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "serial/appdevice.h"

#include <QDateTime>

namespace {

// As the terminal's history row of the same block.
void logBlock(
    LogFile *log, const AppDeviceData &line, const QString &direction, const QByteArray &bytes)
{
    const AppHistoryData record(
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")), direction,
        bytes, line.portName(), line.baudRate(), line.dataBits(), line.stopBits(), line.parity(),
        line.flowControl());
    log->appendRecord(record);
}

} // namespace

LogFile *logDeviceTraffic(AppDevice *device, const QString &path, LogFile::Format format,
    QObject *owner, QString *failure)
{
    auto *log = new LogFile(format, owner);
    if (!log->openPattern(path, device->deviceData()->portName())) {
        *failure = log->failure();
        delete log;
        return nullptr;
    }
    const AppDeviceData *line = device->deviceData();
    QObject::connect(device, &AppDevice::onDataFull, log, [log, line](const QByteArray &bytes) {
        logBlock(log, *line, QStringLiteral("Received"), bytes);
    });
    QObject::connect(device, &AppDevice::onDataWritten, log, [log, line](const QByteArray &bytes) {
        logBlock(log, *line, QStringLiteral("Sent"), bytes);
    });
    return log;
}
