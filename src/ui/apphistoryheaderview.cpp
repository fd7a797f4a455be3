#include "ui/apphistoryheaderview.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionHeader>

AppHistoryHeaderView::AppHistoryHeaderView(QWidget *parent)
    : QHeaderView(Qt::Vertical, parent)
{
    // As the table's own header is set up.
    setSectionsClickable(true);
    setHighlightSections(true);
    setSectionResizeMode(QHeaderView::Fixed);
}

AppHistoryHeaderView::~AppHistoryHeaderView() = default;

QSize AppHistoryHeaderView::sizeHint() const
{
    if (cachedHint.isValid())
        return cachedHint;
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.section = 0;
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.textAlignment = defaultAlignment();
    // Room for 99,999,999 rows; more than a long session can gather in memory.
    option.text = QStringLiteral("00000000");
    const QSize section
        = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    cachedHint = QSize(section.width(), qMax(section.height(), defaultSectionSize()));
    return cachedHint;
}

void AppHistoryHeaderView::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        cachedHint = QSize();
        updateGeometry();
        break;
    default:
        break;
    }
    QHeaderView::changeEvent(event);
}
