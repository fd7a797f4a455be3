#include "data/logpath.h"

#include <QRegularExpression>

QString expandLogPath(const QString &pattern, const QString &portName, const QDateTime &when)
{
    QString name = portName;
    // A port given as a path must not make the log a path of its own.
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:]+"));
    static const QRegularExpression leading(QStringLiteral("^_+"));
    name.replace(unsafe, QStringLiteral("_"));
    name.remove(leading);
    return QString(pattern)
        .replace(QLatin1String("%date%"), when.toString(QStringLiteral("yyyy-MM-dd")))
        .replace(QLatin1String("%time%"), when.toString(QStringLiteral("hhmmss")))
        .replace(QLatin1String("%port%"), name);
}

bool logPathIsDaily(const QString &pattern)
{
    return pattern.contains(QLatin1String("%date%"));
}
