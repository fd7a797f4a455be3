#include "data/inifile.h"

#include "data/inisyntax.h"
#include "util/diskfailure.h"
#include "util/qtcompat.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
const char lineEnd[] = "\r\n";
#else
const char lineEnd[] = "\n";
#endif

// As long as QSettings waits for its own lock before it reports the file as not writable.
const int lockWaitMs = 10000;
const int staleLockMs = 2000;
const int emptyLockMs = 100;

// QSettings::remove() also takes every key under "key/"; names read from a hand-edited file can
// be such group paths ("Lab" and "Lab/Cam"), and one item must never take another along.
void removeExactly(QSettings &settings, const QString &key)
{
    settings.beginGroup(key);
    const QStringList below = settings.allKeys();
    QVariantList values;
    values.reserve(below.size());
    for (const QString &child : below)
        values.append(settings.value(child));
    settings.endGroup();
    settings.remove(key);
    for (int i = 0; i < below.size(); ++i)
        settings.setValue(key + QLatin1Char('/') + below.at(i), values.at(i));
}

// A file QSettings wrote holds one line per key and ends with a line end; a write torn by a
// full disk (which Qt 5's QSaveFile can let pass) does neither.
bool fileIsWhole(const QByteArray &data, int keyCount)
{
    if (!data.isEmpty() && !data.endsWith('\n'))
        return false;
    return IniSyntax::read(data).size() == keyCount;
}

// Where private copies go: in memory where the system has such a folder, as QSettings syncs
// the copies it writes to the disk too.
QString privateFolderTemplate()
{
#ifdef Q_OS_LINUX
    const QString shm = QStringLiteral("/dev/shm");
    if (QFileInfo(shm).isWritable())
        return shm + QStringLiteral("/vt-ini-XXXXXX");
#endif
    return QDir::tempPath() + QStringLiteral("/vt-ini-XXXXXX");
}

} // namespace

IniFile::IniFile(const QString &path)
    : path(path)
{
    // What the file held before it was read: a write in between is seen as another writer's.
    const FileState before = stateOf(path);
    // Read from a copy under a new name: QSettings keeps files it read in memory and notices
    // another writer only by size and time to the millisecond.
    QTemporaryDir folder(privateFolderTemplate());
    const QString copy = folder.filePath(QFileInfo(path).fileName());
    load(folder.isValid() && QFile::copy(path, copy) ? copy : path);
    fileState = before;
}

IniFile::~IniFile()
{
    sync();
}

QString IniFile::matchKey(const QString &key)
{
#ifdef Q_OS_WIN
    return key.toLower();
#else
    return key;
#endif
}

IniFile::FileState IniFile::stateOf(const QString &path)
{
    FileState state;
    const QFileInfo info(path);
    if (!info.exists())
        return state;
    state.size = info.size();
    state.time = info.lastModified();
    // Clocks are coarse and inodes are reused: two writers can leave the same size, times and
    // inode behind. What the file holds tells them apart.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(&file);
        state.digest = hash.result();
    }
#ifndef Q_OS_WIN
    // Two writes within the clock's resolution can leave the same size and time; the file that
    // replaced another is a new one all the same.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        state.id = quint64(st.st_ino) ^ (quint64(st.st_ctim.tv_nsec) << 20)
            ^ quint64(st.st_mtim.tv_nsec);
#endif
    return state;
}

void IniFile::load(const QString &from)
{
    entries.clear();
    rawKeys.clear();
    {
        QSettings settings(from, QSettings::IniFormat);
        QtCompat::useUtf8Ini(settings);
        const QStringList keys = settings.allKeys();
        for (const QString &key : keys)
            entries.insert(
                entries.cend(), matchKey(key), Entry { key, settings.value(key), QByteArray() });
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Keys someone wrote as raw UTF-8 read as meant; nothing is written until the next change.
    QFile file(from);
    if (file.open(QIODevice::ReadOnly)) {
        for (const auto &key : IniSyntax::rawUtf8Keys(file.readAll())) {
            const auto found = entries.find(matchKey(key.first));
            if (found == entries.end())
                continue;
            const QVariant value = found->value;
            entries.erase(found);
            entries.insert(matchKey(key.second), Entry { key.second, value, QByteArray() });
            rawKeys.append(key);
        }
    }
#endif
    fileState = stateOf(path);
}

QStringList IniFile::allKeys() const
{
    QStringList keys;
    keys.reserve(entries.size());
    for (const Entry &entry : entries)
        keys.append(entry.key);
#ifdef Q_OS_WIN
    keys.sort();
#endif
    return keys;
}

bool IniFile::contains(const QString &key) const
{
    return entries.contains(matchKey(key));
}

QVariant IniFile::value(const QString &key, const QVariant &defaultValue) const
{
    const auto found = entries.constFind(matchKey(key));
    return found == entries.cend() ? defaultValue : found->value;
}

void IniFile::setValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return;
    const QString match = matchKey(key);
    entries.insert(match, Entry { key, value, QByteArray() });
    changed(match);
}

void IniFile::remove(const QString &key)
{
    // An empty key would mean every key to QSettings; nothing here removes everything.
    const QString match = matchKey(key);
    if (key.isEmpty() || !entries.remove(match))
        return;
    changed(match);
}

void IniFile::changed(const QString &key)
{
    pending.insert(key);
    if (writeScheduled)
        return;
    writeScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            writeScheduled = false;
            sync();
        },
        Qt::QueuedConnection);
}

void IniFile::apply(const Changes &changes)
{
    for (const Change &change : changes) {
        if (change.value.isValid())
            setValue(change.key, change.value);
        else
            remove(change.key);
    }
}

QString IniFile::commit(const Changes &changes, Changes *undo)
{
    // Room for a whole new copy, written before it replaces the old one. Escaped text takes at
    // most six bytes per character; the margin covers block rounding.
    qint64 changedChars = 0;
    for (const Change &change : changes)
        changedChars += change.key.size() + change.value.toString().size()
            + change.value.toByteArray().size();
    const qint64 needed = QFileInfo(path).size() + changedChars * 6 + 16 * 1024;
    if (!DiskFailure::roomFor(path, needed))
        return QCoreApplication::translate("AppSettingsManager", "the disk is full");

    Changes before;
    before.reserve(changes.size());
    for (const Change &change : changes)
        before.append({ change.key, contains(change.key) ? value(change.key) : QVariant() });
    apply(changes);
    lockTimedOut = false;
    const bool written = sync();
    if (written) {
        if (undo)
            *undo = before;
        return QString();
    }
    const QString reason = lockTimedOut
        ? QCoreApplication::translate("AppSettingsManager", "another program kept it locked")
        : DiskFailure::reason(path, needed);
    // The file on disk is as it was; so is memory, and nothing of the change is written later.
    apply(before);
    discardChanges();
    return reason;
}

bool IniFile::sync()
{
    if (pending.isEmpty())
        return true;
    QByteArray text;
    const bool ok = writeLocked(linesText(text) ? &text : nullptr);
    // What failed is written again with the next change, or when the file object goes, unless
    // the owner has taken it back.
    if (ok) {
        pending.clear();
        rawKeys.clear();
    }
    return ok;
}

bool IniFile::linesText(QByteArray &text)
{
    text.reserve(int(qMin<qint64>(fileState.size + 4096, 1 << 30)));
    if (!entries.isEmpty()) {
        text += "[General]";
        text += lineEnd;
    }
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->line.isEmpty()) {
            it->line = IniSyntax::line(it->key, it->value);
            if (it->line.isEmpty())
                return false;
        }
        text += it->line;
        text += lineEnd;
    }
    return true;
}

bool IniFile::writeLocked(const QByteArray *text)
{
    // The folder appears with the first file written into it.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString lockPath = path + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    // Writes here take milliseconds; a lock held for seconds is left by a writer that died.
    lock.setStaleLockTime(staleLockMs);
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(50)) {
        // A writer killed while it made its lock file leaves it empty, which QLockFile (and so
        // QSettings) waits out; one that lived writes its process into it at once.
        const QFileInfo info(lockPath);
        if (info.exists() && info.size() == 0
            && info.lastModified().msecsTo(QDateTime::currentDateTime()) > emptyLockMs)
            QFile::remove(lockPath);
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() > lockWaitMs)
            break;
    }
    if (!lock.isLocked()) {
        lockTimedOut = lock.error() == QLockFile::LockFailedError;
        return false;
    }
    const bool elsewhere = stateOf(path) != fileState;
    lastWriteByQSettings = elsewhere || !text;
    const bool written
        = lastWriteByQSettings ? writeThroughQSettings(elsewhere) : replaceWhole(path, *text);
    fileState = stateOf(path);
    return written;
}

bool IniFile::replaceWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    bool written = file.write(bytes) == bytes.size() && file.flush();
#ifndef Q_OS_WIN
    // QSaveFile ignores a failed sync; a copy that may not be on the disk must not replace one
    // that is.
    written = written && ::fsync(file.handle()) == 0;
#endif
    // A buffered write can fail unseen by commit (Qt 5): the size read back tells.
    return written && file.commit() && QFileInfo(path).size() == bytes.size();
}

// QSettings writes a copy of the file, merged with what the disk holds, which then replaces the
// file like any other write. A copy under a new name each time: QSettings keeps files it read in
// memory and notices another writer only by size and time to the millisecond.
bool IniFile::writeThroughQSettings(bool readBack)
{
    QTemporaryDir folder(privateFolderTemplate());
    const QString copy = folder.filePath(QFileInfo(path).fileName());
    if (!folder.isValid() || (QFileInfo::exists(path) && !QFile::copy(path, copy)))
        return false;
    bool ok = false;
    int keyCount = 0;
    {
        QSettings settings(copy, QSettings::IniFormat);
        QtCompat::useUtf8Ini(settings);
        for (const auto &key : qAsConst(rawKeys)) {
            removeExactly(settings, key.first);
            if (entries.contains(matchKey(key.second)))
                settings.setValue(key.second, entries.value(matchKey(key.second)).value);
        }
        // Removals first: where keys match without regard to case, a rename only in case removes
        // the old key and sets the new one, which must win.
        for (const QString &key : qAsConst(pending)) {
            if (!entries.contains(key))
                removeExactly(settings, key);
        }
        for (const QString &key : qAsConst(pending)) {
            const auto found = entries.constFind(key);
            if (found != entries.cend())
                settings.setValue(found->key, found->value);
        }
        settings.sync();
        ok = settings.status() == QSettings::NoError;
        keyCount = settings.allKeys().size();
    }
    QFile merged(copy);
    if (!ok || !merged.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = merged.readAll();
    if (!fileIsWhole(bytes, keyCount) || !replaceWhole(path, bytes))
        return false;
    if (readBack) {
        load(copy);
        emit reread();
    }
    return true;
}
