#ifndef DEVICELOG_H
#define DEVICELOG_H

#include "data/logfile.h"

#include <QString>

class AppDevice;
class QObject;

// Opens the log file that `path` names for the device's port (it may hold %port%, %date% and
// %time%: see data/logpath.h) and logs the device's traffic to it from now on, each block as
// the history records it. The log belongs to `owner` and outlives the device. On failure returns
// nullptr with `*failure` set.
LogFile *logDeviceTraffic(AppDevice *device, const QString &path, LogFile::Format format,
    QObject *owner, QString *failure);

#endif // DEVICELOG_H
