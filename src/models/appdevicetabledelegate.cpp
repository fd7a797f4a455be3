#include "models/appdevicetabledelegate.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "models/appabstracttablemodel.h"
#include "models/rowbuttons.h"
#include "models/settingcombos.h"
#include "serial/serialsettings.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>

namespace {

enum Column {
    NameColumn = 0,
    PortColumn = 1,
    BaudRateColumn = 2,
    DataBitsColumn = 3,
    StopBitsColumn = 4,
    ParityColumn = 5,
    FlowControlColumn = 6,
    DeleteColumn = 7,
    OpenColumn = 8,
};

QStringList choicesFor(int column)
{
    switch (column) {
    case PortColumn:
        return portNameTexts();
    case BaudRateColumn:
        return baudRateTexts();
    case DataBitsColumn:
        return dataBitsTexts();
    case StopBitsColumn:
        return stopBitsTexts;
    case ParityColumn:
        return parityTexts;
    case FlowControlColumn:
        return flowControlTexts;
    default:
        return QStringList();
    }
}

bool isChoiceColumn(int column)
{
    return column >= PortColumn && column <= FlowControlColumn;
}

} // namespace

AppDeviceTableDelegate::AppDeviceTableDelegate(QTableView *view)
    : QStyledItemDelegate(nullptr)
    , view(view)
    , rowButtons(nullptr)
{
    const QVector<RowButtons::Button> buttons {
        { DeleteColumn, QCoreApplication::translate("AppDeviceTableDelegate", "Delete"),
            [](AppAbstractTableModel *model, int row) {
                model->removeData(row);
            } },
        // The device works on a copy of the record, so the row may be deleted while it is open.
        { OpenColumn, QCoreApplication::translate("AppDeviceTableDelegate", "Open"),
            [](AppAbstractTableModel *model, int row) {
                if (auto *record = static_cast<AppDeviceData *>(model->getData(row)))
                    VerantisTerminalApp::app()->openDevice(record);
            } },
    };
    rowButtons = std::make_unique<RowButtons>(this, view, buttons);
}

AppDeviceTableDelegate::~AppDeviceTableDelegate() = default;

void AppDeviceTableDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // The buttons are widgets of their own, installed on these cells.
    if (index.column() == DeleteColumn || index.column() == OpenColumn)
        return;
    QStyledItemDelegate::paint(painter, option, index);
}

QWidget *AppDeviceTableDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    if (index.column() == NameColumn)
        return new QLineEdit(parent);
    if (index.column() == PortColumn) {
        auto *ports = new PortCombo(parent);
        ports->refreshPorts();
        return ports;
    }
    auto *combo = new QComboBox(parent);
    combo->addItems(choicesFor(index.column()));
    if (index.column() == BaudRateColumn)
        makeBaudRateEditable(combo);
    return combo;
}

void AppDeviceTableDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString value = index.model()->data(index, Qt::EditRole).toString();
    if (index.column() == NameColumn) {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            edit->setText(value);
    } else if (isChoiceColumn(index.column())) {
        if (auto *ports = qobject_cast<PortCombo *>(editor)) {
            // A stored port that is not listed (an adapter unplugged, a hand-edited file) stays
            // the choice, so leaving the cell does not move the device to another port.
            ports->selectPort(value);
        } else if (index.column() == BaudRateColumn) {
            // Likewise a rate the list does not offer is shown as it is and kept.
            if (auto *combo = qobject_cast<QComboBox *>(editor))
                selectBaudRate(combo, value);
        } else if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            // A value the list does not offer (from a hand-edited file) opens on the first
            // entry, also when the editor showed another one before.
            const int position = combo->findText(value);
            combo->setCurrentIndex(position >= 0 ? position : 0);
        }
    }
}

void AppDeviceTableDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    const int column = index.column();
    if (column == NameColumn) {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            model->setData(index, edit->text(), Qt::EditRole);
        return;
    }
    auto *combo = qobject_cast<QComboBox *>(editor);
    if (!combo || !isChoiceColumn(column))
        return;
    switch (column) {
    case PortColumn:
        model->setData(index, combo->currentText(), Qt::EditRole);
        break;
    case BaudRateColumn: {
        const int rate = baudRateFromText(combo->currentText());
        if (rate > 0)
            model->setData(index, rate, Qt::EditRole);
        else
            VerantisTerminalApp::app()->showMessage(baudRateRefusal());
        break;
    }
    case DataBitsColumn:
        model->setData(index, combo->currentText().toInt(nullptr, 10), Qt::EditRole);
        break;
    default:
        // Stop bits, parity and flow control are stored as their position in the list.
        model->setData(index, combo->currentIndex(), Qt::EditRole);
        break;
    }
}

void AppDeviceTableDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (!rowButtons->park(editor))
        QStyledItemDelegate::destroyEditor(editor, index);
}
