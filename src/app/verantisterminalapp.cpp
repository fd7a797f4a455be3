#include "app/verantisterminalapp.h"

#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTimer>

VerantisTerminalApp::VerantisTerminalApp(int &argc, char **argv)
    : QApplication(argc, argv)
    , mainWindow(nullptr)
    , settings(nullptr)
    , devices(nullptr)
    , capture(nullptr)
{
    // The icon lives in the static library, which the linker would leave out unless referenced.
    Q_INIT_RESOURCE(verantisterminal);
    setWindowIcon(QIcon(QStringLiteral(":/icons/org.verantis.VerantisTerminal.png")));
    // The store comes first: the main window fills its tables from it while it is built.
    settings = new AppSettingsManager();
    devices = new AppDeviceManager();
    // Before the window, which shows what it recovered from runs that ended unexpectedly. Its
    // notices wait for the event loop, after the window.
    capture = new CaptureStore(settings->dataFolder());
    connect(capture, &CaptureStore::notice, capture, [this](const QString &text) {
        QTimer::singleShot(0, capture, [this, text] { showMessage(text); });
    });
    capture->recoverLeftovers();
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
    // A clean exit: the history has always lived for one run.
    capture->removeFile();
    delete capture;
    capture = nullptr;
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
    // The port is open in a terminal already: that terminal is what the operator wants.
    if (AppDeviceDialog *open = terminalFor(device->portName())) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
        return;
    }
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
    AppDeviceDialog *last = lastTerminal();
    auto *dialog = new AppDeviceDialog(mainWindow, appDevice);
    if (last)
        cascadeFrom(dialog, last);
    dialog->show();
}

AppDeviceDialog *VerantisTerminalApp::terminalFor(const QString &portName) const
{
    if (!mainWindow)
        return nullptr;
    const auto dialogs
        = mainWindow->findChildren<AppDeviceDialog *>(QString(), Qt::FindDirectChildrenOnly);
    for (AppDeviceDialog *dialog : dialogs) {
        if (dialog->isVisible() && dialog->servedDevice()
            && dialog->servedDevice()->deviceData()->portName() == portName)
            return dialog;
    }
    return nullptr;
}

AppDeviceDialog *VerantisTerminalApp::lastTerminal() const
{
    if (!mainWindow)
        return nullptr;
    // Children are kept in the order they were created.
    const auto dialogs
        = mainWindow->findChildren<AppDeviceDialog *>(QString(), Qt::FindDirectChildrenOnly);
    for (auto it = dialogs.crbegin(); it != dialogs.crend(); ++it) {
        if ((*it)->isVisible() && (*it)->servedDevice())
            return *it;
    }
    return nullptr;
}

void VerantisTerminalApp::cascadeFrom(AppDeviceDialog *dialog, const AppDeviceDialog *last)
{
    // One title bar down and right, so the one below stays visible and can be told apart.
    const int step = qMax(24, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight));
    QPoint position = last->pos() + QPoint(step, step);
    const QScreen *screen = QGuiApplication::screenAt(last->pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QSize size = dialog->size().expandedTo(dialog->sizeHint());
        // Back to the top left corner rather than off the screen.
        if (position.x() + size.width() > area.right() + 1
            || position.y() + size.height() > area.bottom() + 1)
            position = area.topLeft();
    }
    dialog->move(position);
}

void VerantisTerminalApp::showMessage(QString text)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("VerantisTerminal"));
    box.setText(text);
    box.exec();
}
