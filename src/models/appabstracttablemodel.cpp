#include "models/appabstracttablemodel.h"

#include "data/apptabledata.h"

AppAbstractTableModel::AppAbstractTableModel(QList<AppTableData *> *records)
    : QAbstractTableModel(nullptr)
    , records(records)
{
}

AppAbstractTableModel::~AppAbstractTableModel()
{
    qDeleteAll(*records);
    delete records;
}

int AppAbstractTableModel::rowCount(const QModelIndex &) const
{
    return records->size();
}

Qt::ItemFlags AppAbstractTableModel::flags(const QModelIndex &) const
{
    return Qt::ItemIsEnabled;
}

void AppAbstractTableModel::addData(AppTableData *) { }

AppTableData *AppAbstractTableModel::getData(int)
{
    return nullptr;
}

void AppAbstractTableModel::removeData(int) { }

void AppAbstractTableModel::clearData() { }
