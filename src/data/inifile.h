#ifndef INIFILE_H
#define INIFILE_H

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// One INI file of the settings store, in the format QSettings reads and writes, with the part of
// QSettings' interface the store uses. It is read once through QSettings and kept in memory.
//
// It exists because QSettings writes a changed file back whole, rebuilding and escaping every
// entry, behind a lock file and two disk flushes: with ten thousand saved devices that took more
// than 150 ms for each row added, renamed or deleted. This keeps each entry's written line, so a
// write-back is one copy of the lines and one flush. Like QSettings, changes are written from the
// event loop, coalesced, and at the latest when the object goes.
//
// Its own writes go under the lock file QSettings takes around its writes, so neither a
// second copy of the program nor a QSettings writer can slip a change in between the check for
// another writer and the replacement of the file.
//
// Whenever it cannot be sure to write exactly what QSettings would (a hand-edited file with
// groups or value types of its own, another process having changed the file), it hands the
// write to QSettings instead.
class IniFile : public QObject
{
    Q_OBJECT
public:
    explicit IniFile(const QString &path);
    ~IniFile() override;

    // Sorted, as QSettings::allKeys() gives them.
    QStringList allKeys() const;
    bool contains(const QString &key) const;
    QVariant value(const QString &key, const QVariant &defaultValue = QVariant()) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // One key and the value it is to take; an invalid value removes that key alone.
    struct Change
    {
        QString key;
        QVariant value;
    };
    using Changes = QVector<Change>;

    // Applies the changes and writes the file, whole or not at all. Returns an empty string when
    // they reached the disk, and `undo` receives what puts the keys back. Otherwise returns the
    // reason, for the operator, and the file keeps what it had: in memory, and on disk as far as
    // the disk lets it.
    QString commit(const Changes &changes, Changes *undo = nullptr);

    // Replaces the file at `path` with `bytes` through a copy that reaches the disk before it
    // takes the file's place; false, with the old file in place, for any short or failed write.
    static bool replaceWhole(const QString &path, const QByteArray &bytes);

    // Writes pending changes now. False when the file could not be written; the changes stay in
    // memory, and are tried again with the next write, unless discarded.
    bool sync();
    // Whether the last write went through QSettings rather than as one atomic copy of the lines.
    bool writtenByQSettings() const { return lastWriteByQSettings; }
    // Forgets the unwritten changes without reading the file: for an owner that has put the old
    // values back in memory after a failed write, so nothing writes them later.
    void discardChanges() { pending.clear(); }
    QString fileName() const { return path; }

signals:
    // The file was read again because another writer had changed it: every key may differ.
    void reread();

private:
    Q_DISABLE_COPY(IniFile)

    void load(const QString &from);
    void changed(const QString &key);
    void apply(const Changes &changes);
    // The whole file from the kept lines; false when some entry needs QSettings.
    bool linesText(QByteArray &text);
    // Writes under the lock QSettings also takes: the text, unless another writer changed the
    // file since it was last read or written here or there is no text; then QSettings merges.
    bool writeLocked(const QByteArray *text);
    // Reads the result back when it may hold more than the entries here.
    bool writeThroughQSettings(bool readBack);

    struct Entry
    {
        // As given: on Windows QSettings matches INI keys without regard to case, and so do the
        // keys of the map below, but it writes and lists them as given.
        QString key;
        QVariant value;
        // The written line, made when first needed.
        QByteArray line;
    };

    static QString matchKey(const QString &key);

    QString path;
    QMap<QString, Entry> entries;
    // Keys (as matched) set or removed since the last write.
    QSet<QString> pending;
    // Keys that Qt 5 read from raw UTF-8 as Latin-1, with the keys they were meant as (which
    // the entries hold): the next write puts them right.
    QVector<QPair<QString, QString>> rawKeys;
    bool writeScheduled = false;
    bool lastWriteByQSettings = false;
    bool lockTimedOut = false;
    // The file as last read or written, to notice another writer: a replaced file is a new one.
    struct FileState
    {
        qint64 size = -1;
        QDateTime time;
        quint64 id = 0;
        QByteArray digest;
        bool operator!=(const FileState &other) const
        {
            return size != other.size || time != other.time || id != other.id
                || digest != other.digest;
        }
    };
    static FileState stateOf(const QString &path);
    FileState fileState;
};

#endif // INIFILE_H
