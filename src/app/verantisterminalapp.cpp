#include "app/verantisterminalapp.h"

#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QIcon>
#include <QMessageBox>

VerantisTerminalApp::VerantisTerminalApp(int &argc, char **argv)
    : QApplication(argc, argv)
    , mainWindow(nullptr)
    , settings(nullptr)
    , devices(nullptr)
{
    // The icon lives in the static library, which the linker would leave out unless referenced.
    Q_INIT_RESOURCE(verantisterminal);
    setWindowIcon(QIcon(QStringLiteral(":/icons/org.verantis.VerantisTerminal.png")));
    // The store comes first: the main window fills its tables from it while it is built.
    settings = new AppSettingsManager();
    devices = new AppDeviceManager();
    mainWindow = new AppMainWin();
    mainWindow->show();
}

VerantisTerminalApp::~VerantisTerminalApp()
{
    // The window takes its terminal dialogs with it; then the open devices are released and the
    // store's files are written back.
    delete mainWindow;
    mainWindow = nullptr;
    // Devices released while the window went are waiting for an event loop that will not run
    // again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete devices;
    devices = nullptr;
    delete settings;
    settings = nullptr;
}

VerantisTerminalApp *VerantisTerminalApp::app()
{
    return qobject_cast<VerantisTerminalApp *>(QCoreApplication::instance());
}

AppSettingsManager *VerantisTerminalApp::settingsManager() const
{
    return settings;
}

AppDeviceManager *VerantisTerminalApp::deviceManager() const
{
    return devices;
}

void VerantisTerminalApp::openDevice(AppDeviceData *device)
{
    auto *appDevice = new AppDevice(device);
    // A failed open has already shown the port's own error text.
    if (!appDevice->open()) {
        delete appDevice;
        return;
    }
    if (!devices->registerDevice(appDevice)) {
        // Never show a terminal for a device the registry refused: closing it would close the
        // device registered under the same port name. Releasing it frees the port again.
        delete appDevice;
        return;
    }
    // Modeless, one per open device; it deletes itself when closed and releases the device.
    auto *dialog = new AppDeviceDialog(mainWindow, appDevice);
    dialog->show();
}

void VerantisTerminalApp::showMessage(QString text)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("VerantisTerminal"));
    box.setText(text);
    box.exec();
}
