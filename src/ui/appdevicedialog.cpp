#include "ui/appdevicedialog.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/serialsettings.h"
#include "ui/appdevicedialogform.h"
#include "ui/appmainwin.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AppDeviceDialog::AppDeviceDialog(AppMainWin *parent, AppDevice *device)
    : QDialog(parent)
    , ui(new Ui::AppDeviceDialog)
    , device(device)
    , mainWin(parent)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    const AppDeviceData *record = device->deviceData();
    ui->deviceNameLabel->setText(
        record->name().isEmpty() ? QStringLiteral("No device name") : record->name());
    ui->portNumLabel->setText(QStringLiteral("Port Name:") + record->portName());
    ui->baudRateLabel->setText(QStringLiteral("BaudRate:") + QString::number(record->baudRate()));
    ui->dataBitsLabel->setText(QStringLiteral("Data Bits:") + QString::number(record->dataBits()));
    ui->stopBitsLabel->setText(
        QStringLiteral("Stop Bits:") + settingText(stopBitsTexts, record->stopBits()));
    ui->parityLabel->setText(
        QStringLiteral("Parity:") + settingText(parityTexts, record->parity()));
    ui->flowControlLabel->setText(
        QStringLiteral("Flow Control:") + settingText(flowControlTexts, record->flowControl()));

    connect(device, &AppDevice::onDeviceDisconnected, this, &AppDeviceDialog::onDeviceDisconnected);
    connect(device, &AppDevice::onDeviceError, this, &AppDeviceDialog::onDeviceError);
    connect(device, &AppDevice::onDataFull, this, &AppDeviceDialog::onDeviceFullToRead);
    connect(ui->hexEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onHEXChanged);
    connect(ui->asciiEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onASCIIChanged);
    connect(ui->sendBtn, &QPushButton::clicked, this, &AppDeviceDialog::onSendBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &AppDeviceDialog::close);
    connect(ui->clearBtn, &QPushButton::clicked, this, &AppDeviceDialog::onClearBtnClicked);
    connect(ui->clipBoardBtn, &QPushButton::clicked, this, &AppDeviceDialog::onCopyToClipBoard);
    connect(ui->loadCommandBtn, &QPushButton::clicked, this, &AppDeviceDialog::onLoadBtnClicked);

    loadSavedCommands();
}

AppDeviceDialog::~AppDeviceDialog()
{
    // QDialog hides itself after this destructor has run; a field losing the focus then must not
    // call back into the half-destroyed dialog.
    disconnect(ui->hexEdit, nullptr, this, nullptr);
    disconnect(ui->asciiEdit, nullptr, this, nullptr);
    delete ui;
}

// Read once: commands saved or deleted later in the main window do not reach an open terminal.
void AppDeviceDialog::loadSavedCommands()
{
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();
    for (int i = 0; i < store->commandCount(); ++i)
        ui->savedCommandsCombo->addItem(store->commandNameAt(i));
}

void AppDeviceDialog::closeEvent(QCloseEvent *) { }
void AppDeviceDialog::onDeviceDisconnected() { }
void AppDeviceDialog::onDeviceError() { }
void AppDeviceDialog::onDeviceFullToRead(QByteArray) { }
void AppDeviceDialog::onSendBtnClicked() { }
void AppDeviceDialog::onHEXChanged() { }
void AppDeviceDialog::onASCIIChanged() { }
void AppDeviceDialog::onClearBtnClicked() { }
void AppDeviceDialog::onCopyToClipBoard() { }
void AppDeviceDialog::onLoadBtnClicked() { }
