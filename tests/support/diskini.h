#ifndef DISKINI_H
#define DISKINI_H

#include "app/verantisterminalapp.h"
#include "data/appsettingsmanager.h"
#include "util/qtcompat.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// The store's INI files as the disk holds them. Read from a copy: QSettings shares what it has
// in memory between objects on the same path, so reading the file itself could answer from the
// running store instead of from the disk.
inline QString diskCopy(const QTemporaryDir &copyDir, const QString &file)
{
    const QString copy = copyDir.filePath(file);
    const QString folder = VerantisTerminalApp::app()->settingsManager()->dataFolder();
    return QFile::copy(folder + file, copy) ? copy : QString();
}

inline QVariant diskValue(const QString &file, const QString &key)
{
    QTemporaryDir copyDir;
    const QString copy = diskCopy(copyDir, file);
    if (copy.isEmpty())
        return QStringLiteral("<no file>");
    QSettings settings(copy, QSettings::IniFormat);
    QtCompat::useUtf8Ini(settings);
    return settings.value(key, QStringLiteral("<missing>"));
}

// Sorted, so a comparison does not depend on the order of lines in the file.
inline QStringList diskKeys(const QString &file)
{
    QTemporaryDir copyDir;
    const QString copy = diskCopy(copyDir, file);
    if (copy.isEmpty())
        return { QStringLiteral("<no file>") };
    QSettings settings(copy, QSettings::IniFormat);
    QtCompat::useUtf8Ini(settings);
    QStringList keys = settings.allKeys();
    keys.sort();
    return keys;
}

#endif // DISKINI_H
