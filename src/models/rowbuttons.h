#ifndef ROWBUTTONS_H
#define ROWBUTTONS_H

#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTableView>
#include <QVector>

#include <functional>

class AppAbstractTableModel;
class QObject;
class QWidget;

// Push buttons in fixed columns of every row of a table view, such as "Delete" and "Open".
//
// The buttons are real widgets, so they take the window's style sheet, hover and keyboard focus
// like every other button. They are installed once per row, when the row appears, never while
// painting: installing an index widget relayouts the view, and doing that from paint() repaints
// it for ever. Each button finds its row when it is clicked, so after rows above it have gone
// it still acts on the row it is shown in.
class RowButtons
{
public:
    // Called with the view's model and the row of the clicked button.
    using Action = std::function<void(AppAbstractTableModel *model, int row)>;

    struct Button
    {
        int column;
        QString text;
        Action action;
    };

    // Installs the buttons in every row of the view's current model now, and in every row that
    // the model inserts or resets later, for as long as `context` lives. Also makes the rows tall
    // enough for the buttons.
    RowButtons(QObject *context, QTableView *view, const QVector<Button> &buttons);
    ~RowButtons();

    // Takes back a button cell that the view lets go of (its row was removed, or the model
    // reset); it waits hidden for a later row. False for any other widget.
    //
    // Deleting it instead would leave its address in the view's list of index widgets, and an
    // editor that later got the same address would be taken for one: Enter would no longer
    // close it.
    bool park(QWidget *widget);

private:
    Q_DISABLE_COPY(RowButtons)

    struct Cell
    {
        int button;
        QPersistentModelIndex index;
    };

    void fitRows();
    void installRows(int first, int last);
    void install(const QModelIndex &index, int button);
    void clicked(QWidget *cell);

    QObject *context;
    QPointer<QTableView> view;
    QVector<Button> buttons;
    // Every cell widget made so far, installed or parked; the view's viewport owns them.
    QHash<QWidget *, Cell> cells;
    QVector<QList<QWidget *>> parked;
};

#endif // ROWBUTTONS_H
