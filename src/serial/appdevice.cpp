#include "serial/appdevice.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "serial/portpath.h"
#include "serial/serialsettings.h"

#include <QFileInfo>
#include <QHash>
#include <QPointer>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

// Devices of this process that hold a port open, by the port's location with links resolved.
// Running as root, neither the port's lock file (named after the path as given) nor the
// exclusive-use flag stops a second open of the same line under another name.
QHash<QString, AppDevice *> &heldLocations()
{
    static QHash<QString, AppDevice *> held;
    return held;
}

QString systemLocationOf(const QSerialPort *port)
{
    const QString name = port->portName();
#ifdef Q_OS_WIN
    // As the port opens it, so a failed open names the path that was tried.
    if (name.startsWith(QLatin1String("\\\\.\\")))
        return name;
    return QStringLiteral("\\\\.\\") + name;
#else
    if (name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./"))
        || name.startsWith(QLatin1String("../")))
        return name;
    return QStringLiteral("/dev/") + name;
#endif
}

} // namespace

AppDevice::AppDevice(AppDeviceData *deviceData)
    : m_deviceData(deviceData->clone())
    , serialPort(new QSerialPort(this))
{
    connect(serialPort, &QSerialPort::errorOccurred, this, &AppDevice::onErrorOccured);
    connect(serialPort, &QSerialPort::readyRead, this, &AppDevice::onReadyToRead);
}

AppDevice::~AppDevice()
{
    // Going away quietly: no message box from a destructor, however the port took its closing.
    closePort();
    pendingReports.clear();
    emit onDeviceDisconnected();
    delete serialPort;
    serialPort = nullptr;
    delete m_deviceData;
}

bool AppDevice::open()
{
    applySettings();
    lineGone = false;
    portClosed = false;
    const QString location = systemLocationOf(serialPort);
#ifdef Q_OS_UNIX
    if (isHeldUnderAnotherName(location)) {
        // Opening would take over the other device's line settings and split its input.
        showReports(
            { openFailureText(m_deviceData->portName(), location, qt_error_string(EBUSY)), false });
        return false;
    }
#endif
    // One failed open may raise the same error at several steps; the operator hears of it once.
    QPointer<AppDevice> self(this);
    collectingReports = true;
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    collectingReports = false;
    showPendingReports();
    if (!self || !opened || !serialPort->isOpen())
        return false;
    systemLocation = location;
    const QString canonical = QFileInfo(location).canonicalFilePath();
    if (!canonical.isEmpty() && !heldLocations().contains(canonical)) {
        heldLocations().insert(canonical, this);
        heldLocation = canonical;
    }
    emit onDeviceConnected();
    return true;
}

void AppDevice::applySettings()
{
    applySerialSettings(serialPort, *m_deviceData);
}

void AppDevice::write(QByteArray bytes)
{
    if (serialPort->isOpen())
        serialPort->write(bytes);
}

void AppDevice::close()
{
    QPointer<AppDevice> self(this);
    // A line that went before we noticed is as dead as one we saw go: closing it is all noise.
    const bool deadLine = isHungUp();
    closePort();
    if (deadLine)
        pendingReports.clear();
    // Errors of closing a healthy port are real; they are shown once the port is closed.
    showPendingReports();
    if (self)
        emit onDeviceDisconnected();
}

AppDeviceData *AppDevice::deviceData() const
{
    return m_deviceData;
}

void AppDevice::onReadyToRead()
{
    QByteArray buf = serialPort->readAll();
    // readAll() leaves tens of KiB of spare capacity behind even a few bytes, and every history
    // record keeps its block for the rest of the run.
    buf.squeeze();
    emit onDataFull(buf);
}

void AppDevice::onErrorOccured(QSerialPort::SerialPortError err)
{
    // Once the line has gone its port is closed: later notifications, among them those of
    // tidying up the dead line, are stale.
    if (err == QSerialPort::NoError || lineGone)
        return;

    Report report { serialPort->errorString(), err == QSerialPort::ResourceError };
    if (collectingReports) {
        // Errors of the open itself say which port and path failed.
        report.text
            = openFailureText(m_deviceData->portName(), systemLocationOf(serialPort), report.text);
    }
    if (collectingReports || closingPort) {
        // Inside the port's own open or close: nothing may reopen or close it from here.
        report.gone = false;
        if (!(showingMessage && report == shownReport) && !pendingReports.contains(report))
            pendingReports.append(report);
        return;
    }
    // A hung-up line reads end-of-file, which the port reports as a read error, or (Qt 6, now
    // and then) as a lost resource, carrying whatever errno was left over. The device has gone;
    // use the text the line gives any write from now on.
    const bool staleText = report.text == qt_error_string(EAGAIN);
    if ((report.gone && staleText) || (!report.gone && isHungUp()))
        report = { qt_error_string(EIO), true };
    if (report.gone) {
        lineGone = true;
        // Close at once: a dead line keeps signalling, which would spin the CPU and queue
        // messages for as long as the operator takes to read the first one.
        closePort();
        // A lost line wins over whatever was waiting: those errors concern a port that is gone.
        pendingReports.clear();
    }

    if (showingMessage) {
        if (report.gone || (!(report == shownReport) && !pendingReports.contains(report)))
            pendingReports.append(report);
        return;
    }
    showReports(report);
}

void AppDevice::showPendingReports()
{
    if (!showingMessage && !pendingReports.isEmpty())
        showReports(pendingReports.takeFirst());
}

void AppDevice::showReports(Report report)
{
    // The box runs a nested event loop. The registry defers destroying a device, so `this`
    // outlives the box; the guard covers any owner that deletes it directly meanwhile.
    QPointer<AppDevice> self(this);
    for (;;) {
        showingMessage = true;
        shownReport = report;
        if (VerantisTerminalApp *app = VerantisTerminalApp::app())
            app->showMessage(report.text);
        if (!self)
            return;
        showingMessage = false;
        if (report.gone) {
            // Nothing queued behind it can matter: the port is closed.
            pendingReports.clear();
            close();
            return;
        }
        // A port closed meanwhile, by its owner or with its line, has no errors to report.
        if (!portClosed)
            emit onDeviceError();
        if (!self || pendingReports.isEmpty())
            return;
        report = pendingReports.takeFirst();
    }
}

bool AppDevice::isHungUp() const
{
#ifdef Q_OS_UNIX
    if (!serialPort->isOpen() || serialPort->handle() < 0)
        return false;
    pollfd pfd { int(serialPort->handle()), POLLIN, 0 };
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLNVAL));
#else
    return false;
#endif
}

bool AppDevice::isHeldUnderAnotherName(const QString &location) const
{
    const QString canonical = QFileInfo(location).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const AppDevice *holder = heldLocations().value(canonical, nullptr);
    // Under the same name the port's own lock refuses, with the port's own text.
    return holder && holder != this && holder->systemLocation != location;
}

void AppDevice::closePort()
{
    if (serialPort->isOpen()) {
        portClosed = true;
        closingPort = true;
        serialPort->close();
        closingPort = false;
    }
    if (!heldLocation.isEmpty()) {
        heldLocations().remove(heldLocation);
        heldLocation.clear();
    }
}
