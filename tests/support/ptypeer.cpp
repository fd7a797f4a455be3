#include "ptypeer.h"

#include "serial/portpath.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer(const QString &comName)
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios tio {};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // A child process (the program under test) must not hold the far end: a hang-up would not
    // reach it.
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
    if (!comName.isEmpty())
        m_mapped = mapTo(comName);
}

PtyPeer::~PtyPeer()
{
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPeer::mapTo(const QString &comName) const
{
    const QString folder = portMappingFolder();
    if (!QDir().mkpath(folder))
        return false;
    const QString link = folder + QLatin1Char('/') + comName;
    QFile::remove(link);
    return QFile::link(m_slavePath, link);
}

bool PtyPeer::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    QDeadlineTimer deadline(10000);
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            if (deadline.hasExpired())
                return false;
            // The pty is full: let the reader in this process drain it.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    return m_master >= 0;
}

QByteArray PtyPeer::read(int count, int timeoutMs)
{
    QByteArray bytes;
    QDeadlineTimer deadline(timeoutMs);
    while (m_master >= 0 && bytes.size() < count && !deadline.hasExpired()) {
        bytes += readAvailable();
        if (bytes.size() >= count)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd pfd { m_master, POLLIN, 0 };
        ::poll(&pfd, 1, 10);
    }
    return bytes;
}

QByteArray PtyPeer::readAvailable()
{
    QByteArray bytes;
    char buf[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        bytes.append(buf, int(n));
    }
    return bytes;
}

void PtyPeer::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

QString PtyPeer::lostLineText(const QString &portName, const QString &deviceName) const
{
    // The slave's node goes with the master, so the name is taken as openpty gave it.
    const QString device = m_slavePath.mid(int(qstrlen("/dev/")));
    return QStringLiteral("%1 (%2, %3) was disconnected: %4.")
        .arg(portName, device, deviceName, qt_error_string(EIO));
}
