#include "models/appdevicetabledelegate.h"

AppDeviceTableDelegate::AppDeviceTableDelegate(QTableView *view)
    : QStyledItemDelegate(nullptr)
    , view(view)
{
}

AppDeviceTableDelegate::~AppDeviceTableDelegate() = default;

void AppDeviceTableDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *AppDeviceTableDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void AppDeviceTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    QStyledItemDelegate::setEditorData(editor, index);
}

void AppDeviceTableDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    QStyledItemDelegate::setModelData(editor, model, index);
}
