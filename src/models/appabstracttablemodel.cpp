#include "models/appabstracttablemodel.h"

#include "data/apptabledata.h"

AppAbstractTableModel::AppAbstractTableModel(QList<AppTableData *> *records)
    : QAbstractTableModel(nullptr)
    , records(records)
{
}

AppAbstractTableModel::~AppAbstractTableModel()
{
    // delete skips null entries by itself.
    qDeleteAll(*records);
    delete records;
}

int AppAbstractTableModel::rowCount(const QModelIndex &parent) const
{
    // Cells have no children: a table that let them claim rows would be an endless tree to
    // anything that walks it (proxies, tree views, the model tester).
    return parent.isValid() ? 0 : records->size();
}

Qt::ItemFlags AppAbstractTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The last column only fills the remaining width of the view.
    if (index.column() == columnCount(QModelIndex()) - 1)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

void AppAbstractTableModel::addData(AppTableData *record)
{
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    records->append(record);
    endInsertRows();
}

void AppAbstractTableModel::insertData(int row, AppTableData *record)
{
    row = qBound(0, row, rowCount());
    beginInsertRows(QModelIndex(), row, row);
    records->insert(row, record);
    endInsertRows();
}

void AppAbstractTableModel::addRecords(const QList<AppTableData *> &batch)
{
    if (batch.isEmpty())
        return;
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row + batch.size() - 1);
    records->append(batch);
    endInsertRows();
}

AppTableData *AppAbstractTableModel::getData(int row)
{
    return records->value(row, nullptr);
}

void AppAbstractTableModel::removeData(int row)
{
    if (row < 0 || row >= records->size())
        return;
    // Listeners of rowsAboutToBeRemoved read the record, so it stays listed until then.
    beginRemoveRows(QModelIndex(), row, row);
    AppTableData *record = records->takeAt(row);
    delete record;
    endRemoveRows();
}

void AppAbstractTableModel::clearData()
{
    if (records->isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, records->size() - 1);
    const QList<AppTableData *> removed = *records;
    records->clear();
    qDeleteAll(removed);
    endRemoveRows();
}

QVariant AppAbstractTableModel::headerText(
    const QString *headers, int columns, int section, Qt::Orientation orientation, int role)
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columns)
        return QVariant();
    return headers[section];
}
