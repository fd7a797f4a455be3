#ifndef ROWBUTTONS_H
#define ROWBUTTONS_H

#include <QString>
#include <QVector>

#include <functional>

class AppAbstractTableModel;
class QObject;
class QTableView;

// Push buttons in fixed columns of every row of a table view, such as "Delete" and "Open".
//
// The buttons are real widgets, so they take the window's style sheet, hover and keyboard focus
// like every other button. They are installed once per row, when the row appears, never while
// painting: installing an index widget relayouts the view, and doing that from paint() repaints
// it for ever. Each button finds its row when it is clicked, so after rows above it have gone
// it still acts on the row it is shown in.
namespace RowButtons {

// Called with the view's model and the row of the clicked button.
using Action = std::function<void(AppAbstractTableModel *model, int row)>;

struct Button
{
    int column;
    QString text;
    Action action;
};

// Installs the buttons in every row of the view's current model now, and in every row that the
// model inserts or resets later, for as long as `context` lives. Also makes the rows tall enough
// for the buttons.
void keepInstalled(QObject *context, QTableView *view, const QVector<Button> &buttons);

} // namespace RowButtons

#endif // ROWBUTTONS_H
