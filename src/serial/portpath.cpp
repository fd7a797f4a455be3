#include "serial/portpath.h"

#include "serial/portlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

#ifndef Q_OS_WIN
namespace {

// A path as it can be typed into a shell: the home folder as ~, and quoted where needed.
QString shellPath(const QString &path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]*$"));
    if (!plain.match(path).hasMatch())
        return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''"))
            + QLatin1Char('\'');
    const QString home = QDir::homePath();
    if (home.size() > 1 && path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

} // namespace
#endif

QString openFailureText(const QString &portName, const QString &location, const QString &reason)
{
    QString path = QDir::toNativeSeparators(location);
    const QFileInfo link(location);
    if (link.isSymLink())
        path += QStringLiteral(" \u2192 ") + link.symLinkTarget();
    QString text = QCoreApplication::translate("AppDevice", "Could not open %1 (%2): %3")
                       .arg(portName, path, reason);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
#ifndef Q_OS_WIN
    static const QRegularExpression comName(QStringLiteral("^COM[0-9]+$"));
    // Only a COM name that nothing provides: no mapping entry and no device node of that name.
    if (!comName.match(portName).hasMatch() || location.startsWith(portMappingFolder())
        || QFileInfo::exists(location) || link.isSymLink())
        return text;
    const QStringList found = foundPortNames(foundPorts());
    const QString folder = shellPath(portMappingFolder());
    const QString example = found.isEmpty() ? QStringLiteral("/dev/ttyUSB0")
                                            : QStringLiteral("/dev/") + found.first();
    text += QLatin1String("\n\n")
        + QCoreApplication::translate("AppDevice",
            "On Linux a COM name opens the device it is linked to in %1:\n\n"
            "    mkdir -p %1\n    ln -s %2 %1/%3\n\n"
            "Or pick the port itself from the list.")
              .arg(folder, example, portName);
    text += QLatin1Char(' ')
        + (found.isEmpty() ? QCoreApplication::translate("AppDevice", "No serial ports were found.")
                           : QCoreApplication::translate("AppDevice", "Ports found: %1.")
                                 .arg(found.join(QStringLiteral(", "))));
#endif
    return text;
}
