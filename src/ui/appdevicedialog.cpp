#include "ui/appdevicedialog.h"

#include "ui/appmainwin.h"

#include <QCloseEvent>

namespace Ui {
class AppDeviceDialog
{
};
} // namespace Ui

AppDeviceDialog::AppDeviceDialog(AppMainWin *parent, AppDevice *device)
    : QDialog(parent)
    , ui(new Ui::AppDeviceDialog)
    , device(device)
    , mainWin(parent)
{
}

AppDeviceDialog::~AppDeviceDialog()
{
    delete ui;
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
