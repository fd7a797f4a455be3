#include "serial/appdevice.h"

#include "data/appdevicedata.h"
#include "serial/operatormessages.h"
#include "serial/portlist.h"
#include "serial/portpath.h"
#include "serial/serialsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTime>
#include <QTimer>

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

// How often a lost line is looked for: it is back in use within a second of reappearing.
constexpr int WaitTickMs = 250;

AdapterId adapterOf(const FoundPort &port)
{
    return { port.vendorId, port.productId, port.serialNumber };
}

} // namespace

AppDevice::AppDevice(const AppDeviceData *deviceData)
    : m_deviceData(deviceData->clone())
    , serialPort(new QSerialPort(this))
    , options(lineOptionsFor(deviceData->name()))
    , waitTimer(new QTimer(this))
{
    waitTimer->setInterval(WaitTickMs);
    connect(waitTimer, &QTimer::timeout, this, &AppDevice::lookForLine);
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
    const QString wrongAdapter = adapterRefusal();
    if (!wrongAdapter.isEmpty()) {
        showReports({ wrongAdapter, false });
        return false;
    }
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
    if (state == State::Open) {
        line = QFileInfo(location).canonicalFilePath();
        // Before the event loop reads anything: the device sees its lines as stored at once.
        applyLineStates();
    }
    showPendingReports();
    if (!self || state != State::Open)
        return false;
    emit onDeviceConnected();
    return true;
}

void AppDevice::applySettings()
{
    applySerialSettings(serialPort, *m_deviceData);
    QString bound;
    if (boundAdapterPresent(&bound))
        serialPort->setPortName(bound);
}

bool AppDevice::write(QByteArray bytes)
{
    if (!serialPort->isOpen() || serialPort->write(bytes) < 0)
        return false;
    emit onDataWritten(bytes);
    return true;
}

qint64 AppDevice::bytesToWrite() const
{
    return serialPort->isOpen() ? serialPort->bytesToWrite() : 0;
}

void AppDevice::close()
{
    QPointer<AppDevice> self(this);
    // A line that went before we noticed is as dead as one we saw go: closing it is all noise.
    const bool deadLine = isHungUp();
    waitTimer->stop();
    if (state == State::Waiting)
        state = State::Closed;
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
    if (err == QSerialPort::NoError || state == State::LineGone || state == State::Waiting)
        return;

    Report report { serialPort->errorString(), err == QSerialPort::ResourceError };
    if (err == QSerialPort::WriteError && state == State::Open) {
        QPointer<AppDevice> self(this);
        emit writeFailed(report.text);
        if (!self)
            return;
    }
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
    if (report.gone && options.reconnect) {
        waitForLine();
        return;
    }
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
        if (state != State::Closed && state != State::LineGone && state != State::Waiting)
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
    QString text = QCoreApplication::translate("AppDevice", "%1 was disconnected: %2")
                       .arg(lineDescription(), reason);
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

QString AppDevice::lineDescription() const
{
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
    return text;
}

std::optional<int> AppDevice::modemLines() const
{
    if (state != State::Open)
        return std::nullopt;
    return ModemLines::current()->lines(serialPort);
}

bool AppDevice::setModemLine(ModemLines::Line which, bool on)
{
    if (state != State::Open || !ModemLines::current()->setLine(serialPort, which, on))
        return false;
    (which == ModemLines::Dtr ? options.dtr : options.rts) = on;
    return true;
}

bool AppDevice::sendBreak(int ms)
{
    if (state != State::Open || !ModemLines::current()->setBreak(serialPort, true))
        return false;
    // A port closed meanwhile has dropped its break with it.
    QTimer::singleShot(ms, this, [this] {
        if (state == State::Open)
            ModemLines::current()->setBreak(serialPort, false);
    });
    return true;
}

std::optional<ModemLines::Counts> AppDevice::lineErrorCounts() const
{
    if (state != State::Open)
        return std::nullopt;
    return ModemLines::current()->counts(serialPort);
}

void AppDevice::setReconnect(bool on)
{
    options.reconnect = on;
}

void AppDevice::setAdapter(const AdapterId &adapter)
{
    options.adapter = adapter;
}

AdapterId AppDevice::openAdapter() const
{
    return line.isEmpty() ? AdapterId() : adapterAt(line).value_or(AdapterId());
}

void AppDevice::applyLineStates()
{
    // A port that cannot take them (a pseudo-terminal) keeps what it has, without a word.
    if (options.dtr)
        ModemLines::current()->setLine(serialPort, ModemLines::Dtr, *options.dtr);
    if (options.rts)
        ModemLines::current()->setLine(serialPort, ModemLines::Rts, *options.rts);
}

void AppDevice::waitForLine()
{
    const QString text
        = QCoreApplication::translate("AppDevice", "%1 lost at %2, waiting for it to come back")
              .arg(
                  lineDescription(), QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")));
    closePort();
    state = State::Waiting;
    pendingReports.clear();
    portFoldersStamp = -1;
    waitTimer->start();
    QPointer<AppDevice> self(this);
    emit lineLost();
    if (self)
        emit waitingForLine(text);
}

void AppDevice::lookForLine()
{
    if (state != State::Waiting) {
        waitTimer->stop();
        return;
    }
    if (!options.adapter.isNull() && !portsMayHaveChanged())
        return;
    // The name is resolved again: a link may point elsewhere now, the adapter sit elsewhere.
    applySettings();
    if (!adapterRefusal().isEmpty())
        return;
    const QString location = systemLocationOf(serialPort);
#ifdef Q_OS_UNIX
    // Only a terminal device counts as the line come back; anything else is left alone.
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(location).constData(), &info) != 0 || !S_ISCHR(info.st_mode)
        || !notALineReason(location).isEmpty())
        return;
#endif
    QPointer<AppDevice> self(this);
    state = State::Opening;
    const bool opened = serialPort->open(QIODevice::ReadWrite);
    if (!self)
        return;
    // A line not ready yet (permissions still being set, a node on its way) is tried again.
    pendingReports.clear();
    if (!opened || !serialPort->isOpen()) {
        state = State::Waiting;
        portFoldersStamp = -1;
        return;
    }
    state = State::Open;
    line = QFileInfo(location).canonicalFilePath();
    applyLineStates();
    waitTimer->stop();
    emit reconnected();
}

bool AppDevice::portsMayHaveChanged()
{
    // Listing the system's ports costs far more than a look at when their folders changed.
#ifdef Q_OS_LINUX
    qint64 stamp = 0;
    const QStringList folders { QStringLiteral("/dev"), QStringLiteral("/dev/serial/by-id"),
        portMappingFolder() };
    for (const QString &folder : folders) {
        struct stat info
        {
        };
        if (::stat(QFile::encodeName(folder).constData(), &info) == 0)
            stamp = stamp * 31 + qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    if (stamp == portFoldersStamp)
        return false;
    portFoldersStamp = stamp;
#endif
    return true;
}

std::optional<AdapterId> AppDevice::adapterAt(const QString &location) const
{
    const QString wanted = QFileInfo(location).canonicalFilePath();
    if (wanted.isEmpty())
        return std::nullopt;
    const QList<FoundPort> ports = foundPorts();
    for (const FoundPort &port : ports) {
        if (QFileInfo(port.systemLocation).canonicalFilePath() == wanted)
            return adapterOf(port);
    }
    return std::nullopt;
}

bool AppDevice::boundAdapterPresent(QString *location) const
{
    if (options.adapter.isNull())
        return false;
    const QList<FoundPort> ports = foundPorts();
    for (const FoundPort &port : ports) {
        if (adapterOf(port) == options.adapter) {
            *location = port.systemLocation;
            return true;
        }
    }
    return false;
}

QString AppDevice::adapterRefusal() const
{
    QString bound;
    if (options.adapter.isNull() || boundAdapterPresent(&bound))
        return QString();
    const std::optional<AdapterId> other = adapterAt(systemLocationOf(serialPort));
    if (!other || (other->isNull() && other->vendorId == 0))
        return QString();
    return QCoreApplication::translate("AppDevice",
        "%1 is bound to the adapter %2, but the adapter at %3 is %4. Plug in the bound adapter.")
        .arg(lineDescription(), options.adapter.text(),
            QFileInfo(systemLocationOf(serialPort)).canonicalFilePath(), other->text());
}
