#include "models/settingcombos.h"

#include "serial/portlist.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionComboBox>

PortCombo::PortCombo(QWidget *parent)
    : QComboBox(parent)
{
}

void PortCombo::refreshPorts()
{
    const QString current = currentText();
    const QList<PortChoice> choices = portChoices(foundPorts());
    const bool blocked = blockSignals(true);
    clear();
    bool separated = false;
    for (const PortChoice &choice : choices) {
        // The found ports above a line, the fixed names below it.
        if (!separated && count() > 0 && choice.name == QLatin1String("COM1")) {
            insertSeparator(count());
            separated = true;
        }
        addItem(choice.name);
        if (!choice.toolTip.isEmpty())
            setItemData(count() - 1, choice.toolTip, Qt::ToolTipRole);
    }
    blockSignals(blocked);
    if (!current.isEmpty())
        selectPort(current);
}

void PortCombo::selectPort(const QString &name)
{
    int position = findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (position < 0) {
        insertItem(0, name);
        setItemData(0, tr("Not found on this system right now"), Qt::ToolTipRole);
        if (itemText(1) == QLatin1String("COM1"))
            insertSeparator(1);
        position = 0;
    }
    setCurrentIndex(position);
}

void PortCombo::showPopup()
{
    refreshPorts();
    QComboBox::showPopup();
    // Some styles open the list scrolled to the current entry, which hides the found ports above
    // COM1; they are what the operator is looking for.
    view()->scrollToTop();
}

void makeBaudRateEditable(QComboBox *combo)
{
    combo->setEditable(true);
    // A typed rate is used, not added to the list for everyone.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), combo));
}

void selectBaudRate(QComboBox *combo, const QString &rate)
{
    const int position = combo->findText(rate, Qt::MatchExactly);
    if (position >= 0)
        combo->setCurrentIndex(position);
    else
        combo->setEditText(rate);
}

void fitToLongestEntry(QComboBox *combo, const QStringList &texts)
{
    // The style sheet's padding and borders count, so measure the widget as it will be drawn.
    combo->ensurePolished();
    const QFontMetrics metrics = combo->fontMetrics();
    int widest = 0;
    for (const QString &text : texts)
        widest = qMax(widest, metrics.horizontalAdvance(text));
    for (int i = 0; texts.isEmpty() && i < combo->count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(combo->itemText(i)));

    // What the frame, padding and arrow take from a combo of any width.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.rect = QRect(0, 0, 400, combo->sizeHint().height());
    const QRect field = combo->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    int chrome = option.rect.width() - field.width();
    if (QLineEdit *edit = combo->lineEdit()) {
        // The line edit inside an editable combo keeps a frame and padding of its own.
        edit->ensurePolished();
        chrome += edit->minimumSizeHint().width() - edit->fontMetrics().maxWidth();
    }
    // A little room, so the last letter is never cut by rounding.
    combo->setMinimumWidth(widest + chrome + 4);
}
