#include "models/appdevicetablemodel.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/serialsettings.h"

AppDeviceTableModel::AppDeviceTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(10)
    , headers { tr("Device Name"), tr("Port Name"), tr("BaudRate"), tr("Data Bits"),
        tr("Stop Bits"), tr("Parity"), tr("Flow Control"), QStringLiteral("#"), QStringLiteral("#"),
        QString() }
{
}

AppDeviceTableModel::~AppDeviceTableModel() = default;

int AppDeviceTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant AppDeviceTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    if (!index.isValid() || index.row() >= records->size())
        return QVariant();
    const auto *record = static_cast<const AppDeviceData *>(records->at(index.row()));
    if (!record)
        return QVariant();
    switch (index.column()) {
    case 0:
        return record->name();
    case 1:
        return record->portName();
    case 2:
        return record->baudRate();
    case 3:
        return record->dataBits();
    // A position from a hand-edited file outside the list shows as an empty text.
    case 4:
        return settingText(stopBitsTexts, record->stopBits());
    case 5:
        return settingText(parityTexts, record->parity());
    case 6:
        return settingText(flowControlTexts, record->flowControl());
    default:
        return QString();
    }
}

QVariant AppDeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return headerText(headers, columns, section, orientation, role);
}

bool AppDeviceTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    auto *record = static_cast<AppDeviceData *>(records->at(index.row()));
    if (!record)
        return false;
    const QString oldName = record->name();
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();

    // The store is written first, under the old name, and the record changes only once the
    // files hold the change: the table never shows what a restart would not bring back.
    if (role == Qt::EditRole) {
        switch (index.column()) {
        case 0: {
            const QString newName = value.toString();
            // Qt commits an editor that was only looked at: that is not a repeat.
            if (newName == oldName)
                break;
            if (AppSettingsManager::nameAllowed(newName, store->deviceExists(newName),
                    QStringLiteral("Device"), tr("Device name can not be blank."),
                    tr("Device name repeated."))
                && store->changeDeviceName(oldName, newName))
                record->setName(newName);
            break;
        }
        case 1:
            if (store->setDeviceValue(oldName, QStringLiteral("_comport"), value))
                record->setPortName(value.toString());
            break;
        case 2:
            if (store->setDeviceValue(oldName, QStringLiteral("_baudrate"), value))
                record->setBaudRate(value.toInt());
            break;
        case 3:
            if (store->setDeviceValue(oldName, QStringLiteral("_databits"), value))
                record->setDataBits(value.toInt());
            break;
        case 4:
            if (store->setDeviceValue(oldName, QStringLiteral("_stopbits"), value))
                record->setStopBits(value.toInt());
            break;
        case 5:
            if (store->setDeviceValue(oldName, QStringLiteral("_parity"), value))
                record->setParity(value.toInt());
            break;
        case 6:
            if (store->setDeviceValue(oldName, QStringLiteral("_flowcontrol"), value))
                record->setFlowControl(value.toInt());
            break;
        default:
            break;
        }
    }
    // Also after a refusal, so the view repaints the cell with the value it really holds.
    emit dataChanged(index, index);
    return true;
}
