#ifndef APPCOMMANDTABLEMODEL_H
#define APPCOMMANDTABLEMODEL_H

#include "models/appabstracttablemodel.h"

#include <QString>

// The saved commands: name, the bytes as HEX and as ASCII text, a button column and a spacer.
class AppCommandTableModel : public AppAbstractTableModel
{
    Q_OBJECT
public:
    explicit AppCommandTableModel(QList<AppTableData *> *records);
    ~AppCommandTableModel() override;

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    int columns;
    QString headers[5];
};

#endif // APPCOMMANDTABLEMODEL_H
