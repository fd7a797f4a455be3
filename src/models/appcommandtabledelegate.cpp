#include "models/appcommandtabledelegate.h"

#include "models/appabstracttablemodel.h"
#include "models/rowbuttons.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>

namespace {

enum Column {
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
    return new QLineEdit(parent);
}

void AppCommandTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(editor))
        edit->setText(index.model()->data(index, Qt::EditRole).toString());
}

void AppCommandTableDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *edit = qobject_cast<QLineEdit *>(editor))
        model->setData(index, edit->text(), Qt::EditRole);
}

void AppCommandTableDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (!rowButtons->park(editor))
        QStyledItemDelegate::destroyEditor(editor, index);
}
