#ifndef CAPTURESTORE_H
#define CAPTURESTORE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class AppHistoryData;
class AppTableData;
class QLockFile;
struct sqlite3;
struct sqlite3_stmt;

// Every history record of this run, on disk as it arrives, so that memory stays flat and a crash
// loses at most the last frame. One SQLite file per run in the data folder ("capture-*.sqlite"),
// made at the first record and removed at a clean exit. Rows are numbered from 1 in arrival
// order; Clear History only moves the history's start, since the terminals still scroll back
// through their own rows. Where no file can be kept the rows live in memory, as they used to.
// The one writer of the capture; views read through it.
class CaptureStore : public QObject
{
    Q_OBJECT
public:
    explicit CaptureStore(QString folder, QObject *parent = nullptr);
    ~CaptureStore() override;

    // One row of a terminal's log.
    struct LogRow
    {
        enum Kind { Received, Sent, Event };
        qint64 id;
        Kind kind;
        QByteArray bytes;
        // When it was logged: "dd.MM.yyyy hh:mm:ss.zzz".
        QString time;
    };

    // Below this much free space on the disk of the store (or 1 % of the disk, if less) new rows
    // are kept in memory only.
    static constexpr qint64 FreeSpaceFloor = 500LL * 1024 * 1024;

    // Takes the rows of stores left by runs that ended without a clean exit, oldest run first,
    // and says so (notice()); the old files go once their rows are safe in this one.
    void recoverLeftovers();
    // Writes the records in one transaction, in order; the first gets lastId() + 1. A record's
    // terminal is AppHistoryData::terminal().
    void append(const QList<AppTableData *> &records);

    qint64 lastId() const { return last; }
    // The history is the rows after historyStart(), up to lastId().
    qint64 historyStart() const { return cleared; }
    qint64 historyCount() const { return last - cleared; }
    void clearHistory();
    // History rows from position `first` (0 = the oldest shown), at most `count` of them, as new
    // records the caller owns.
    QList<AppTableData *> historyRows(qint64 first, int count);
    // Hands every history row in [first, end) to `row`, oldest first, reading in bounded pieces;
    // stops early when `row` returns false. False if stopped or a read failed.
    bool forEachHistoryRow(
        qint64 first, qint64 end, const std::function<bool(const AppHistoryData &)> &row);

    // A terminal's rows with ids in (after, before), at most `limit`: the oldest of them, or the
    // newest when `newest` is set; either way in ascending order.
    QVector<LogRow> terminalRows(int terminal, qint64 after, qint64 before, int limit, bool newest);
    // The number of the terminal's rows and of their bytes after the id.
    void terminalSize(int terminal, qint64 after, qint64 *rows, qint64 *bytes);

    // Finding and filtering the history.
    // The ports of the history's rows, in the order first seen.
    QStringList historyPorts();
    // The history position of the last row before `position` on `port` with that direction, or
    // -1; *time gets its time stamp.
    qint64 previousHistoryRow(
        qint64 position, const QString &port, const QString &direction, QString *time);

    // Where the rows are kept: the file, or empty while in memory.
    QString path() const;
    bool onDisk() const { return spillFrom < 0 && !fileName.isEmpty(); }
    // Removes the file of this run; the history has always lived for one run.
    void removeFile();

    // A run's store: "capture-<start>-<pid>.sqlite".
    static QStringList storesIn(const QString &folder);

signals:
    // Something the operator must be told, once.
    void notice(const QString &text);

private:
    Q_DISABLE_COPY(CaptureStore)

    bool ensureOpen();
    bool openFile(const QString &file);
    void openMemory(const QString &reason);
    bool exec(const char *sql);
    sqlite3_stmt *statement(const QString &sql);
    bool writeRows(const QString &table, const QList<AppTableData *> &records, qint64 firstId);
    void spill(const QString &reason);
    void checkFreeSpace();
    void saveStart();
    QString lastError() const;
    // The tables holding ids in (after, before): the file's, then the memory's.
    QStringList tablesFor(qint64 after, qint64 before) const;
    qint64 recoverOne(const QString &file, QString *from, QString *to);

    QString folder;
    QString fileName;
    sqlite3 *db;
    std::unique_ptr<QLockFile> lock;
    QVector<QPair<QString, sqlite3_stmt *>> statements;
    qint64 last;
    qint64 cleared;
    // Rows from this id on are in memory only (the disk filled or failed); -1 while none.
    qint64 spillFrom;
    qint64 bytesSinceCheck;
    bool opened;
};

#endif // CAPTURESTORE_H
