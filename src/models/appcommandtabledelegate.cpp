#include "models/appcommandtabledelegate.h"

AppCommandTableDelegate::AppCommandTableDelegate(QTableView *view)
    : QStyledItemDelegate(nullptr)
    , view(view)
{
}

AppCommandTableDelegate::~AppCommandTableDelegate() = default;

void AppCommandTableDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *AppCommandTableDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void AppCommandTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    QStyledItemDelegate::setEditorData(editor, index);
}

void AppCommandTableDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    QStyledItemDelegate::setModelData(editor, model, index);
}
