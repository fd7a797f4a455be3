#ifndef APPABSTRACTTABLEMODEL_H
#define APPABSTRACTTABLEMODEL_H

#include <QAbstractTableModel>
#include <QList>

class AppTableData;

// Common base of the three table models: owns the record list and every record in it,
// one row per record, and offers the four row operations.
class AppAbstractTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit AppAbstractTableModel(QList<AppTableData *> *records);
    ~AppAbstractTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override = 0;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override = 0;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void addData(AppTableData *record);
    // Puts a record at a row (clamped to the table), as addData does at the end.
    void insertData(int row, AppTableData *record);
    // Appends all of them as one insertion, so a view lays out and repaints once for the lot.
    void addRecords(const QList<AppTableData *> &batch);
    AppTableData *getData(int row);
    void removeData(int row);
    void clearData();

protected:
    // The header answer all three models give: their own texts across, row numbers from 1 down.
    static QVariant headerText(
        const QString *headers, int columns, int section, Qt::Orientation orientation, int role);

    QList<AppTableData *> *records;

private:
    Q_DISABLE_COPY(AppAbstractTableModel)
};

#endif // APPABSTRACTTABLEMODEL_H
