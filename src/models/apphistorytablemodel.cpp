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

AppHistoryTableModel::AppHistoryTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(11)
    , headers { tr("Time"), tr("Direction"), tr("Bytes"), tr("Ascii"), tr("Port Name"),
        tr("BaudRate"), tr("Data Bits"), tr("Stop Bits"), tr("Parity"), tr("Flow Control"),
        QString() }
    , capture(nullptr)
    , first(0)
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
    if (orientation == Qt::Vertical && role == Qt::DisplayRole && first > 0)
        return first + section + 1;
    return headerText(headers, columns, section, orientation, role);
}

Qt::ItemFlags AppHistoryTableModel::flags(const QModelIndex &index) const
{
    // History rows are a record of what happened: neither selectable nor editable.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void AppHistoryTableModel::setStore(CaptureStore *store)
{
    capture = store;
    showWindow(qMax<qint64>(0, totalRows() - WindowRows));
}

qint64 AppHistoryTableModel::totalRows() const
{
    return capture ? capture->historyCount() : records->size();
}

void AppHistoryTableModel::appendStored(const QList<AppTableData *> &batch, bool follow)
{
    const qint64 total = totalRows();
    const bool showsEnd = first + records->size() + batch.size() == total;
    if (!showsEnd || batch.size() > WindowRows) {
        qDeleteAll(batch);
        if (showsEnd && follow)
            showWindow(total - WindowRows);
        return;
    }
    const int room = WindowRows - records->size();
    if (!follow && batch.size() > room) {
        // The reader's rows stay put; what does not fit is read back when scrolled to.
        addRecords(batch.mid(0, room));
        qDeleteAll(batch.mid(room));
        return;
    }
    addRecords(batch);
    const int excess = records->size() - WindowRows;
    if (excess > 0) {
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        qDeleteAll(records->begin(), records->begin() + excess);
        records->erase(records->begin(), records->begin() + excess);
        first += excess;
        endRemoveRows();
    }
}

void AppHistoryTableModel::showWindow(qint64 start)
{
    if (!capture)
        return;
    start = qBound<qint64>(0, start, qMax<qint64>(0, capture->historyCount() - WindowRows));
    beginResetModel();
    qDeleteAll(*records);
    records->clear();
    first = start;
    *records = capture->historyRows(start, WindowRows);
    endResetModel();
}

void AppHistoryTableModel::clearHistory()
{
    if (capture)
        capture->clearHistory();
    clearData();
    first = 0;
}

HistoryExport::Result AppHistoryTableModel::saveHistory()
{
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

    HistoryExport::Lines lines;
    if (capture) {
        lines = [this](qint64 from, qint64 end, QByteArray &out) {
            return capture->forEachHistoryRow(from, end, [&out](const AppHistoryData &record) {
                appendLogLine(out, record);
                out += '\n';
                return true;
            });
        };
    } else {
        lines = [this](qint64 from, qint64 end, QByteArray &out) {
            for (qint64 row = from; row < end && row < records->size(); ++row) {
                if (const AppTableData *record = records->at(int(row))) {
                    appendLogLine(out, *static_cast<const AppHistoryData *>(record));
                    out += '\n';
                }
            }
            return true;
        };
    }
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
    if (result.outcome == HistoryExport::Failed)
        VerantisTerminalApp::app()->showMessage(result.message);
    return result;
}

QString AppHistoryTableModel::historyLine(AppHistoryData *record) const
{
    return QString::fromUtf8(logLine(*record));
}
