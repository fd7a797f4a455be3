#include "ui/appmainwin.h"

#include "data/apphistorydata.h"

// Placeholder until the form lands: an empty window so the program starts and closes normally.
namespace Ui {
class AppMainWin
{
};
} // namespace Ui

AppMainWin::AppMainWin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::AppMainWin)
{
    setObjectName(QStringLiteral("AppMainWin"));
    setWindowTitle(tr("Verantis Terminal"));
    resize(960, 589);
}

AppMainWin::~AppMainWin()
{
    delete ui;
}

void AppMainWin::addHistory(AppHistoryData *record)
{
    delete record;
}

void AppMainWin::onDeviceSaveBtnClicked() { }
void AppMainWin::onDeviceOpenBtnClicked() { }
void AppMainWin::onCommandSaveBtnClicked() { }
void AppMainWin::onHEXChanged() { }
void AppMainWin::onASCIIChanged() { }
void AppMainWin::onClearBtnClicked() { }
void AppMainWin::onSaveHistoryBtnCLicked() { }
void AppMainWin::onCommandRemoved(QModelIndex, int, int) { }
void AppMainWin::onDeviceRemoved(QModelIndex, int, int) { }
