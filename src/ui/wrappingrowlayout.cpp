#include "ui/wrappingrowlayout.h"

#include <QLineEdit>
#include <QVector>
#include <QWidget>

WrappingRowLayout::WrappingRowLayout(int wrapAt)
    : wrapAt(wrapAt)
{
}

int WrappingRowLayout::oneLineWidth() const
{
    return QHBoxLayout::sizeHint().width();
}

QSize WrappingRowLayout::lineMinimum(int first, int last) const
{
    int width = 0;
    int height = 0;
    int shown = 0;
    for (int i = first; i < last && i < count(); ++i) {
        QLayoutItem *item = itemAt(i);
        if (item->isEmpty())
            continue;
        width += item->minimumSize().width();
        height = qMax(height, item->minimumSize().height());
        ++shown;
    }
    return QSize(width + qMax(0, shown - 1) * spacing(), height);
}

int WrappingRowLayout::lineHeight(int first, int last) const
{
    int height = 0;
    for (int i = first; i < last && i < count(); ++i) {
        QLayoutItem *item = itemAt(i);
        if (!item->isEmpty())
            height = qMax(height, qMax(item->sizeHint().height(), item->minimumSize().height()));
    }
    return height;
}

int WrappingRowLayout::twoLineHeight() const
{
    return lineHeight(0, wrapAt) + spacing() + lineHeight(wrapAt, count());
}

QSize WrappingRowLayout::minimumSize() const
{
    const QSize first = lineMinimum(0, wrapAt);
    const QSize second = lineMinimum(wrapAt, count());
    const QMargins m = contentsMargins();
    return QSize(qMax(first.width(), second.width()) + m.left() + m.right(),
        twoLineHeight() + m.top() + m.bottom());
}

bool WrappingRowLayout::hasHeightForWidth() const
{
    return true;
}

int WrappingRowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    if (width - m.left() - m.right() >= oneLineWidth())
        return lineHeight(0, count()) + m.top() + m.bottom();
    return twoLineHeight() + m.top() + m.bottom();
}

int WrappingRowLayout::minimumHeightForWidth(int width) const
{
    return heightForWidth(width);
}

void WrappingRowLayout::setGeometry(const QRect &rect)
{
    const QRect inner = rect.marginsRemoved(contentsMargins());
    if (inner.width() >= oneLineWidth()) {
        QHBoxLayout::setGeometry(rect);
        return;
    }
    QLayout::setGeometry(rect);
    const int firstHeight = lineHeight(0, wrapAt);
    placeLine(0, wrapAt, QRect(inner.left(), inner.top(), inner.width(), firstHeight));
    const int top = inner.top() + firstHeight + spacing();
    placeLine(wrapAt, count(), QRect(inner.left(), top, inner.width(), inner.bottom() + 1 - top));
}

void WrappingRowLayout::placeLine(int first, int last, const QRect &line) const
{
    // Every item its minimum, then towards its preferred width, as a box layout shares it.
    QVector<QLayoutItem *> items;
    for (int i = first; i < last && i < count(); ++i) {
        if (!itemAt(i)->isEmpty())
            items.append(itemAt(i));
    }
    if (items.isEmpty())
        return;
    QVector<int> widths;
    int left = line.width() - (items.size() - 1) * spacing();
    for (QLayoutItem *item : qAsConst(items)) {
        widths.append(item->minimumSize().width());
        left -= widths.last();
    }
    int wanted = 0;
    for (int i = 0; i < items.size(); ++i)
        wanted += qMax(0, items.at(i)->sizeHint().width() - widths.at(i));
    for (int i = 0; i < items.size() && left > 0 && wanted > 0; ++i) {
        const int more = qMax(0, items.at(i)->sizeHint().width() - widths.at(i));
        const int given = left >= wanted ? more : int(qint64(more) * left / wanted);
        widths[i] += given;
        wanted -= more;
        left -= given;
    }
    // The rest goes to the text fields, which can use it; choices and buttons keep their size,
    // and a line without a field leaves it free at its end.
    QVector<int> growing;
    for (int i = 0; i < items.size(); ++i) {
        if ((items.at(i)->expandingDirections() & Qt::Horizontal)
            || qobject_cast<QLineEdit *>(items.at(i)->widget()))
            growing.append(i);
    }
    for (int n = 0; n < growing.size() && left > 0; ++n) {
        const int given = left / (growing.size() - n);
        widths[growing.at(n)] += given;
        left -= given;
    }
    int x = line.left();
    for (int i = 0; i < items.size(); ++i) {
        const int width = qMin(widths.at(i), items.at(i)->maximumSize().width());
        items.at(i)->setGeometry(QRect(x, line.top(), width, line.height()));
        x += widths.at(i) + spacing();
    }
}
