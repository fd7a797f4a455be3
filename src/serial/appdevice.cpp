#include "serial/appdevice.h"

#include "data/appdevicedata.h"
#include "serial/operatormessages.h"
#include "serial/portpath.h"
#include "serial/serialsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <cerrno>
#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace {

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

#ifdef Q_OS_LINUX
// The device number of this process's controlling terminal, or 0 without one.
dev_t controllingTerminal()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The command name may hold spaces and parentheses; the fields follow the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // state, ppid, pgrp, session, tty_nr
    return fields.size() > 4 ? dev_t(fields.at(4).toULongLong()) : 0;
}
#endif

#ifdef Q_OS_UNIX
// Why the file at `location` is no serial line, or an empty text when it may be one. Checked
// before the open, which would otherwise take over the terminal this program was started from
// (a COM name linked to /dev/tty) or block on a fifo.
QString notALineReason(const QString &location)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(location).constData(), &info) != 0)
        return QString(); // missing: the port's own open says so
    if (!S_ISCHR(info.st_mode))
        return QCoreApplication::translate("AppDevice", "It is not a serial port");
#ifdef Q_OS_LINUX
    const dev_t own = controllingTerminal();
    if (info.st_rdev == makedev(5, 0) || (own != 0 && info.st_rdev == own))
        return QCoreApplication::translate(
            "AppDevice", "It is the terminal this program was started from, not a serial port");
#endif
    return QString();
}
#endif

} // namespace

AppDevice::AppDevice(const AppDeviceData *deviceData)
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
    state = State::NotOpen;
    const QString location = systemLocationOf(serialPort);
#ifdef Q_OS_UNIX
    const QString refusal = notALineReason(location);
    if (!refusal.isEmpty()) {
        showReports({ openFailureText(m_deviceData->portName(), location, refusal), false });
        return false;
    }
#endif
    // One failed open may raise the same error at several steps; the operator hears of it once.
    QPointer<AppDevice> self(this);
    state = State::Opening;
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    if (!self)
        return false;
    state = opened && serialPort->isOpen() ? State::Open : State::NotOpen;
    if (state == State::Open)
        line = QFileInfo(location).canonicalFilePath();
    showPendingReports();
    if (!self || state != State::Open)
        return false;
    emit onDeviceConnected();
    return true;
}

void AppDevice::applySettings()
{
    applySerialSettings(serialPort, *m_deviceData);
}

void AppDevice::write(QByteArray bytes)
{
    if (serialPort->isOpen() && serialPort->write(bytes) >= 0)
        emit onDataWritten(bytes);
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

QString AppDevice::systemLocation() const
{
    return systemLocationOf(serialPort);
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
    if (err == QSerialPort::NoError || state == State::LineGone)
        return;

    Report report { serialPort->errorString(), err == QSerialPort::ResourceError };
    if (state == State::Opening) {
        // Errors of the open itself say which port and path failed. A character device that is
        // no terminal (/dev/null) fails the port's first terminal call.
        const QString reason = report.text == qt_error_string(ENOTTY)
            ? QCoreApplication::translate("AppDevice", "It is not a serial port")
            : report.text;
        report.text
            = openFailureText(m_deviceData->portName(), systemLocationOf(serialPort), reason);
    }
    if (state == State::Opening || state == State::Closing) {
        // Inside the port's own open or close: nothing may reopen or close it from here.
        report.gone = false;
        if (!(shownReport && report == *shownReport) && !pendingReports.contains(report))
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
        report.text = lostLineText(report.text);
        // Close at once: a dead line keeps signalling, which would spin the CPU and queue
        // messages for as long as the operator takes to read the first one.
        closePort();
        state = State::LineGone;
        // A lost line wins over whatever was waiting: those errors concern a port that is gone.
        pendingReports.clear();
        QPointer<AppDevice> self(this);
        emit lineLost();
        if (!self)
            return;
    }

    if (shownReport) {
        if (report.gone || (!(report == *shownReport) && !pendingReports.contains(report)))
            pendingReports.append(report);
        return;
    }
    showReports(report);
}

void AppDevice::showPendingReports()
{
    if (!shownReport && !pendingReports.isEmpty())
        showReports(pendingReports.takeFirst());
}

void AppDevice::showReports(Report report)
{
    // The box runs a nested event loop. The registry defers destroying a device, so `this`
    // outlives the box; the guard covers any owner that deletes it directly meanwhile.
    QPointer<AppDevice> self(this);
    for (;;) {
        shownReport = report;
        tellOperator(report.text);
        if (!self)
            return;
        shownReport.reset();
        if (report.gone) {
            // Nothing queued behind it can matter: the port is closed.
            pendingReports.clear();
            close();
            return;
        }
        // A port closed meanwhile, by its owner or with its line, has no errors to report.
        if (state != State::Closed && state != State::LineGone)
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

void AppDevice::closePort()
{
    if (serialPort->isOpen()) {
        state = State::Closing;
        serialPort->close();
        state = State::Closed;
    }
    line.clear();
}

QString AppDevice::lostLineText(const QString &reason) const
{
    // "COM3 (ttyUSB0, Bench supply) was disconnected: Input/output error."
    QStringList about;
    QString device = line;
    if (device.startsWith(QLatin1String("/dev/")))
        device = device.mid(5);
    if (!device.isEmpty() && device != m_deviceData->portName() && line != m_deviceData->portName())
        about << device;
    if (!m_deviceData->name().isEmpty())
        about << m_deviceData->name();
    QString text = m_deviceData->portName();
    if (!about.isEmpty())
        text += QStringLiteral(" (") + about.join(QStringLiteral(", ")) + QLatin1Char(')');
    text = QCoreApplication::translate("AppDevice", "%1 was disconnected: %2").arg(text, reason);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}
