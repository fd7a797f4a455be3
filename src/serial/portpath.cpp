#include "serial/portpath.h"

#include <QFileInfo>
#include <QStandardPaths>

QString portMappingFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/ports");
}

QString resolvePortName(const QString &portName)
{
#ifdef Q_OS_WIN
    return portName;
#else
    // An empty or path-like name never selects a mapping entry outside the folder.
    if (portName.isEmpty() || portName.contains(QLatin1Char('/')) || portName == QLatin1String(".")
        || portName == QLatin1String(".."))
        return portName;
    const QString entry = portMappingFolder() + QLatin1Char('/') + portName;
    // A dangling mapping (adapter unplugged) is still used, so the open reports the missing
    // device instead of quietly trying another one.
    if (QFileInfo(entry).exists() || QFileInfo(entry).isSymLink())
        return entry;
    return portName;
#endif
}
