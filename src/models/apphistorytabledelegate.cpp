#include "models/apphistorytabledelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

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

bool AppHistoryTableDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem shown = option;
    initStyleOption(&shown, index);
    // The style's own margins around the text, with room to spare.
    const int margin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    if (shown.text.isEmpty()
        || shown.fontMetrics.horizontalAdvance(shown.text) + margin <= option.rect.width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), shown.text, view, option.rect);
    return true;
}
