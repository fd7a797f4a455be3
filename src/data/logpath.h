#ifndef LOGPATH_H
#define LOGPATH_H

#include <QDateTime>
#include <QString>

// The file a log path names at `when`: "%date%" becomes yyyy-MM-dd, "%time%" hhmmss and "%port%"
// the port's name, made safe for a file name ("/dev/ttyUSB0" gives "dev_ttyUSB0").
QString expandLogPath(const QString &pattern, const QString &portName, const QDateTime &when);

// True when the path names a new file each day.
bool logPathIsDaily(const QString &pattern);

#endif // LOGPATH_H
