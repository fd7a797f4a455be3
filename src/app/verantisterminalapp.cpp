#include "app/verantisterminalapp.h"

#include "app/commandline.h"
#include "app/devicelog.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/operatormessages.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"
#include "ui/linecontrols.h"

#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSet>
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
    setOperatorMessageSink([this](const QString &text) { showMessage(text); });
    // The store comes first: the main window fills its tables from it while it is built.
    settings = new AppSettingsManager();
    // Every device opened here starts with its stored line states, reconnect and binding.
    setLineOptionsSource([this](const QString &deviceName) {
        return LineControls::storedOptions(settings, deviceName);
    });
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
    setLineOptionsSource(nullptr);
    delete settings;
    settings = nullptr;
    // A clean exit: the history has always lived for one run.
    capture->removeFile();
    delete capture;
    capture = nullptr;
    setOperatorMessageSink(nullptr);
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

AppDevice *VerantisTerminalApp::openDevice(const AppDeviceData *device)
{
    // The port is open in a terminal already: that terminal is what the operator wants.
    if (AppDeviceDialog *open = terminalFor(device->portName())) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
        return open->servedDevice();
    }
    AppDevice *appDevice = devices->openDevice(device);
    if (!appDevice)
        return nullptr;
    // Modeless, one per open device; it deletes itself when closed and releases the device.
    AppDeviceDialog *last = lastTerminal();
    auto *dialog = new AppDeviceDialog(mainWindow, appDevice);
    if (last)
        cascadeFrom(dialog, last);
    dialog->show();
    return appDevice;
}

void VerantisTerminalApp::openFromCommandLine(const StartOptions &options)
{
    QStringList missing;
    const auto lines = options.lines(settings, &missing);
    for (const QString &name : qAsConst(missing))
        showMessage(tr("No saved device is named \"%1\".").arg(name));
    QSet<AppDevice *> logged;
    for (const auto &line : qAsConst(lines)) {
        AppDevice *device = openDevice(line.get());
        // A port named twice is one terminal with one log.
        if (!device || options.logPath.isEmpty() || logged.contains(device))
            continue;
        logged.insert(device);
        QString failure;
        LogFile *log = logDeviceTraffic(device, options.logPath,
            options.raw ? LogFile::Format::Raw : LogFile::Format::Lines, this, &failure);
        if (!log)
            showMessage(failure);
        else
            connect(log, &LogFile::failed, this, &VerantisTerminalApp::showMessage);
    }
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
        // The size it opens at, which the constructor chose within the screen.
        const QSize size = dialog->size().expandedTo(dialog->minimumSizeHint());
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
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    // The text can be selected and copied, into a report or a shell.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Lines indented by four spaces are commands to type: the text breaks only where it has
    // its own line breaks, so no command is broken inside a path.
    if (text.contains(QLatin1String("\n    "))) {
        if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            label->setWordWrap(false);
    }
    box.exec();
}
