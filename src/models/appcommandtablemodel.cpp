#include "models/appcommandtablemodel.h"

#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appsettingsmanager.h"
#include "util/conversion.h"

AppCommandTableModel::AppCommandTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(5)
    , headers { tr("Command Name"), tr("HEX"), tr("ASCII"), QStringLiteral("#"), QString() }
{
}

AppCommandTableModel::~AppCommandTableModel() = default;

int AppCommandTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant AppCommandTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    if (!index.isValid() || index.row() >= records->size())
        return QVariant();
    const auto *record = static_cast<const AppCommandData *>(records->at(index.row()));
    if (!record)
        return QVariant();
    switch (index.column()) {
    case 0:
        return record->name();
    case 1:
        return bytesToHex(record->bytes());
    case 2:
        return bytesToAscii(record->bytes());
    default:
        return QVariant();
    }
}

QVariant AppCommandTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return headerText(headers, columns, section, orientation, role);
}

bool AppCommandTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    auto *record = static_cast<AppCommandData *>(records->at(index.row()));
    if (!record)
        return false;
    const QString oldName = record->name();
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();

    // The store is written first, under the old name, and the record changes only once the
    // file holds the change: the table never shows what a restart would not bring back.
    if (role == Qt::EditRole) {
        switch (index.column()) {
        case 0: {
            const QString newName = value.toString();
            // Qt commits an editor that was only looked at: that is not a repeat.
            if (newName == oldName)
                break;
            if (AppSettingsManager::nameAllowed(newName, store->commandExists(newName),
                    QStringLiteral("Command"), tr("Command name can not be blank."),
                    tr("Command name repeated"))
                && store->changeCommandName(oldName, newName))
                record->setName(newName);
            break;
        }
        case 1: {
            QByteArray bytes;
            QString badGroup;
            if (!readHex(value.toString(), &bytes, &badGroup)) {
                VerantisTerminalApp::app()->showMessage(invalidHexMessage(badGroup));
                break;
            }
            if (store->setCommandBytes(oldName, bytes))
                record->setBytes(bytes);
            break;
        }
        case 2: {
            const QByteArray bytes = asciiToBytes(value.toString());
            if (store->setCommandBytes(oldName, bytes))
                record->setBytes(bytes);
            break;
        }
        default:
            break;
        }
    }
    // Also after a refusal, so the view repaints the cell with the value it really holds.
    emit dataChanged(index, index);
    return true;
}
