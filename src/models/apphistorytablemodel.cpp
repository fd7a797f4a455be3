#include "models/apphistorytablemodel.h"

AppHistoryTableModel::AppHistoryTableModel(QList<AppTableData *> *records)
    : AppAbstractTableModel(records)
    , columns(11)
{
}

AppHistoryTableModel::~AppHistoryTableModel() = default;

int AppHistoryTableModel::columnCount(const QModelIndex &) const
{
    return columns;
}

QVariant AppHistoryTableModel::data(const QModelIndex &, int) const
{
    return QVariant();
}

QVariant AppHistoryTableModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

Qt::ItemFlags AppHistoryTableModel::flags(const QModelIndex &) const
{
    return Qt::ItemIsEnabled;
}

void AppHistoryTableModel::saveHistory() { }

QString AppHistoryTableModel::historyLine(AppHistoryData *) const
{
    return QString();
}
