#include "ui/appdevicedialogform.h"

#include "ui/stylesheet.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextEdit>
#include <QVBoxLayout>

namespace Ui {

void AppDeviceDialog::setupUi(QDialog *AppDeviceDialog)
{
    if (AppDeviceDialog->objectName().isEmpty())
        AppDeviceDialog->setObjectName(QString::fromUtf8("AppDeviceDialog"));
    AppDeviceDialog->resize(400, 332);
    AppDeviceDialog->setMinimumSize(QSize(400, 0));
    AppDeviceDialog->setStyleSheet(deviceDialogStyleSheet());
    verticalLayout = new QVBoxLayout(AppDeviceDialog);
    verticalLayout->setObjectName(QString::fromUtf8("verticalLayout"));

    // Rows 1 to 3: the device's name and settings.
    deviceNameLabel = new QLabel(AppDeviceDialog);
    deviceNameLabel->setObjectName(QString::fromUtf8("deviceNameLabel"));
    deviceNameLabel->setAlignment(Qt::AlignCenter);
    verticalLayout->addWidget(deviceNameLabel);

    horizontalLayout_4 = new QHBoxLayout();
    horizontalLayout_4->setObjectName(QString::fromUtf8("horizontalLayout_4"));
    portNumLabel = new QLabel(AppDeviceDialog);
    portNumLabel->setObjectName(QString::fromUtf8("portNumLabel"));
    horizontalLayout_4->addWidget(portNumLabel);
    baudRateLabel = new QLabel(AppDeviceDialog);
    baudRateLabel->setObjectName(QString::fromUtf8("baudRateLabel"));
    horizontalLayout_4->addWidget(baudRateLabel);
    dataBitsLabel = new QLabel(AppDeviceDialog);
    dataBitsLabel->setObjectName(QString::fromUtf8("dataBitsLabel"));
    horizontalLayout_4->addWidget(dataBitsLabel);
    verticalLayout->addLayout(horizontalLayout_4);

    horizontalLayout_5 = new QHBoxLayout();
    horizontalLayout_5->setObjectName(QString::fromUtf8("horizontalLayout_5"));
    stopBitsLabel = new QLabel(AppDeviceDialog);
    stopBitsLabel->setObjectName(QString::fromUtf8("stopBitsLabel"));
    horizontalLayout_5->addWidget(stopBitsLabel);
    parityLabel = new QLabel(AppDeviceDialog);
    parityLabel->setObjectName(QString::fromUtf8("parityLabel"));
    horizontalLayout_5->addWidget(parityLabel);
    flowControlLabel = new QLabel(AppDeviceDialog);
    flowControlLabel->setObjectName(QString::fromUtf8("flowControlLabel"));
    horizontalLayout_5->addWidget(flowControlLabel);
    verticalLayout->addLayout(horizontalLayout_5);

    // The line's own controls and indicators.
    lineRow = new QHBoxLayout();
    lineRow->setObjectName(QString::fromUtf8("lineRow"));
    verticalLayout->addLayout(lineRow);

    // Row 4: the saved commands. Load is reached with Tab or Alt+L; a click keeps the focus
    // where it is.
    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
    label = new QLabel(AppDeviceDialog);
    label->setObjectName(QString::fromUtf8("label"));
    horizontalLayout->addWidget(label);
    savedCommandsCombo = new QComboBox(AppDeviceDialog);
    savedCommandsCombo->setObjectName(QString::fromUtf8("savedCommandsCombo"));
    QSizePolicy comboPolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    comboPolicy.setHorizontalStretch(0);
    comboPolicy.setVerticalStretch(0);
    comboPolicy.setHeightForWidth(savedCommandsCombo->sizePolicy().hasHeightForWidth());
    savedCommandsCombo->setSizePolicy(comboPolicy);
    horizontalLayout->addWidget(savedCommandsCombo);
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout->addItem(horizontalSpacer);
    loadCommandBtn = new QPushButton(AppDeviceDialog);
    loadCommandBtn->setObjectName(QString::fromUtf8("loadCommandBtn"));
    loadCommandBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout->addWidget(loadCommandBtn);
    verticalLayout->addLayout(horizontalLayout);

    // Row 5: the bytes to send. A click on Send leaves the field being edited unfinished.
    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QString::fromUtf8("horizontalLayout_2"));
    label_3 = new QLabel(AppDeviceDialog);
    label_3->setObjectName(QString::fromUtf8("label_3"));
    horizontalLayout_2->addWidget(label_3);
    hexEdit = new QLineEdit(AppDeviceDialog);
    hexEdit->setObjectName(QString::fromUtf8("hexEdit"));
    // Either field holds whatever the other needs: HEX takes two characters per byte.
    hexEdit->setMaxLength(std::numeric_limits<int>::max());
    horizontalLayout_2->addWidget(hexEdit);
    label_4 = new QLabel(AppDeviceDialog);
    label_4->setObjectName(QString::fromUtf8("label_4"));
    horizontalLayout_2->addWidget(label_4);
    asciiEdit = new QLineEdit(AppDeviceDialog);
    asciiEdit->setObjectName(QString::fromUtf8("asciiEdit"));
    // Either field holds whatever the other needs: HEX takes two characters per byte.
    asciiEdit->setMaxLength(std::numeric_limits<int>::max());
    horizontalLayout_2->addWidget(asciiEdit);
    sendBtn = new QPushButton(AppDeviceDialog);
    sendBtn->setObjectName(QString::fromUtf8("sendBtn"));
    sendBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout_2->addWidget(sendBtn);
    verticalLayout->addLayout(horizontalLayout_2);

    // How the bytes go: line ending, repeat, files.
    sendRow = new QHBoxLayout();
    sendRow->setObjectName(QString::fromUtf8("sendRow"));
    verticalLayout->addLayout(sendRow);

    // How the log is shown.
    viewRow = new QHBoxLayout();
    viewRow->setObjectName(QString::fromUtf8("viewRow"));
    verticalLayout->addLayout(viewRow);

    // Find in the log.
    findRow = new QHBoxLayout();
    findRow->setObjectName(QString::fromUtf8("findRow"));
    verticalLayout->addLayout(findRow);

    // Row 6: the traffic log.
    logText = new QTextEdit(AppDeviceDialog);
    logText->setObjectName(QString::fromUtf8("logText"));
    verticalLayout->addWidget(logText);

    // Row 7: the log's buttons.
    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QString::fromUtf8("horizontalLayout_3"));
    clearBtn = new QPushButton(AppDeviceDialog);
    clearBtn->setObjectName(QString::fromUtf8("clearBtn"));
    clearBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout_3->addWidget(clearBtn);
    clipBoardBtn = new QPushButton(AppDeviceDialog);
    clipBoardBtn->setObjectName(QString::fromUtf8("clipBoardBtn"));
    clipBoardBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout_3->addWidget(clipBoardBtn);
    copyViewBtn = new QPushButton(AppDeviceDialog);
    copyViewBtn->setObjectName(QString::fromUtf8("copyViewBtn"));
    copyViewBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout_3->addWidget(copyViewBtn);
    closeBtn = new QPushButton(AppDeviceDialog);
    closeBtn->setObjectName(QString::fromUtf8("closeBtn"));
    closeBtn->setFocusPolicy(Qt::TabFocus);
    horizontalLayout_3->addWidget(closeBtn);
    verticalLayout->addLayout(horizontalLayout_3);

    // Logging to a file.
    logFileRow = new QHBoxLayout();
    logFileRow->setObjectName(QString::fromUtf8("logFileRow"));
    verticalLayout->addLayout(logFileRow);

    label->setBuddy(savedCommandsCombo);
    label_3->setBuddy(hexEdit);
    label_4->setBuddy(asciiEdit);

    retranslateUi(AppDeviceDialog);

    QMetaObject::connectSlotsByName(AppDeviceDialog);
}

void AppDeviceDialog::retranslateUi(QDialog *AppDeviceDialog)
{
    AppDeviceDialog->setWindowTitle(
        QCoreApplication::translate("AppDeviceDialog", "Verantis Terminal"));
    deviceNameLabel->setText(QCoreApplication::translate("AppDeviceDialog", "Verantis"));
    portNumLabel->setText(QCoreApplication::translate("AppDeviceDialog", "Port : COM1"));
    baudRateLabel->setText(QCoreApplication::translate("AppDeviceDialog", "BaudRate : 9600"));
    dataBitsLabel->setText(QCoreApplication::translate("AppDeviceDialog", "Data Bits : 8"));
    stopBitsLabel->setText(QCoreApplication::translate("AppDeviceDialog", "Stop Bits : 1"));
    parityLabel->setText(QCoreApplication::translate("AppDeviceDialog", "Parity : Odd"));
    flowControlLabel->setText(
        QCoreApplication::translate("AppDeviceDialog", "Flow Control : RTS/CTS"));
    label->setText(QCoreApplication::translate("AppDeviceDialog", "Saved Commands"));
    loadCommandBtn->setText(QCoreApplication::translate("AppDeviceDialog", "&Load"));
    label_3->setText(QCoreApplication::translate("AppDeviceDialog", "HEX"));
    label_4->setText(QCoreApplication::translate("AppDeviceDialog", "ASCII"));
    sendBtn->setText(QCoreApplication::translate("AppDeviceDialog", "Send"));
    clearBtn->setText(QCoreApplication::translate("AppDeviceDialog", "Clear"));
    clipBoardBtn->setText(QCoreApplication::translate("AppDeviceDialog", "Copy To Clipboard"));
    copyViewBtn->setText(QCoreApplication::translate("AppDeviceDialog", "Copy View"));
    closeBtn->setText(QCoreApplication::translate("AppDeviceDialog", "Close"));
    // A field is named by its caption, not by the value it shows.
    for (QLabel *caption : { label, label_3, label_4 })
        caption->buddy()->setAccessibleName(caption->text());
    logText->setAccessibleName(QCoreApplication::translate("AppDeviceDialog", "Log"));
}

} // namespace Ui
