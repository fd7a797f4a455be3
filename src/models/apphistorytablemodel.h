#ifndef APPHISTORYTABLEMODEL_H
#define APPHISTORYTABLEMODEL_H

#include "models/appabstracttablemodel.h"

#include <QString>

class AppHistoryData;

// Every block sent or received by any terminal, read-only, oldest first.
class AppHistoryTableModel : public AppAbstractTableModel
{
    Q_OBJECT
public:
    explicit AppHistoryTableModel(QList<AppTableData *> *records);
    ~AppHistoryTableModel() override;

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Appends every row, one line each, to "app.log" in a folder the operator picks. A long
    // history shows its progress while it is prepared; cancelling there writes nothing.
    // True once the rows are written (or there were none).
    bool saveHistory();
    QString historyLine(AppHistoryData *record) const;

private:
    int columns;
    QString headers[11];
};

#endif // APPHISTORYTABLEMODEL_H
