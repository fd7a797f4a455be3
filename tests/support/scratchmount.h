#ifndef SCRATCHMOUNT_H
#define SCRATCHMOUNT_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

// A small tmpfs mounted on a folder, for a disk that really fills up or really refuses writes.
// Mounting needs root; where the suite is not root (or may not mount), skipReason() says why
// and the test skips. Unmounted, lazily, when it goes.
class ScratchMount
{
public:
    ScratchMount(const QString &folder, const QByteArray &size)
        : m_folder(folder)
    {
        if (geteuid() != 0) {
            m_skipReason = "mounting a small file system needs root";
            return;
        }
        QDir().mkpath(folder);
        const QByteArray options = "size=" + size;
        if (mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData())
            != 0) {
            m_skipReason = QByteArray("mount failed: ") + QByteArray(std::strerror(errno));
            return;
        }
        m_mounted = true;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool isMounted() const { return m_mounted; }
    const char *skipReason() const { return m_skipReason.constData(); }

    // From now on nobody, root included, can write there.
    bool makeReadOnly()
    {
        return mount(nullptr, QFile::encodeName(m_folder).constData(), nullptr,
                   MS_REMOUNT | MS_RDONLY, nullptr)
            == 0;
    }

    // Fills the disk to the last block; returns the filler's path.
    QString fill()
    {
        const QString path = QDir(m_folder).filePath(QStringLiteral("filler"));
        QFile filler(path);
        if (filler.open(QIODevice::Append | QIODevice::Unbuffered)) {
            const QByteArray block(512, 'f');
            while (filler.write(block) == block.size()) { }
        }
        return path;
    }

private:
    QString m_folder;
    bool m_mounted = false;
    QByteArray m_skipReason;
};

// A folder whose contents, once prepared and locked, nobody can change: a read-only mount where
// the suite runs as root (root ignores file modes), file modes for everyone else.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder)
        : m_folder(folder)
    {
        QDir().mkpath(folder);
        if (geteuid() == 0)
            m_mount = std::make_unique<ScratchMount>(folder, "1m");
    }
    ~ReadOnlyFolder()
    {
        // Writable again, so the temporary folder around it can be removed.
        if (!m_mount)
            setModes(QFile::ReadOwner | QFile::WriteOwner,
                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    const char *skipReason() const
    {
        return m_mount && !m_mount->isMounted() ? m_mount->skipReason() : nullptr;
    }

    bool lock()
    {
        if (m_mount)
            return m_mount->makeReadOnly();
        setModes(QFile::ReadOwner, QFile::ReadOwner | QFile::ExeOwner);
        return true;
    }

private:
    void setModes(QFile::Permissions files, QFile::Permissions folder)
    {
        const QDir dir(m_folder);
        for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
            QFile::setPermissions(dir.filePath(name), files);
        QFile::setPermissions(m_folder, folder);
    }

    QString m_folder;
    std::unique_ptr<ScratchMount> m_mount;
};

#endif // SCRATCHMOUNT_H
