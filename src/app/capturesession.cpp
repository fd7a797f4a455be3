#include "app/capturesession.h"

#include "app/devicelog.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "data/logfile.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/operatormessages.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The pipe that turns a signal into an event: the handler writes, the event loop reads.
int signalPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char byte = 1;
    // Nothing else is safe in a signal handler; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}
#else
volatile std::sig_atomic_t signalled = 0;

void onTerminationSignal(int)
{
    signalled = 1;
}
#endif

bool stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDERR_FILENO);
#else
    return _isatty(_fileno(stderr));
#endif
}

QString sizeText(qint64 bytes)
{
    return QStringLiteral("%1 B").arg(bytes);
}

} // namespace

CaptureSession::CaptureSession(StartOptions startOptions)
    : options(std::move(startOptions))
    , devices(std::make_unique<AppDeviceManager>())
{
    statusTimer.setInterval(1000);
    connect(&statusTimer, &QTimer::timeout, this, &CaptureSession::printStatus);
    // Every message of the serial layer is one line on stderr; the ones that end the run say so
    // by the state they leave behind (a port that did not open, a line that went).
    setOperatorMessageSink([this](const QString &text) {
        endStatusLine();
        printError(text);
    });
}

CaptureSession::~CaptureSession()
{
    closeAll();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#ifdef Q_OS_UNIX
    if (signalPipe[0] >= 0) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
#endif
    setOperatorMessageSink(nullptr);
}

int CaptureSession::exec()
{
    // Signals first: one that arrives while the ports open still ends the run cleanly.
#ifdef Q_OS_UNIX
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        printError(tr("Could not set up signal handling: %1").arg(qt_error_string(errno)));
        return exitFailure;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CaptureSession::onSignal);
    struct sigaction action
    {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#else
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGTERM, onTerminationSignal);
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        if (signalled)
            onSignal();
    });
    poll->start(50);
#endif

    if (!start()) {
        closeAll();
        return exitFailure;
    }
    if (stderrIsTerminal())
        statusTimer.start();
    if (!finishing)
        exitCode = QCoreApplication::exec();
    // The ports close only now: a lost line ends the run from inside its own notification.
    closeAll();
    return exitCode;
}

void CaptureSession::closeAll()
{
    finishing = true;
    devices.reset();
    for (LogFile *log : qAsConst(logs))
        log->close();
}

bool CaptureSession::start()
{
    // The store only lends the saved records, and goes before the event loop runs: it tells the
    // operator of unreadable items through the window's message box, which a capture has not.
    std::unique_ptr<AppSettingsManager> store;
    if (!options.openNames.isEmpty())
        store = std::make_unique<AppSettingsManager>();
    QStringList missing;
    const auto lines = options.lines(store.get(), &missing);
    store.reset();
    if (!missing.isEmpty()) {
        printError(tr("No saved device is named \"%1\".").arg(missing.first()));
        return false;
    }

    const LogFile::Format format = options.raw ? LogFile::Format::Raw : LogFile::Format::Lines;
    for (const auto &line : qAsConst(lines)) {
        // The open path of the window's buttons; it has printed why when it fails.
        AppDevice *device = devices->openDevice(line.get());
        if (!device)
            return false;
        QString failure;
        LogFile *log = logDeviceTraffic(device, options.logPath, format, this, &failure);
        if (!log) {
            printError(failure);
            return false;
        }
        logs << log;
        connect(log, &LogFile::failed, this, &CaptureSession::fail);
        connect(device, &AppDevice::onDataFull, this,
            [this](const QByteArray &bytes) { bytesIn += bytes.size(); });
        connect(device, &AppDevice::onDataWritten, this,
            [this](const QByteArray &bytes) { bytesOut += bytes.size(); });
        // Only a lost line closes a device while we run; its reason has been printed.
        connect(device, &AppDevice::onDeviceDisconnected, this, [this] {
            if (!finishing)
                finish(exitFailure);
        });
    }
    return true;
}

void CaptureSession::fail(const QString &text)
{
    if (finishing)
        return;
    endStatusLine();
    printError(text);
    finish(exitFailure);
}

void CaptureSession::onSignal()
{
#ifdef Q_OS_UNIX
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) { }
#endif
    finish(0);
}

void CaptureSession::finish(int code)
{
    if (finishing)
        return;
    finishing = true;
    exitCode = code;
    statusTimer.stop();
    endStatusLine();
    // What was received is on disk before the run ends; a failure to write it is the run's.
    for (LogFile *log : qAsConst(logs)) {
        if (!log->flush() && exitCode == 0) {
            printError(log->failure());
            exitCode = exitFailure;
        }
    }
    QCoreApplication::exit(exitCode);
}

void CaptureSession::printStatus()
{
    const qint64 rate = bytesIn - bytesInAtLastStatus;
    bytesInAtLastStatus = bytesIn;
    const QString text
        = tr("in %1, out %2, %3/s").arg(sizeText(bytesIn), sizeText(bytesOut), sizeText(rate));
    std::fprintf(stderr, "\r%s\033[K", qPrintable(text));
    std::fflush(stderr);
    statusShown = true;
}

void CaptureSession::endStatusLine()
{
    if (!statusShown)
        return;
    std::fputc('\n', stderr);
    statusShown = false;
}
