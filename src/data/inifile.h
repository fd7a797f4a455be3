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

// One INI file of the settings store, in the format QSettings reads and writes, with the part of
// QSettings' interface the store uses. It is read once through QSettings and kept in memory.
//
// It exists because QSettings writes a changed file back whole, rebuilding and escaping every
// entry, behind a lock file and two disk flushes: with ten thousand saved devices that took more
// than 150 ms for each row added, renamed or deleted. This keeps each entry's written line, so a
// write-back is one copy of the lines and one flush. Like QSettings, changes are written from the
// event loop, coalesced, and at the latest when the object goes.
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
    // Writes pending changes now. False when the file could not be written; the changes stay in
    // memory, and are tried again with the next write, unless discarded.
    bool sync();
    // Whether the last write went through QSettings rather than as one atomic copy of the lines.
    bool writtenByQSettings() const { return lastWriteByQSettings; }
    // Forgets the unwritten changes without reading the file: for an owner that has put the old
    // values back in memory after a failed write, so nothing writes them later.
    void discardChanges() { pending.clear(); }
    QString fileName() const { return path; }
    // The time all IniFile objects of the process spent writing files, for measuring.
    static qint64 writingNanoseconds();

    // The line QSettings writes for one entry of the [General] section, without the line end;
    // empty for a value it would not write as plain text (then QSettings writes the file).
    static QByteArray iniLine(const QString &key, const QVariant &value);

signals:
    // The file was read again because another writer had changed it: every key may differ.
    void reread();

private:
    Q_DISABLE_COPY(IniFile)

    enum class Write { Done, Failed, NotPlain };

    void load();
    void changed(const QString &key);
    // Writes the whole file from the kept lines; NotPlain when some entry needs QSettings.
    Write writeLines();
    // Reads the file back afterwards when it may hold more than the entries here.
    bool writeThroughQSettings(bool readBack);
    bool fileChangedElsewhere() const;
    void noteFileState();

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
    bool writeScheduled = false;
    bool lastWriteByQSettings = false;
    // The file as last read or written, to notice another writer.
    qint64 fileSize = -1;
    QDateTime fileTime;
};

#endif // INIFILE_H
