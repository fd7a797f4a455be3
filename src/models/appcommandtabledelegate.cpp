#include "models/appcommandtabledelegate.h"

#include "models/appabstracttablemodel.h"
#include "models/rowbuttons.h"
#include "util/conversion.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <limits>

namespace {

enum Column {
    HexColumn = 1,
    DeleteColumn = 3,
    SpacerColumn = 4,
};

} // namespace

AppCommandTableDelegate::AppCommandTableDelegate(QTableView *view)
    : QStyledItemDelegate(nullptr)
    , view(view)
    , rowButtons(nullptr)
{
    const QVector<RowButtons::Button> buttons {
        { DeleteColumn, QCoreApplication::translate("AppCommandTableDelegate", "Delete"),
            [](AppAbstractTableModel *model, int row) {
                model->removeData(row);
            } },
    };
    rowButtons = std::make_unique<RowButtons>(this, view, buttons);
}

AppCommandTableDelegate::~AppCommandTableDelegate() = default;

void AppCommandTableDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The button is a widget of its own on its cell; the spacer only fills the width.
    if (index.column() == DeleteColumn || index.column() == SpacerColumn)
        return;
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *AppCommandTableDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    // A command's HEX takes two characters per byte: a cut text would be saved as the command.
    auto *edit = new QLineEdit(parent);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

void AppCommandTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return;
    if (refusedCell.isValid() && refusedCell == index) {
        edit->setText(refusedText);
        refusedCell = QPersistentModelIndex();
        return;
    }
    edit->setText(index.model()->data(index, Qt::EditRole).toString());
}

void AppCommandTableDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (!edit)
        return;
    const QString text = edit->text();
    model->setData(index, text, Qt::EditRole);
    // The model refused HEX it cannot read and said why. The view closes the editor all the
    // same, so the cell is opened again with the text as typed, for the operator to correct.
    if (index.column() != HexColumn || readHex(text, nullptr))
        return;
    refusedCell = QPersistentModelIndex(index);
    refusedText = text;
    QTimer::singleShot(0, view, [this] {
        const QPersistentModelIndex cell = refusedCell;
        if (cell.isValid()) {
            view->setCurrentIndex(cell);
            view->edit(cell);
        }
        refusedCell = QPersistentModelIndex();
    });
}

void AppCommandTableDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (!rowButtons->park(editor))
        QStyledItemDelegate::destroyEditor(editor, index);
}
