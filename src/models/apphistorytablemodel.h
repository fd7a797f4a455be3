#ifndef APPHISTORYTABLEMODEL_H
#define APPHISTORYTABLEMODEL_H

#include "data/historyexport.h"
#include "models/appabstracttablemodel.h"

#include <QString>

class AppHistoryData;
class CaptureStore;

// Every block sent or received by any terminal, read-only, oldest first. Given a capture store,
// the model holds a window of at most WindowRows rows of it (its record list) and the vertical
// header numbers them by their place in the whole history, so neither memory nor the cost of a
// frame grows with the history.
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

    // Appends every row, one line each, to "app.log" in a folder the operator picks, streamed
    // with its progress shown; Cancel writes nothing. Says what went wrong, and returns the
    // outcome and the rows written.
    HistoryExport::Result saveHistory();
    QString historyLine(AppHistoryData *record) const;

    static constexpr int WindowRows = 2000;

    // Reads the rows from the store from now on; the record list holds the window.
    void setStore(CaptureStore *store);
    CaptureStore *store() const { return capture; }
    // All rows of the history, shown or not.
    qint64 totalRows() const;
    // The place in the history of the window's first row.
    qint64 windowStart() const { return first; }
    // Takes records the store has just written, newest last; the window follows them when it
    // shows the end and `follow` is set, or while it has room.
    void appendStored(const QList<AppTableData *> &batch, bool follow);
    // Shows the rows from that place on (as many as fit in a window).
    void showWindow(qint64 start);
    // Empties the history; the store keeps the rows for the terminals' logs.
    void clearHistory();

private:
    int columns;
    QString headers[11];
    CaptureStore *capture;
    qint64 first;
};

#endif // APPHISTORYTABLEMODEL_H
