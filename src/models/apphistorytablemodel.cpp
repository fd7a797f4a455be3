#include "models/apphistorytablemodel.h"

#include "app/verantisterminalapp.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/logline.h"
#include "serial/serialsettings.h"
#include "util/conversion.h"

#include <QProgressDialog>

AppHistoryTableModel::AppHistoryTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(11)
    , headers { tr("Time"), tr("Direction"), tr("Bytes"), tr("Ascii"), tr("Port Name"),
        tr("BaudRate"), tr("Data Bits"), tr("Stop Bits"), tr("Parity"), tr("Flow Control"),
        QString() }
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
        return bytesToHex(record->bytes());
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
    return headerText(headers, columns, section, orientation, role);
}

Qt::ItemFlags AppHistoryTableModel::flags(const QModelIndex &index) const
{
    // History rows are a record of what happened: neither selectable nor editable.
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

bool AppHistoryTableModel::saveHistory()
{
    // Rows logged from here on (the dialogs below let events through) are not part of it.
    const int rows = records->size();
    if (rows == 0)
        return true;
    QProgressDialog progress(tr("Preparing the history"), tr("Cancel"), 0, rows);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    QByteArray block;
    for (int row = 0; row < rows && row < records->size(); ++row) {
        if (row % 16384 == 0) {
            progress.setValue(row);
            if (progress.wasCanceled())
                return false;
        }
        if (const AppTableData *record = records->at(row)) {
            appendLogLine(block, *static_cast<const AppHistoryData *>(record));
            block += '\n';
        }
    }
    progress.reset();
    return VerantisTerminalApp::app()->settingsManager()->saveHistoryBlock(block);
}

QString AppHistoryTableModel::historyLine(AppHistoryData *record) const
{
    return QString::fromUtf8(logLine(*record));
}
