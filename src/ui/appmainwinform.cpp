#include "ui/appmainwinform.h"

#include "models/settingcombos.h"
#include "ui/stylesheet.h"
#include "ui/wrappingrowlayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMainWindow>
#include <QMetaObject>
#include <QPair>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>

namespace Ui {

namespace {

// A label of the entry forms: caption right-aligned against its field.
QLabel *formLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
    return label;
}

// Sets a size policy without stretch, keeping the widget's own height-for-width flag.
void setFixedStretchPolicy(
    QWidget *widget, QSizePolicy::Policy horizontal, QSizePolicy::Policy vertical)
{
    QSizePolicy policy(horizontal, vertical);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    widget->setSizePolicy(policy);
}

} // namespace

void AppMainWin::setupUi(QMainWindow *AppMainWin)
{
    if (AppMainWin->objectName().isEmpty())
        AppMainWin->setObjectName(QString::fromUtf8("AppMainWin"));
    AppMainWin->resize(960, 589);
    AppMainWin->setStyleSheet(mainWindowStyleSheet());

    centralWidget = new QWidget(AppMainWin);
    centralWidget->setObjectName(QString::fromUtf8("centralWidget"));
    verticalLayout = new QVBoxLayout(centralWidget);
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(11, 11, 11, 11);
    verticalLayout->setObjectName(QString::fromUtf8("verticalLayout"));

    // Row 1: the device entry form; on a narrow screen it goes on over a second line from Stop
    // Bits on, so the whole window fits.
    horizontalLayout_2 = new WrappingRowLayout(8);
    horizontalLayout_2->setSpacing(6);
    horizontalLayout_2->setObjectName(QString::fromUtf8("horizontalLayout_2"));
    label_10 = formLabel(centralWidget, "label_10");
    horizontalLayout_2->addWidget(label_10);
    deviceNameEdit = new QLineEdit(centralWidget);
    deviceNameEdit->setObjectName(QString::fromUtf8("deviceNameEdit"));
    setFixedStretchPolicy(deviceNameEdit, QSizePolicy::Minimum, QSizePolicy::Fixed);
    deviceNameEdit->setMinimumSize(QSize(120, 0));
    horizontalLayout_2->addWidget(deviceNameEdit);
    label_4 = formLabel(centralWidget, "label_4");
    horizontalLayout_2->addWidget(label_4);
    portCombo = new PortCombo(centralWidget);
    portCombo->setObjectName(QString::fromUtf8("portCombo"));
    horizontalLayout_2->addWidget(portCombo);
    label_5 = formLabel(centralWidget, "label_5");
    horizontalLayout_2->addWidget(label_5);
    baudRateCombo = new QComboBox(centralWidget);
    baudRateCombo->setObjectName(QString::fromUtf8("baudRateCombo"));
    horizontalLayout_2->addWidget(baudRateCombo);
    label_6 = formLabel(centralWidget, "label_6");
    horizontalLayout_2->addWidget(label_6);
    dataBitsCombo = new QComboBox(centralWidget);
    dataBitsCombo->setObjectName(QString::fromUtf8("dataBitsCombo"));
    horizontalLayout_2->addWidget(dataBitsCombo);
    label_7 = formLabel(centralWidget, "label_7");
    horizontalLayout_2->addWidget(label_7);
    stopBitsCombo = new QComboBox(centralWidget);
    stopBitsCombo->setObjectName(QString::fromUtf8("stopBitsCombo"));
    horizontalLayout_2->addWidget(stopBitsCombo);
    label_8 = formLabel(centralWidget, "label_8");
    horizontalLayout_2->addWidget(label_8);
    parityCombo = new QComboBox(centralWidget);
    parityCombo->setObjectName(QString::fromUtf8("parityCombo"));
    horizontalLayout_2->addWidget(parityCombo);
    label_9 = formLabel(centralWidget, "label_9");
    horizontalLayout_2->addWidget(label_9);
    flowControlCombo = new QComboBox(centralWidget);
    flowControlCombo->setObjectName(QString::fromUtf8("flowControlCombo"));
    horizontalLayout_2->addWidget(flowControlCombo);
    deviceOpenBtn = new QPushButton(centralWidget);
    deviceOpenBtn->setObjectName(QString::fromUtf8("deviceOpenBtn"));
    horizontalLayout_2->addWidget(deviceOpenBtn);
    deviceSaveBtn = new QPushButton(centralWidget);
    deviceSaveBtn->setObjectName(QString::fromUtf8("deviceSaveBtn"));
    setFixedStretchPolicy(deviceSaveBtn, QSizePolicy::Minimum, QSizePolicy::Fixed);
    horizontalLayout_2->addWidget(deviceSaveBtn);
    verticalLayout->addLayout(horizontalLayout_2);

    // Row 2: the command entry form.
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setSpacing(6);
    horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
    label = formLabel(centralWidget, "label");
    horizontalLayout->addWidget(label);
    commandNameEdit = new QLineEdit(centralWidget);
    commandNameEdit->setObjectName(QString::fromUtf8("commandNameEdit"));
    setFixedStretchPolicy(commandNameEdit, QSizePolicy::Minimum, QSizePolicy::Fixed);
    commandNameEdit->setMinimumSize(QSize(120, 0));
    horizontalLayout->addWidget(commandNameEdit);
    label_2 = formLabel(centralWidget, "label_2");
    horizontalLayout->addWidget(label_2);
    hexEdit = new QLineEdit(centralWidget);
    hexEdit->setObjectName(QString::fromUtf8("hexEdit"));
    // Either field holds whatever the other needs: HEX takes two characters per byte.
    hexEdit->setMaxLength(std::numeric_limits<int>::max());
    horizontalLayout->addWidget(hexEdit);
    label_3 = formLabel(centralWidget, "label_3");
    horizontalLayout->addWidget(label_3);
    asciiEdit = new QLineEdit(centralWidget);
    asciiEdit->setObjectName(QString::fromUtf8("asciiEdit"));
    // Either field holds whatever the other needs: HEX takes two characters per byte.
    asciiEdit->setMaxLength(std::numeric_limits<int>::max());
    horizontalLayout->addWidget(asciiEdit);
    commandSaveBtn = new QPushButton(centralWidget);
    commandSaveBtn->setObjectName(QString::fromUtf8("commandSaveBtn"));
    horizontalLayout->addWidget(commandSaveBtn);
    verticalLayout->addLayout(horizontalLayout);

    // Rows 3 to 6: the saved devices and the saved commands.
    label_11 = new QLabel(centralWidget);
    label_11->setObjectName(QString::fromUtf8("label_11"));
    verticalLayout->addWidget(label_11);
    deviceTable = new QTableView(centralWidget);
    deviceTable->setObjectName(QString::fromUtf8("deviceTable"));
    deviceTable->horizontalHeader()->setCascadingSectionResizes(true);
    deviceTable->horizontalHeader()->setDefaultSectionSize(100);
    deviceTable->horizontalHeader()->setMinimumSectionSize(39);
    deviceTable->horizontalHeader()->setProperty("showSortIndicator", QVariant(false));
    deviceTable->horizontalHeader()->setStretchLastSection(true);
    verticalLayout->addWidget(deviceTable);
    label_12 = new QLabel(centralWidget);
    label_12->setObjectName(QString::fromUtf8("label_12"));
    verticalLayout->addWidget(label_12);
    commandTable = new QTableView(centralWidget);
    commandTable->setObjectName(QString::fromUtf8("commandTable"));
    commandTable->horizontalHeader()->setCascadingSectionResizes(true);
    commandTable->horizontalHeader()->setStretchLastSection(true);
    verticalLayout->addWidget(commandTable);

    // Rows 7 and 8: the history and its buttons.
    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setSpacing(6);
    horizontalLayout_3->setObjectName(QString::fromUtf8("horizontalLayout_3"));
    label_13 = new QLabel(centralWidget);
    label_13->setObjectName(QString::fromUtf8("label_13"));
    label_13->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignBottom);
    horizontalLayout_3->addWidget(label_13);
    historyPortFilter = new QComboBox(centralWidget);
    historyPortFilter->setObjectName(QString::fromUtf8("historyPortFilter"));
    historyPortFilter->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    horizontalLayout_3->addWidget(historyPortFilter);
    historyDirFilter = new QComboBox(centralWidget);
    historyDirFilter->setObjectName(QString::fromUtf8("historyDirFilter"));
    horizontalLayout_3->addWidget(historyDirFilter);
    saveShownCheck = new QCheckBox(centralWidget);
    saveShownCheck->setObjectName(QString::fromUtf8("saveShownCheck"));
    horizontalLayout_3->addWidget(saveShownCheck);
    saveHistoryBtn = new QPushButton(centralWidget);
    saveHistoryBtn->setObjectName(QString::fromUtf8("saveHistoryBtn"));
    setFixedStretchPolicy(saveHistoryBtn, QSizePolicy::Fixed, QSizePolicy::Fixed);
    horizontalLayout_3->addWidget(saveHistoryBtn);
    clearHistoryBtn = new QPushButton(centralWidget);
    clearHistoryBtn->setObjectName(QString::fromUtf8("clearHistoryBtn"));
    setFixedStretchPolicy(clearHistoryBtn, QSizePolicy::Fixed, QSizePolicy::Preferred);
    horizontalLayout_3->addWidget(clearHistoryBtn);
    verticalLayout->addLayout(horizontalLayout_3);
    historyFindRow = new QHBoxLayout();
    historyFindRow->setObjectName(QString::fromUtf8("historyFindRow"));
    verticalLayout->addLayout(historyFindRow);
    historyTable = new QTableView(centralWidget);
    historyTable->setObjectName(QString::fromUtf8("historyTable"));
    historyTable->horizontalHeader()->setCascadingSectionResizes(true);
    historyTable->horizontalHeader()->setDefaultSectionSize(80);
    historyTable->horizontalHeader()->setStretchLastSection(true);
    // The table's own vertical bar spans only the rows it holds; this one spans the whole
    // history, beside it.
    historyRow = new QHBoxLayout();
    historyRow->setSpacing(0);
    historyRow->setObjectName(QString::fromUtf8("historyRow"));
    historyRow->addWidget(historyTable);
    historyScrollBar = new QScrollBar(Qt::Vertical, centralWidget);
    historyScrollBar->setObjectName(QString::fromUtf8("historyScrollBar"));
    historyRow->addWidget(historyScrollBar);
    verticalLayout->addLayout(historyRow);

    // Tab goes from table to table and on to the forms; the arrow keys move within a table.
    for (QTableView *table : { deviceTable, commandTable, historyTable })
        table->setTabKeyNavigation(false);
    // Each caption names its field, also for mnemonics and screen readers.
    const QList<QPair<QLabel *, QWidget *>> buddies { { label_10, deviceNameEdit },
        { label_4, portCombo }, { label_5, baudRateCombo }, { label_6, dataBitsCombo },
        { label_7, stopBitsCombo }, { label_8, parityCombo }, { label_9, flowControlCombo },
        { label, commandNameEdit }, { label_2, hexEdit }, { label_3, asciiEdit },
        { label_11, deviceTable }, { label_12, commandTable }, { label_13, historyTable } };
    for (const auto &buddy : buddies)
        buddy.first->setBuddy(buddy.second);

    AppMainWin->setCentralWidget(centralWidget);

    retranslateUi(AppMainWin);

    QMetaObject::connectSlotsByName(AppMainWin);
}

void AppMainWin::retranslateUi(QMainWindow *AppMainWin)
{
    AppMainWin->setWindowTitle(QCoreApplication::translate("AppMainWin", "Verantis Terminal"));
    label_10->setText(QCoreApplication::translate("AppMainWin", "Device Name"));
    label_4->setText(QCoreApplication::translate("AppMainWin", "Port"));
    label_5->setText(QCoreApplication::translate("AppMainWin", "BaudRate"));
    label_6->setText(QCoreApplication::translate("AppMainWin", "Data Bits"));
    label_7->setText(QCoreApplication::translate("AppMainWin", "Stop Bits"));
    label_8->setText(QCoreApplication::translate("AppMainWin", "Parity"));
    label_9->setText(QCoreApplication::translate("AppMainWin", "Flow Control"));
    deviceOpenBtn->setText(QCoreApplication::translate("AppMainWin", "Open"));
    deviceSaveBtn->setText(QCoreApplication::translate("AppMainWin", "Save"));
    label->setText(QCoreApplication::translate("AppMainWin", "Command Name"));
    label_2->setText(QCoreApplication::translate("AppMainWin", "HEX"));
    label_3->setText(QCoreApplication::translate("AppMainWin", "ASCII"));
    commandSaveBtn->setText(QCoreApplication::translate("AppMainWin", "Save"));
    label_11->setText(QCoreApplication::translate("AppMainWin", "Saved Devices"));
    label_12->setText(QCoreApplication::translate("AppMainWin", "Saved Commands"));
    label_13->setText(QCoreApplication::translate("AppMainWin", "History"));
    saveHistoryBtn->setText(QCoreApplication::translate("AppMainWin", "Save History"));
    clearHistoryBtn->setText(QCoreApplication::translate("AppMainWin", "Clear History"));
    saveShownCheck->setText(QCoreApplication::translate("AppMainWin", "Save shown rows only"));
    historyPortFilter->setAccessibleName(QCoreApplication::translate("AppMainWin", "Port shown"));
    historyDirFilter->setAccessibleName(
        QCoreApplication::translate("AppMainWin", "Direction shown"));
    // The two Save buttons look alike; their names say which form they save. A field or table
    // is named by its caption, not by the value it shows.
    deviceSaveBtn->setAccessibleName(QCoreApplication::translate("AppMainWin", "Save device"));
    commandSaveBtn->setAccessibleName(QCoreApplication::translate("AppMainWin", "Save command"));
    for (QLabel *caption : { label_10, label_4, label_5, label_6, label_7, label_8, label_9, label,
             label_2, label_3, label_11, label_12, label_13 })
        caption->buddy()->setAccessibleName(caption->text());
}

} // namespace Ui
