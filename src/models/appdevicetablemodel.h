#ifndef APPDEVICETABLEMODEL_H
#define APPDEVICETABLEMODEL_H

#include "models/appabstracttablemodel.h"

#include <QString>

// The saved devices: name, the six settings as text, two button columns and a spacer.
class AppDeviceTableModel : public AppAbstractTableModel
{
    Q_OBJECT
public:
    explicit AppDeviceTableModel(QList<AppTableData *> *records);
    ~AppDeviceTableModel() override;

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    int columns;
    QString headers[10];
};

#endif // APPDEVICETABLEMODEL_H
