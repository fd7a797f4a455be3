#include "models/apphistorytabledelegate.h"

AppHistoryTableDelegate::AppHistoryTableDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

AppHistoryTableDelegate::~AppHistoryTableDelegate() = default;

void AppHistoryTableDelegate::initStyleOption(
    QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->text.size() > MaxShownCharacters)
        option->text.truncate(MaxShownCharacters);
}
