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
// The buttons are real widgets, so they take the window's style sheet, hover, keyboard focus and
// accessible names like every other button. Only the rows in view have them: a cell that scrolls
// out of view is taken back and given to a row that scrolls in, so a table of ten thousand rows
// costs a screenful of buttons. They are installed when rows come into view, never while
// painting: installing an index widget relayouts the view, and doing that from paint() repaints
// it for ever. Each button finds its row when it is clicked, so after rows above it have gone
// it still acts on the row it is shown in.
//
// The buttons take no focus of their own: Tab moves between the tables and the forms rather than
// through every row. In the view, the arrow keys move to a button's cell, which is marked, and
// Return or Space presses it. A second click within the double-click interval never acts on a
// row other than the first click's: after a deletion that is the row that moved under the
// pointer.
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

    // Installs the buttons in the rows of the view's current model that are in view now, and
    // keeps them on the rows in view as the view scrolls, resizes or the model changes, for as
    // long as `context` lives. Also makes the rows tall enough for the buttons.
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
    // Moves the cells to the rows now in view. Costs what is in view, not what the model holds.
    void followView();
    void keepFocusOffCell(QWidget *cell);
    void installRows(int first, int last);
    void install(const QModelIndex &index, int button);
    void clicked(QWidget *cell);
    // Whether a mouse press on the button in `cell` is the second click of a double-click (or
    // comes as soon) on another row than the first: it is dropped then.
    bool refusePress(QWidget *cell, ulong timestamp, bool doubleClick) const;
    void released(QWidget *cell, ulong timestamp);
    // Runs the action of the button in the cell of `index`, as if it were pressed.
    void press(const QPersistentModelIndex &index, int button);
    // Marks the button of the view's current cell while the view has the focus.
    void markCurrent();
    int buttonOfColumn(int column) const;

    QObject *context;
    QPointer<QTableView> view;
    QVector<Button> buttons;
    // Every cell widget made so far, installed or parked; the view's viewport owns them.
    QHash<QWidget *, Cell> cells;
    QVector<QList<QWidget *>> parked;
    // Watches the viewport's size, and the view's keys and focus.
    QPointer<QObject> resizeWatch;
    QPointer<QObject> keyWatch;
    QPointer<QObject> clickWatch;
    // When a button was last released by the mouse (the event's time), and on which row.
    bool anyRelease;
    ulong lastRelease;
    QPersistentModelIndex lastClicked;
};

#endif // ROWBUTTONS_H
