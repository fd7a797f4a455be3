#include "models/apphistorytablemodel.h"

#include "app/verantisterminalapp.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "data/logline.h"
#include "serial/serialsettings.h"
#include "util/conversion.h"

#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>

#include <algorithm>

AppHistoryTableModel::AppHistoryTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(11)
    , headers { tr("Time"), tr("Direction"), tr("Bytes"), tr("Ascii"), tr("Port Name"),
        tr("BaudRate"), tr("Data Bits"), tr("Stop Bits"), tr("Parity"), tr("Flow Control"),
        QString() }
    , capture(nullptr)
    , first(0)
    , last(0)
{
}

AppHistoryTableModel::~AppHistoryTableModel() = default;

int AppHistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant AppHistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (!index.isValid() || index.row() >= records->size())
        return QVariant();
    const auto *record = static_cast<const AppHistoryData *>(records->at(index.row()));
    if (!record)
        return QVariant();
    switch (index.column()) {
    case 0:
        return record->time();
    case 1:
        return record->direction();
    case 2:
        return record->isEvent() ? QString() : bytesToHex(record->bytes());
    case 3:
        return bytesToAscii(record->bytes());
    case 4:
        return record->portName();
    case 5:
        return record->baudRate();
    case 6:
        return record->dataBits();
    case 7:
        return settingText(stopBitsTexts, record->stopBits());
    case 8:
        return settingText(parityTexts, record->parity());
    case 9:
        return settingText(flowControlTexts, record->flowControl());
    default:
        return QString();
    }
}

QVariant AppHistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && role == Qt::DisplayRole && capture
        && (first > 0 || filtered()) && section >= 0 && section < positions.size())
        return positions.at(section) + 1;
    return headerText(headers, columns, section, orientation, role);
}

Qt::ItemFlags AppHistoryTableModel::flags(const QModelIndex &index) const
{
    // History rows are a record of what happened: never editable. They are selected to find
    // the time between them.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void AppHistoryTableModel::setStore(CaptureStore *store)
{
    capture = store;
    seenPorts = store ? store->historyPorts() : QStringList();
    showWindow(qMax<qint64>(0, totalRows() - WindowRows));
}

qint64 AppHistoryTableModel::totalRows() const
{
    return capture ? capture->historyCount() : records->size();
}

void AppHistoryTableModel::appendStored(const QList<AppTableData *> &batch, bool follow)
{
    notePorts(batch);
    const qint64 total = totalRows();
    const qint64 batchStart = total - batch.size();
    const bool showsEnd = last == batchStart;
    if (!showsEnd || batch.size() > WindowRows) {
        qDeleteAll(batch);
        if (showsEnd && follow)
            showWindow(total - WindowRows);
        return;
    }
    QList<AppTableData *> shown;
    QVector<qint64> places;
    for (int i = 0; i < batch.size(); ++i) {
        if (passes(*static_cast<const AppHistoryData *>(batch.at(i)))) {
            shown.append(batch.at(i));
            places.append(batchStart + i);
        } else {
            delete batch.at(i);
        }
    }
    const int room = WindowRows - records->size();
    if (!follow && shown.size() > room) {
        // The reader's rows stay put; what does not fit is read back when scrolled to.
        last = places.at(room);
        places.resize(room);
        positions += places;
        addRecords(shown.mid(0, room));
        qDeleteAll(shown.mid(room));
        return;
    }
    last = total;
    positions += places;
    addRecords(shown);
    const int excess = records->size() - WindowRows;
    if (excess > 0) {
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        qDeleteAll(records->begin(), records->begin() + excess);
        records->erase(records->begin(), records->begin() + excess);
        positions.remove(0, excess);
        first = positions.first();
        endRemoveRows();
    }
}

void AppHistoryTableModel::showWindow(qint64 start)
{
    if (!capture)
        return;
    const qint64 total = capture->historyCount();
    start = qBound<qint64>(0, start, qMax<qint64>(0, total - WindowRows));
    beginResetModel();
    qDeleteAll(*records);
    records->clear();
    positions.clear();
    first = start;
    const auto copy = [](const AppHistoryData &r) {
        return new AppHistoryData(r.time(), r.direction(), r.bytes(), r.portName(), r.baudRate(),
            r.dataBits(), r.stopBits(), r.parity(), r.flowControl());
    };
    qint64 at = start;
    capture->forEachHistoryRow(start, total, [&](const AppHistoryData &record) {
        if (passes(record)) {
            records->append(copy(record));
            positions.append(at);
        }
        ++at;
        return records->size() < WindowRows;
    });
    last = at;
    // A filter that lets few rows through: the window reaches back for the ones before, so
    // that the end of the history does not show an empty table.
    for (qint64 span = WindowRows; records->size() < WindowRows && first > 0; span *= 2) {
        const qint64 from = qMax<qint64>(0, first - span);
        QList<AppTableData *> before;
        QVector<qint64> places;
        at = from;
        capture->forEachHistoryRow(from, first, [&](const AppHistoryData &record) {
            if (passes(record)) {
                before.append(copy(record));
                places.append(at);
            }
            ++at;
            return true;
        });
        const int excess = qMax(0, int(before.size() + records->size() - WindowRows));
        qDeleteAll(before.begin(), before.begin() + excess);
        *records = before.mid(excess) + *records;
        positions = places.mid(excess) + positions;
        first = excess > 0 ? places.at(excess) : from;
    }
    endResetModel();
}

void AppHistoryTableModel::clearHistory()
{
    if (capture)
        capture->clearHistory();
    clearData();
    positions.clear();
    first = last = 0;
    seenPorts.clear();
    emit portsChanged();
}

void AppHistoryTableModel::setFilter(const QString &port, const QString &direction)
{
    if (port == portShown && direction == directionShown)
        return;
    portShown = port;
    directionShown = direction;
    const qint64 at = rowCount() > 0 ? positionOf(0) : first;
    showWindow(at);
}

bool AppHistoryTableModel::passes(const AppHistoryData &record) const
{
    return (portShown.isEmpty() || record.portName() == portShown)
        && (directionShown.isEmpty() || record.direction() == directionShown);
}

qint64 AppHistoryTableModel::positionOf(int row) const
{
    if (!capture)
        return row;
    return row >= 0 && row < positions.size() ? positions.at(row) : first + row;
}

int AppHistoryTableModel::rowAt(qint64 position) const
{
    if (!capture)
        return int(qBound<qint64>(0, position, records->size()));
    return int(std::lower_bound(positions.begin(), positions.end(), position) - positions.begin());
}

qint64 AppHistoryTableModel::windowEnd() const
{
    return capture ? last : records->size();
}

bool AppHistoryTableModel::forEachRow(
    qint64 from, qint64 end, const std::function<bool(const AppHistoryData &)> &row) const
{
    if (capture)
        return capture->forEachHistoryRow(from, end, row);
    for (qint64 at = qMax<qint64>(0, from); at < end && at < records->size(); ++at) {
        const auto *record = static_cast<const AppHistoryData *>(records->at(int(at)));
        if (record && !row(*record))
            return false;
    }
    return true;
}

qint64 AppHistoryTableModel::previousRow(
    qint64 position, const QString &port, const QString &direction, QString *time) const
{
    if (capture)
        return capture->previousHistoryRow(position, port, direction, time);
    for (qint64 at = qMin<qint64>(position, records->size()) - 1; at >= 0; --at) {
        const auto *record = static_cast<const AppHistoryData *>(records->at(int(at)));
        if (record->portName() == port && record->direction() == direction) {
            *time = record->time();
            return at;
        }
    }
    return -1;
}

void AppHistoryTableModel::notePorts(const QList<AppTableData *> &batch)
{
    bool added = false;
    for (const AppTableData *data : batch) {
        const QString port = static_cast<const AppHistoryData *>(data)->portName();
        if (!seenPorts.contains(port)) {
            seenPorts << port;
            added = true;
        }
    }
    if (added)
        emit portsChanged();
}

HistoryExport::Result AppHistoryTableModel::saveHistory(bool shownOnly)
{
    shownOnly = shownOnly && filtered();
    // Rows logged from here on (the dialogs below let events through) are not part of it.
    const qint64 rows = totalRows();
    HistoryExport::Result result { HistoryExport::Written, 0, QString(), QString() };
    if (rows == 0)
        return result;
    AppSettingsManager *settings = VerantisTerminalApp::app()->settingsManager();
    QString folder = QFileDialog::getExistingDirectory(nullptr, tr("Choose logging file path"),
        settings->dataFolder(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        folder = settings->dataFolder();
        // Before the first saved item the data folder does not exist yet; the export is not
        // to be lost for that.
        QDir().mkpath(folder);
    }

    qint64 written = 0;
    const HistoryExport::Lines lines = [&](qint64 from, qint64 end, QByteArray &out) {
        return forEachRow(from, end, [&](const AppHistoryData &record) {
            if (shownOnly && !passes(record))
                return true;
            appendLogLine(out, record);
            out += '\n';
            ++written;
            return true;
        });
    };
    QProgressDialog progress(
        tr("Writing %1").arg(QDir::toNativeSeparators(HistoryExport::logPath(folder))),
        tr("Cancel"), 0, 1000);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    result = HistoryExport::write(folder, rows, lines, [&progress](qint64 done, qint64 total) {
        progress.setValue(int(done * 1000 / total));
        return !progress.wasCanceled();
    });
    progress.reset();
    if (result.outcome == HistoryExport::Written && shownOnly)
        result.rows = written;
    if (result.outcome == HistoryExport::Failed)
        VerantisTerminalApp::app()->showMessage(result.message);
    return result;
}

QString AppHistoryTableModel::historyLine(AppHistoryData *record) const
{
    return QString::fromUtf8(logLine(*record));
}
