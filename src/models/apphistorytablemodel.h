#ifndef APPHISTORYTABLEMODEL_H
#define APPHISTORYTABLEMODEL_H

#include "data/historyexport.h"
#include "models/appabstracttablemodel.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

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
    // With `shownOnly`, only the rows the filter lets through.
    HistoryExport::Result saveHistory(bool shownOnly = false);
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

    // Shows only the rows of one port and one direction ("Sent", "Received", "Event"); an empty
    // text lets every port or direction through. The rows themselves stay.
    void setFilter(const QString &port, const QString &direction);
    bool filtered() const { return !portShown.isEmpty() || !directionShown.isEmpty(); }
    bool passes(const AppHistoryData &record) const;
    // The place in the history of a row of the window, and the row of the window at or after
    // a place (rowCount() if none).
    qint64 positionOf(int row) const;
    int rowAt(qint64 position) const;
    // The place just after the last row the window read.
    qint64 windowEnd() const;
    // Hands the history's rows [from, end) to `row` in order; false if stopped or unreadable.
    bool forEachRow(
        qint64 from, qint64 end, const std::function<bool(const AppHistoryData &)> &row) const;
    // The ports of the history's rows, first seen first.
    QStringList ports() const { return seenPorts; }
    // The place and time stamp of the last row before `position` on `port` in `direction`; -1
    // if there is none.
    qint64 previousRow(
        qint64 position, const QString &port, const QString &direction, QString *time) const;

signals:
    // A port was seen for the first time.
    void portsChanged();

private:
    void notePorts(const QList<AppTableData *> &batch);

    int columns;
    QString headers[11];
    CaptureStore *capture;
    qint64 first;
    qint64 last;
    // With a store: the place of each row of the window in the history.
    QVector<qint64> positions;
    QString portShown;
    QString directionShown;
    QStringList seenPorts;
};

#endif // APPHISTORYTABLEMODEL_H
