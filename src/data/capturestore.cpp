#include "data/capturestore.h"

#include "data/apphistorydata.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStorageInfo>

#include <sqlite3.h>

#include <cstring>

namespace {

const int SchemaVersion = 1;

// The history table of the file, and the same in memory for rows the disk could not take.
const char *const Schema
    = "CREATE TABLE IF NOT EXISTS %1history ("
      " id INTEGER PRIMARY KEY, time TEXT NOT NULL, direction TEXT NOT NULL,"
      " bytes BLOB NOT NULL, port TEXT NOT NULL, baud_rate INTEGER NOT NULL,"
      " data_bits INTEGER NOT NULL, stop_bits INTEGER NOT NULL,"
      " parity INTEGER NOT NULL, flow_control INTEGER NOT NULL,"
      " terminal INTEGER NOT NULL);"
      "CREATE INDEX IF NOT EXISTS %1history_terminal ON history(terminal, id);";

const char *const Columns
    = "time, direction, bytes, port, baud_rate, data_bits, stop_bits, parity, flow_control";

// Free space is looked at again after this much has been written.
const qint64 CheckEveryBytes = 4 * 1024 * 1024;
// Rows read from the file at a time when streaming.
const int ReadPiece = 4096;

QString text(sqlite3_stmt *statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
        sqlite3_column_bytes(statement, column));
}

QByteArray blob(sqlite3_stmt *statement, int column)
{
    const void *data = sqlite3_column_blob(statement, column);
    return QByteArray(static_cast<const char *>(data), sqlite3_column_bytes(statement, column));
}

// Text columns that repeat from row to row (direction, port, a time stamp within a frame) are
// decoded once and shared while they stay the same.
struct TextCache
{
    QByteArray raw;
    QString text;

    const QString &at(sqlite3_stmt *statement, int column)
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        const int size = sqlite3_column_bytes(statement, column);
        if (size != raw.size() || memcmp(data, raw.constData(), size_t(size)) != 0) {
            raw = QByteArray(data, size);
            text = QString::fromUtf8(raw);
        }
        return text;
    }
};

struct RowTexts
{
    TextCache time, direction, port;
};

void removeStoreFiles(const QString &file)
{
    for (const char *suffix : { "", "-wal", "-shm", "-journal" })
        QFile::remove(file + QLatin1String(suffix));
}

} // namespace

CaptureStore::CaptureStore(QString folder, QObject *parent)
    : QObject(parent)
    , folder(std::move(folder))
    , db(nullptr)
    , last(0)
    , cleared(0)
    , spillFrom(-1)
    , bytesSinceCheck(0)
    , opened(false)
{
}

CaptureStore::~CaptureStore()
{
    for (const auto &cached : qAsConst(statements))
        sqlite3_finalize(cached.second);
    if (db)
        sqlite3_close(db);
}

QStringList CaptureStore::storesIn(const QString &folder)
{
    // The start time in the name sorts the runs oldest first.
    QStringList files
        = QDir(folder).entryList({ QStringLiteral("capture-*.sqlite") }, QDir::Files, QDir::Name);
    for (QString &file : files)
        file = QDir(folder).filePath(file);
    return files;
}

QString CaptureStore::path() const
{
    return onDisk() ? fileName : QString();
}

bool CaptureStore::ensureOpen()
{
    if (opened)
        return db != nullptr;
    opened = true;
    const QString name
        = QStringLiteral("capture-%1-%2.sqlite")
              .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")))
              .arg(QCoreApplication::applicationPid());
    QString reason;
    if (!QDir().mkpath(folder)) {
        reason = tr("the folder could not be made");
    } else {
        const QString file = QDir(folder).filePath(name);
        // Held for the whole run: a store whose lock is free belongs to a run that has ended.
        lock = std::make_unique<QLockFile>(file + QStringLiteral(".lock"));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            reason = tr("its lock file could not be made");
        else if (openFile(file))
            return true;
        else
            reason = lastError();
        if (db) {
            sqlite3_close(db);
            db = nullptr;
        }
        removeStoreFiles(file);
        lock.reset();
    }
    openMemory(reason);
    return db != nullptr;
}

bool CaptureStore::openFile(const QString &file)
{
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK)
        return false;
    // WAL with NORMAL sync: a committed frame survives the process being killed; only a power
    // cut can take the last frames.
    const QString schema = QString::fromLatin1(Schema).arg(QString());
    if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;")
        || !exec(schema.toUtf8().constData())
        || !exec("CREATE TABLE IF NOT EXISTS run (key TEXT PRIMARY KEY, value INTEGER);")
        || !exec(QByteArray("PRAGMA user_version=" + QByteArray::number(SchemaVersion)).constData())
        || !exec("ATTACH ':memory:' AS spill;")
        || !exec(QString::fromLatin1(Schema).arg(QStringLiteral("spill.")).toUtf8().constData()))
        return false;
    fileName = file;
    return true;
}

void CaptureStore::openMemory(const QString &reason)
{
    fileName.clear();
    if (sqlite3_open(":memory:", &db) != SQLITE_OK
        || !exec(QString::fromLatin1(Schema).arg(QString()).toUtf8().constData())
        || !exec("CREATE TABLE run (key TEXT PRIMARY KEY, value INTEGER);")) {
        sqlite3_close(db);
        db = nullptr;
    }
    emit notice(tr("The history cannot be kept on disk in %1: %2. This run keeps it in memory, "
                   "as before, and loses it if the program ends unexpectedly.")
                    .arg(QDir::toNativeSeparators(folder), reason));
}

QString CaptureStore::lastError() const
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : tr("the database could not be opened");
}

bool CaptureStore::exec(const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt *CaptureStore::statement(const QString &sql)
{
    for (const auto &cached : qAsConst(statements)) {
        if (cached.first == sql) {
            sqlite3_reset(cached.second);
            sqlite3_clear_bindings(cached.second);
            return cached.second;
        }
    }
    sqlite3_stmt *prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &prepared, nullptr) != SQLITE_OK)
        return nullptr;
    statements.append({ sql, prepared });
    return prepared;
}

QStringList CaptureStore::tablesFor(qint64 after, qint64 before) const
{
    QStringList tables;
    if (spillFrom < 0 || after + 1 < spillFrom)
        tables << QStringLiteral("main.history");
    if (spillFrom >= 0 && before > spillFrom)
        tables << QStringLiteral("spill.history");
    return tables;
}

void CaptureStore::append(const QList<AppTableData *> &records)
{
    if (records.isEmpty() || !ensureOpen())
        return;
    const QString table
        = spillFrom < 0 ? QStringLiteral("main.history") : QStringLiteral("spill.history");
    if (!writeRows(table, records, last + 1)) {
        if (spillFrom >= 0 || !db)
            return;
        // Nothing of the frame is lost: it goes to memory with everything after it.
        spill(tr("writing to it failed (%1)").arg(lastError()));
        if (!writeRows(QStringLiteral("spill.history"), records, last + 1))
            return;
    }
    last += records.size();
    checkFreeSpace();
}

bool CaptureStore::writeRows(const QString &table, const QList<AppTableData *> &records, qint64 id)
{
    sqlite3_stmt *insert = statement(QStringLiteral("INSERT INTO %1 (id, %2, terminal) VALUES "
                                                    "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                                         .arg(table, QLatin1String(Columns)));
    if (!insert || !exec("BEGIN"))
        return false;
    for (const AppTableData *data : records) {
        const auto *record = static_cast<const AppHistoryData *>(data);
        const QByteArray time = record->time().toUtf8();
        const QByteArray direction = record->direction().toUtf8();
        const QByteArray bytes = record->bytes();
        const QByteArray port = record->portName().toUtf8();
        sqlite3_reset(insert);
        sqlite3_bind_int64(insert, 1, id++);
        sqlite3_bind_text(insert, 2, time.constData(), time.size(), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, direction.constData(), direction.size(), SQLITE_STATIC);
        sqlite3_bind_blob(insert, 4, bytes.constData(), bytes.size(), SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, port.constData(), port.size(), SQLITE_STATIC);
        sqlite3_bind_int(insert, 6, record->baudRate());
        sqlite3_bind_int(insert, 7, record->dataBits());
        sqlite3_bind_int(insert, 8, record->stopBits());
        sqlite3_bind_int(insert, 9, record->parity());
        sqlite3_bind_int(insert, 10, record->flowControl());
        sqlite3_bind_int(insert, 11, record->terminal());
        if (sqlite3_step(insert) != SQLITE_DONE) {
            sqlite3_reset(insert);
            exec("ROLLBACK");
            return false;
        }
        bytesSinceCheck += bytes.size() + time.size() + 64;
    }
    sqlite3_reset(insert);
    if (exec("COMMIT"))
        return true;
    exec("ROLLBACK");
    return false;
}

void CaptureStore::checkFreeSpace()
{
    if (bytesSinceCheck < CheckEveryBytes || !onDisk())
        return;
    bytesSinceCheck = 0;
    const QStorageInfo disk(folder);
    if (!disk.isValid() || disk.bytesAvailable() < 0)
        return;
    const qint64 floor = qMin(FreeSpaceFloor, disk.bytesTotal() / 100);
    if (disk.bytesAvailable() < floor)
        spill(tr("less than %1 MB is free on its disk").arg(floor / (1024 * 1024)));
}

void CaptureStore::spill(const QString &reason)
{
    spillFrom = last + 1;
    emit notice(tr("The history can no longer be written to %1: %2. The %L3 rows so far stay "
                   "there; rows from now on are kept in memory only and are lost if the program "
                   "ends unexpectedly. Save History keeps them.")
                    .arg(QDir::toNativeSeparators(fileName), reason)
                    .arg(last));
}

void CaptureStore::clearHistory()
{
    cleared = last;
    saveStart();
}

void CaptureStore::saveStart()
{
    if (!db || fileName.isEmpty())
        return;
    if (sqlite3_stmt *save
        = statement(QStringLiteral("INSERT OR REPLACE INTO run VALUES ('cleared', ?)"))) {
        sqlite3_bind_int64(save, 1, cleared);
        sqlite3_step(save);
        sqlite3_reset(save);
    }
}

QList<AppTableData *> CaptureStore::historyRows(qint64 first, int count)
{
    QList<AppTableData *> rows;
    forEachHistoryRow(first, first + count, [&rows](const AppHistoryData &record) {
        rows.append(new AppHistoryData(record.time(), record.direction(), record.bytes(),
            record.portName(), record.baudRate(), record.dataBits(), record.stopBits(),
            record.parity(), record.flowControl()));
        return true;
    });
    return rows;
}

bool CaptureStore::forEachHistoryRow(
    qint64 first, qint64 end, const std::function<bool(const AppHistoryData &)> &row)
{
    if (!db)
        return first >= end;
    // Ids run on without gaps, so a position is an id.
    qint64 from = cleared + 1 + qMax<qint64>(0, first);
    RowTexts texts;
    AppHistoryData record(QString(), QString(), QByteArray(), QString(), 0, 0, 0, 0, 0);
    const qint64 to = cleared + qMin(end, historyCount());
    for (const QString &table : tablesFor(from - 1, to + 1)) {
        sqlite3_stmt *select = statement(
            QStringLiteral("SELECT id, %1 FROM %2 WHERE id >= ? AND id <= ? ORDER BY id LIMIT ?")
                .arg(QLatin1String(Columns), table));
        if (!select)
            return false;
        for (;;) {
            if (from > to)
                break;
            sqlite3_reset(select);
            sqlite3_bind_int64(select, 1, from);
            sqlite3_bind_int64(select, 2, to);
            sqlite3_bind_int(select, 3, ReadPiece);
            int got = 0;
            int step;
            while ((step = sqlite3_step(select)) == SQLITE_ROW) {
                ++got;
                from = sqlite3_column_int64(select, 0) + 1;
                // Columns from 1 on, as in Columns.
                record.m_time = texts.time.at(select, 1);
                record.m_direction = texts.direction.at(select, 2);
                record.m_bytes = blob(select, 3);
                record.m_portName = texts.port.at(select, 4);
                record.m_baudRate = sqlite3_column_int(select, 5);
                record.m_dataBits = sqlite3_column_int(select, 6);
                record.m_stopBits = sqlite3_column_int(select, 7);
                record.m_parity = sqlite3_column_int(select, 8);
                record.m_flowControl = sqlite3_column_int(select, 9);
                if (!row(record)) {
                    sqlite3_reset(select);
                    return false;
                }
            }
            sqlite3_reset(select);
            if (step != SQLITE_DONE)
                return false;
            if (got < ReadPiece)
                break;
        }
    }
    return from > to;
}

QVector<CaptureStore::LogRow> CaptureStore::terminalRows(
    int terminal, qint64 after, qint64 before, int limit, bool newest)
{
    QVector<LogRow> rows;
    if (!db || limit <= 0)
        return rows;
    QStringList tables = tablesFor(after, before);
    if (newest)
        std::reverse(tables.begin(), tables.end());
    TextCache time;
    for (const QString &table : qAsConst(tables)) {
        sqlite3_stmt *select
            = statement(QStringLiteral(
                "SELECT id, CASE direction WHEN 'Sent' THEN 1 WHEN 'Event' THEN 2 "
                "ELSE 0 END, bytes, time FROM %1 WHERE terminal = ? AND id > ? AND id < ? "
                "ORDER BY id %2 LIMIT ?")
                            .arg(table, newest ? QStringLiteral("DESC") : QStringLiteral("ASC")));
        if (!select)
            break;
        sqlite3_bind_int(select, 1, terminal);
        sqlite3_bind_int64(select, 2, after);
        sqlite3_bind_int64(select, 3, before);
        sqlite3_bind_int(select, 4, limit - rows.size());
        while (sqlite3_step(select) == SQLITE_ROW)
            rows.append({ sqlite3_column_int64(select, 0),
                LogRow::Kind(sqlite3_column_int(select, 1)), blob(select, 2), time.at(select, 3) });
        sqlite3_reset(select);
        if (rows.size() >= limit)
            break;
    }
    if (newest)
        std::reverse(rows.begin(), rows.end());
    return rows;
}

void CaptureStore::terminalSize(int terminal, qint64 after, qint64 *rows, qint64 *bytes)
{
    *rows = 0;
    *bytes = 0;
    if (!db)
        return;
    for (const QString &table : tablesFor(after, last + 1)) {
        sqlite3_stmt *select
            = statement(QStringLiteral("SELECT count(*), total(length(bytes)) FROM %1 WHERE "
                                       "terminal = ? AND id > ?")
                            .arg(table));
        if (!select)
            return;
        sqlite3_bind_int(select, 1, terminal);
        sqlite3_bind_int64(select, 2, after);
        if (sqlite3_step(select) == SQLITE_ROW) {
            *rows += sqlite3_column_int64(select, 0);
            *bytes += qint64(sqlite3_column_double(select, 1));
        }
        sqlite3_reset(select);
    }
}

QStringList CaptureStore::historyPorts()
{
    QStringList ports;
    if (!db)
        return ports;
    for (const QString &table : tablesFor(cleared, last + 1)) {
        sqlite3_stmt *select = statement(
            QStringLiteral("SELECT port, min(id) AS seen FROM %1 WHERE id > ? GROUP BY port "
                           "ORDER BY seen")
                .arg(table));
        if (!select)
            break;
        sqlite3_bind_int64(select, 1, cleared);
        while (sqlite3_step(select) == SQLITE_ROW) {
            const QString port = text(select, 0);
            if (!ports.contains(port))
                ports << port;
        }
        sqlite3_reset(select);
    }
    return ports;
}

qint64 CaptureStore::previousHistoryRow(
    qint64 position, const QString &port, const QString &direction, QString *time)
{
    if (!db)
        return -1;
    const qint64 before = cleared + 1 + position;
    QStringList tables = tablesFor(cleared, before);
    std::reverse(tables.begin(), tables.end());
    const QByteArray portText = port.toUtf8();
    const QByteArray directionText = direction.toUtf8();
    for (const QString &table : qAsConst(tables)) {
        sqlite3_stmt *select
            = statement(QStringLiteral("SELECT id, time FROM %1 WHERE id > ? AND id < ? AND "
                                       "port = ? AND direction = ? ORDER BY id DESC LIMIT 1")
                            .arg(table));
        if (!select)
            return -1;
        sqlite3_bind_int64(select, 1, cleared);
        sqlite3_bind_int64(select, 2, before);
        sqlite3_bind_text(select, 3, portText.constData(), portText.size(), SQLITE_STATIC);
        sqlite3_bind_text(
            select, 4, directionText.constData(), directionText.size(), SQLITE_STATIC);
        qint64 found = -1;
        if (sqlite3_step(select) == SQLITE_ROW) {
            found = sqlite3_column_int64(select, 0) - cleared - 1;
            *time = text(select, 1);
        }
        sqlite3_reset(select);
        if (found >= 0)
            return found;
    }
    return -1;
}

void CaptureStore::removeFile()
{
    for (const auto &cached : qAsConst(statements))
        sqlite3_finalize(cached.second);
    statements.clear();
    if (db)
        sqlite3_close(db);
    db = nullptr;
    if (!fileName.isEmpty())
        removeStoreFiles(fileName);
    lock.reset();
    fileName.clear();
    last = cleared = 0;
    spillFrom = -1;
    opened = false;
}

void CaptureStore::recoverLeftovers()
{
    struct Run
    {
        qint64 rows;
        QString from;
        QString to;
    };
    QVector<Run> runs;
    QStringList unreadable;
    for (const QString &file : storesIn(folder)) {
        if (file == fileName)
            continue;
        // A store whose lock is held belongs to another copy of the program, still running.
        QLockFile oldLock(file + QStringLiteral(".lock"));
        if (!oldLock.tryLock(0))
            continue;
        if (!ensureOpen() || !onDisk())
            return;
        Run run { 0, QString(), QString() };
        run.rows = recoverOne(file, &run.from, &run.to);
        if (run.rows < 0) {
            unreadable << QDir::toNativeSeparators(file);
            continue;
        }
        // Its rows are safe in this run's file now.
        removeStoreFiles(file);
        if (run.rows > 0)
            runs.append(run);
    }
    QStringList parts;
    qint64 total = 0;
    for (const Run &run : qAsConst(runs)) {
        total += run.rows;
        parts << tr("%1 to %2").arg(run.from, run.to);
    }
    QString message;
    if (runs.size() == 1)
        message = tr("Recovered %L1 history rows from a run that ended unexpectedly (%2).")
                      .arg(total)
                      .arg(parts.join(QString()));
    else if (runs.size() > 1)
        message = tr("Recovered %L1 history rows from %2 runs that ended unexpectedly (%3).")
                      .arg(total)
                      .arg(runs.size())
                      .arg(parts.join(QStringLiteral("; ")));
    if (!unreadable.isEmpty())
        message += (message.isEmpty() ? QString() : QStringLiteral(" "))
            + tr("The history of an earlier run could not be read and was left in place: %1.")
                  .arg(unreadable.join(QStringLiteral(", ")));
    if (!message.isEmpty())
        emit notice(message);
}

qint64 CaptureStore::recoverOne(const QString &file, QString *from, QString *to)
{
    sqlite3_stmt *attach = statement(QStringLiteral("ATTACH ? AS old"));
    if (!attach)
        return -1;
    const QByteArray name = QFile::encodeName(file);
    sqlite3_bind_text(attach, 1, name.constData(), name.size(), SQLITE_STATIC);
    const int attached = sqlite3_step(attach);
    sqlite3_reset(attach);
    if (attached != SQLITE_DONE)
        return -1;
    qint64 rows = -1;
    qint64 oldStart = 0;
    sqlite3_stmt *query = nullptr;
    // A run that ended before its first Clear History has no start saved.
    if (sqlite3_prepare_v2(
            db, "SELECT value FROM old.run WHERE key = 'cleared'", -1, &query, nullptr)
        == SQLITE_OK) {
        if (sqlite3_step(query) == SQLITE_ROW)
            oldStart = sqlite3_column_int64(query, 0);
        sqlite3_finalize(query);
    }
    const QByteArray copy = QStringLiteral("INSERT INTO main.history (id, %1, terminal) SELECT "
                                           "id - ?1 + ?2, %1, 0 FROM old.history WHERE id > ?1 "
                                           "ORDER BY id")
                                .arg(QLatin1String(Columns))
                                .toUtf8();
    if (exec("BEGIN")
        && sqlite3_prepare_v2(db, copy.constData(), -1, &query, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(query, 1, oldStart);
        sqlite3_bind_int64(query, 2, last);
        const bool copied = sqlite3_step(query) == SQLITE_DONE;
        const qint64 changed = sqlite3_changes(db);
        sqlite3_finalize(query);
        if (copied && exec("COMMIT")) {
            rows = changed;
            const qint64 first = last + 1;
            last += rows;
            for (const auto &edge : { qMakePair(first, from), qMakePair(last, to) }) {
                if (sqlite3_prepare_v2(
                        db, "SELECT time FROM main.history WHERE id = ?", -1, &query, nullptr)
                    != SQLITE_OK)
                    continue;
                sqlite3_bind_int64(query, 1, edge.first);
                if (sqlite3_step(query) == SQLITE_ROW)
                    *edge.second = text(query, 0).left(19);
                sqlite3_finalize(query);
            }
        } else {
            exec("ROLLBACK");
        }
    }
    exec("DETACH old");
    return rows;
}
