#include "models/appdevicetablemodel.h"

AppDeviceTableModel::AppDeviceTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(10)
{
}

AppDeviceTableModel::~AppDeviceTableModel() = default;

int AppDeviceTableModel::columnCount(const QModelIndex &) const
{
    return columns;
}

QVariant AppDeviceTableModel::data(const QModelIndex &, int) const
{
    return QVariant();
}

QVariant AppDeviceTableModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

bool AppDeviceTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}
