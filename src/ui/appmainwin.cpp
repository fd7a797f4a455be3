#include "ui/appmainwin.h"

#include "app/verantisterminalapp.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "models/appcommandtabledelegate.h"
#include "models/appcommandtablemodel.h"
#include "models/appdevicetabledelegate.h"
#include "models/appdevicetablemodel.h"
#include "models/apphistorytablemodel.h"
#include "serial/serialsettings.h"
#include "ui/appmainwinform.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

AppMainWin::AppMainWin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::AppMainWin)
    , deviceModel(nullptr)
    , commandModel(nullptr)
    , historyModel(nullptr)
    , deviceDelegate(nullptr)
    , commandDelegate(nullptr)
{
    ui->setupUi(this);

    ui->portCombo->addItems(portNameTexts());
    ui->baudRateCombo->addItems(baudRateTexts());
    ui->baudRateCombo->setCurrentText(QStringLiteral("9600"));
    ui->dataBitsCombo->addItems(dataBitsTexts());
    ui->dataBitsCombo->setCurrentText(QStringLiteral("8"));
    ui->stopBitsCombo->addItems(stopBitsTexts);
    ui->stopBitsCombo->setCurrentIndex(0);
    ui->parityCombo->addItems(parityTexts);
    ui->parityCombo->setCurrentText(QStringLiteral("None"));
    ui->flowControlCombo->addItems(flowControlTexts);
    ui->flowControlCombo->setCurrentText(QStringLiteral("OFF"));

    connect(ui->deviceOpenBtn, &QPushButton::clicked, this, &AppMainWin::onDeviceOpenBtnClicked);
    connect(ui->deviceSaveBtn, &QPushButton::clicked, this, &AppMainWin::onDeviceSaveBtnClicked);
    connect(ui->commandSaveBtn, &QPushButton::clicked, this, &AppMainWin::onCommandSaveBtnClicked);
    connect(ui->hexEdit, &QLineEdit::editingFinished, this, &AppMainWin::onHEXChanged);
    connect(ui->asciiEdit, &QLineEdit::editingFinished, this, &AppMainWin::onASCIIChanged);
    connect(ui->clearHistoryBtn, &QPushButton::clicked, this, &AppMainWin::onClearBtnClicked);
    connect(ui->saveHistoryBtn, &QPushButton::clicked, this, &AppMainWin::onSaveHistoryBtnCLicked);

    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();

    deviceModel = new AppDeviceTableModel(store->loadDevices());
    connect(
        deviceModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, &AppMainWin::onDeviceRemoved);
    ui->deviceTable->setModel(deviceModel);
    deviceDelegate = new AppDeviceTableDelegate(ui->deviceTable);
    ui->deviceTable->setItemDelegate(deviceDelegate);

    commandModel = new AppCommandTableModel(store->loadCommands());
    connect(commandModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        &AppMainWin::onCommandRemoved);
    ui->commandTable->setModel(commandModel);
    commandDelegate = new AppCommandTableDelegate(ui->commandTable);
    ui->commandTable->setItemDelegate(commandDelegate);

    // The history is never persisted: every run starts with an empty one.
    historyModel = new AppHistoryTableModel(new QList<AppTableData *>());
    ui->historyTable->setModel(historyModel);

    adjustSize();
}

AppMainWin::~AppMainWin()
{
    // Fields losing the focus while the window is taken down must not call back into it.
    disconnect(ui->hexEdit, nullptr, this, nullptr);
    disconnect(ui->asciiEdit, nullptr, this, nullptr);
    delete ui;
    // The tables (and the button widgets in their cells) go first, so no view is left pointing
    // at a deleted model or delegate; the terminal dialogs go with the base class afterwards.
    delete takeCentralWidget();
    delete commandDelegate;
    delete deviceDelegate;
    delete historyModel;
    delete commandModel;
    delete deviceModel;
}

void AppMainWin::addHistory(AppHistoryData *record)
{
    historyModel->addData(record);
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
