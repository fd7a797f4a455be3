#include "serial/modemlines.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace {

ModemLines *&standIn()
{
    static ModemLines *lines = nullptr;
    return lines;
}

#ifdef Q_OS_UNIX
int openHandle(QSerialPort *port)
{
    return port->isOpen() ? int(port->handle()) : -1;
}
#endif

} // namespace

ModemLines *ModemLines::current()
{
    static ModemLines system;
    return standIn() ? standIn() : &system;
}

void ModemLines::substitute(ModemLines *lines)
{
    standIn() = lines;
}

std::optional<int> ModemLines::lines(QSerialPort *port)
{
#ifdef Q_OS_UNIX
    const int fd = openHandle(port);
    int bits = 0;
    if (fd < 0 || ::ioctl(fd, TIOCMGET, &bits) != 0)
        return std::nullopt;
    const int mapped = ((bits & TIOCM_DTR) ? Dtr : 0) | ((bits & TIOCM_RTS) ? Rts : 0)
        | ((bits & TIOCM_CTS) ? Cts : 0) | ((bits & TIOCM_DSR) ? Dsr : 0)
        | ((bits & TIOCM_CAR) ? Dcd : 0) | ((bits & TIOCM_RNG) ? Ri : 0);
    return mapped;
#else
    if (!port->isOpen())
        return std::nullopt;
    const QSerialPort::PinoutSignals pins = port->pinoutSignals();
    return ((pins & QSerialPort::DataTerminalReadySignal) ? Dtr : 0)
        | ((pins & QSerialPort::RequestToSendSignal) ? Rts : 0)
        | ((pins & QSerialPort::ClearToSendSignal) ? Cts : 0)
        | ((pins & QSerialPort::DataSetReadySignal) ? Dsr : 0)
        | ((pins & QSerialPort::DataCarrierDetectSignal) ? Dcd : 0)
        | ((pins & QSerialPort::RingIndicatorSignal) ? Ri : 0);
#endif
}

bool ModemLines::setLine(QSerialPort *port, Line line, bool on)
{
#ifdef Q_OS_UNIX
    const int fd = openHandle(port);
    int bit = line == Dtr ? TIOCM_DTR : line == Rts ? TIOCM_RTS : 0;
    return fd >= 0 && bit != 0 && ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
#else
    if (!port->isOpen())
        return false;
    if (line == Dtr)
        return port->setDataTerminalReady(on);
    return line == Rts && port->setRequestToSend(on);
#endif
}

bool ModemLines::setBreak(QSerialPort *port, bool on)
{
#ifdef Q_OS_UNIX
    const int fd = openHandle(port);
    return fd >= 0 && ::ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0;
#else
    return port->isOpen() && port->setBreakEnabled(on);
#endif
}

std::optional<ModemLines::Counts> ModemLines::counts(QSerialPort *port)
{
#ifdef Q_OS_LINUX
    const int fd = openHandle(port);
    serial_icounter_struct icount {};
    if (fd < 0 || ::ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return std::nullopt;
    Counts counts;
    counts.frame = quint32(icount.frame);
    counts.parity = quint32(icount.parity);
    counts.overrun = quint32(icount.overrun) + quint32(icount.buf_overrun);
    counts.brk = quint32(icount.brk);
    return counts;
#else
    Q_UNUSED(port)
    return std::nullopt;
#endif
}
