#include "util/diskfailure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AppSettingsManager", text);
}

// The nearest folder of the path that exists: the data folder is made only by the first write.
QString existingFolder(const QString &path)
{
    QDir dir = QFileInfo(path).absoluteDir();
    while (!dir.exists() && !dir.isRoot()) {
        if (!dir.cdUp())
            break;
    }
    return dir.absolutePath();
}

} // namespace

namespace DiskFailure {

QString reason(const QString &path, qint64 needed)
{
    const QFileInfo info(path);
    if (info.isDir())
        return tr("a folder of that name is in its place");
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return tr("its folder does not exist and could not be made");
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly())
        return tr("the disk is read-only");
    if (info.exists() && !info.isWritable())
        return tr("the file is read-only");
    if (!folder.isWritable())
        return tr("the folder is read-only");
    if (storage.isValid() && storage.bytesAvailable() < needed)
        return tr("the disk is full");
    return tr("the system refused to write it");
}

bool roomFor(const QString &path, qint64 needed)
{
    const QStorageInfo storage(existingFolder(path));
    return !storage.isValid() || storage.bytesAvailable() < 0 || storage.bytesAvailable() >= needed;
}

} // namespace DiskFailure
