#include "models/appcommandtablemodel.h"

AppCommandTableModel::AppCommandTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(5)
{
}

AppCommandTableModel::~AppCommandTableModel() = default;

int AppCommandTableModel::columnCount(const QModelIndex &) const
{
    return columns;
}

QVariant AppCommandTableModel::data(const QModelIndex &, int) const
{
    return QVariant();
}

QVariant AppCommandTableModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

bool AppCommandTableModel::setData(const QModelIndex &, const QVariant &, int)
{
    return true;
}
