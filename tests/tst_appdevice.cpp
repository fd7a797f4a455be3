// The serial device against real pseudo-terminal peers: settings, traffic both ways, port
// errors, refusals, and a peer that hangs up.
#include "data/appdevicedata.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/portpath.h"
#include "testapp.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

AppDeviceData record(const QString &port, int baudRate = 9600, int dataBits = 8, int stopBits = 0,
    int parity = 0, int flowControl = 0)
{
    return AppDeviceData(
        QStringLiteral("dev"), port, baudRate, dataBits, stopBits, parity, flowControl);
}

QSerialPort *portOf(AppDevice *device)
{
    return device->findChild<QSerialPort *>();
}

// CPU time used by the whole process so far, in milliseconds.
qint64 cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Maps a COM name to any file, through the per-user port mapping.
bool mapPort(const QString &comName, const QString &target)
{
    const QString folder = portMappingFolder();
    const QString link = folder + QLatin1Char('/') + comName;
    QFile::remove(link);
    return QDir().mkpath(folder) && QFile::link(target, link);
}

int warnings = 0;
QtMessageHandler previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        ++warnings;
    previousHandler(type, context, text);
}

} // namespace

class TstAppDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void openAppliesTheSixSettings_data();
    void openAppliesTheSixSettings();
    void settingsAreAppliedInOrder();
    void outOfRangePositionsMakeNoSetterCall();
    void receivedBatchesAreNotJoined();
    void writtenBytesArriveExactly();
    void writeOnClosedDeviceSendsNothing();
    void closeAnnouncesDisconnectionEveryTime();
    void destructorAnnouncesDisconnection();
    void openingMissingPortShowsThePortsText();
    void secondOpenOfSamePortIsRefusedByItsLock();
    void secondOpenUnderAnotherNameIsRefused();
    void oneOffErrorKeepsThePortOpen();
    void peerHangUpShowsOneMessageAndStopsTheStorm();
    void errorsDuringAMessageAreNotStacked();
    void lostLineWinsOverWaitingErrors();
    void closeErrorsOfAHealthyPortAreShown();
    void failedOpenOfAFileThatIsNoTerminalShowsOneMessage_data();
    void failedOpenOfAFileThatIsNoTerminalShowsOneMessage();
    void keepsItsOwnCopyOfTheRecord();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstAppDevice::initTestCase()
{
    // Without it a spy on the port's errorOccurred records every error as an empty value.
    qRegisterMetaType<QSerialPort::SerialPortError>();
}

void TstAppDevice::init()
{
    catcher.reset(new MessageBoxCatcher);
}

void TstAppDevice::openAppliesTheSixSettings_data()
{
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("flowControl");
    QTest::addColumn<QSerialPort::DataBits>("portDataBits");
    QTest::addColumn<QSerialPort::StopBits>("portStopBits");
    QTest::addColumn<QSerialPort::Parity>("portParity");
    QTest::addColumn<QSerialPort::FlowControl>("portFlowControl");

    QTest::newRow("entry-form defaults")
        << 9600 << 8 << 0 << 0 << 0 << QSerialPort::Data8 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("positions 1") << 115200 << 7 << 1 << 1 << 1 << QSerialPort::Data7
                                 << QSerialPort::OneAndHalfStop << QSerialPort::EvenParity
                                 << QSerialPort::HardwareControl;
    QTest::newRow("positions 2") << 1200 << 8 << 2 << 2 << 2 << QSerialPort::Data8
                                 << QSerialPort::TwoStop << QSerialPort::OddParity
                                 << QSerialPort::SoftwareControl;
    QTest::newRow("data bits 5 is five")
        << 4800 << 5 << 0 << 0 << 0 << QSerialPort::Data5 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("data bits 6 is six")
        << 4800 << 6 << 0 << 0 << 0 << QSerialPort::Data6 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("data bits 9 is seven")
        << 4800 << 9 << 0 << 0 << 0 << QSerialPort::Data7 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("baud rate outside the list")
        << 250000 << 8 << 0 << 0 << 0 << QSerialPort::Data8 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("odd baud rate")
        << 12345 << 8 << 0 << 0 << 0 << QSerialPort::Data8 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
    QTest::newRow("positions out of range")
        << 19200 << 8 << 3 << -1 << 7 << QSerialPort::Data8 << QSerialPort::OneStop
        << QSerialPort::NoParity << QSerialPort::NoFlowControl;
}

void TstAppDevice::openAppliesTheSixSettings()
{
    QFETCH(int, baudRate);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(int, parity);
    QFETCH(int, flowControl);

    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5", baudRate, dataBits, stopBits, parity, flowControl);
    AppDevice device(&data);
    QSignalSpy connected(&device, &AppDevice::onDeviceConnected);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);

    QVERIFY(device.open());
    QCOMPARE(connected.count(), 1);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(catcher->count(), 0);

    QSerialPort *port = portOf(&device);
    QVERIFY(port->isOpen());
    QCOMPARE(port->openMode(), QIODevice::ReadWrite);
    QVERIFY(QFileInfo(port->portName()).isSymLink());
    QCOMPARE(QFileInfo(port->portName()).canonicalFilePath(),
        QFileInfo(peer.slavePath()).canonicalFilePath());
    QCOMPARE(port->baudRate(QSerialPort::Input), qint32(baudRate));
    QCOMPARE(port->baudRate(QSerialPort::Output), qint32(baudRate));
    QTEST(port->dataBits(), "portDataBits");
    QTEST(port->stopBits(), "portStopBits");
    QTEST(port->parity(), "portParity");
    QTEST(port->flowControl(), "portFlowControl");
}

void TstAppDevice::settingsAreAppliedInOrder()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    // Every value differs from a fresh port's, so every setter announces its change.
    AppDeviceData data = record("COM5", 19200, 7, 2, 1, 1);
    AppDevice device(&data);
    QSerialPort *port = portOf(&device);
    QStringList order;
    connect(port, &QSerialPort::baudRateChanged, this, [&] { order << "baud"; });
    connect(port, &QSerialPort::dataBitsChanged, this, [&] { order << "data"; });
    connect(port, &QSerialPort::flowControlChanged, this, [&] { order << "flow"; });
    connect(port, &QSerialPort::stopBitsChanged, this, [&] { order << "stop"; });
    connect(port, &QSerialPort::parityChanged, this, [&] { order << "parity"; });

    QVERIFY(device.open());
    QCOMPARE(order, QStringList({ "baud", "data", "flow", "stop", "parity" }));
}

void TstAppDevice::outOfRangePositionsMakeNoSetterCall()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5", 9600, 8, 3, 3, -1);
    AppDevice device(&data);
    QSerialPort *port = portOf(&device);
    // A setter called with the fresh port's value would not announce it; start elsewhere.
    port->setFlowControl(QSerialPort::SoftwareControl);
    port->setStopBits(QSerialPort::TwoStop);
    port->setParity(QSerialPort::OddParity);

    QVERIFY(device.open());
    QCOMPARE(port->flowControl(), QSerialPort::SoftwareControl);
    QCOMPARE(port->stopBits(), QSerialPort::TwoStop);
    QCOMPARE(port->parity(), QSerialPort::OddParity);
}

void TstAppDevice::receivedBatchesAreNotJoined()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());
    QSignalSpy received(&device, &AppDevice::onDataFull);

    QVERIFY(peer.write(QByteArray("\x01\x02\x03\x00\xFE\xFF", 6)));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 10000);
    QVERIFY(peer.write("ABCD"));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 2, 10000);

    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("\x01\x02\x03\x00\xFE\xFF", 6));
    QCOMPARE(received.at(1).at(0).toByteArray(), QByteArray("ABCD"));
    QCOMPARE(catcher->count(), 0);
}

void TstAppDevice::writtenBytesArriveExactly()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());

    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    device.write(bytes);
    QCOMPARE(peer.read(bytes.size()), bytes);
    QCOMPARE(peer.readAvailable(), QByteArray());
}

void TstAppDevice::writeOnClosedDeviceSendsNothing()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy portErrors(portOf(&device), &QSerialPort::errorOccurred);
    warnings = 0;
    previousHandler = qInstallMessageHandler(countWarnings);

    device.write("never opened");
    QVERIFY(device.open());
    device.write("one");
    QCOMPARE(peer.read(3), QByteArray("one"));
    device.close();
    device.write("after close");

    qInstallMessageHandler(previousHandler);
    // Nothing can arrive later: the line is closed on our side.
    QCOMPARE(peer.readAvailable(), QByteArray());
    QCOMPARE(errors.count(), 0);
    QCOMPARE(catcher->count(), 0);
    // Writing to a closed port would have been reported by the port as a warning.
    QCOMPARE(warnings, 0);
    for (const QList<QVariant> &e : qAsConst(portErrors))
        QCOMPARE(e.at(0).value<QSerialPort::SerialPortError>(), QSerialPort::NoError);
}

void TstAppDevice::closeAnnouncesDisconnectionEveryTime()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    auto *device = new AppDevice(&data);
    QSignalSpy disconnected(device, &AppDevice::onDeviceDisconnected);
    QSerialPort *port = portOf(device);
    QSignalSpy aboutToClose(port, &QIODevice::aboutToClose);
    QVERIFY(device->open());

    device->close();
    QVERIFY(!port->isOpen());
    QCOMPARE(aboutToClose.count(), 1);
    QCOMPARE(disconnected.count(), 1);

    device->close();
    QCOMPARE(aboutToClose.count(), 1); // a closed port is not closed again
    QCOMPARE(disconnected.count(), 2);

    delete device;
    QCOMPARE(disconnected.count(), 3);
    QCOMPARE(catcher->count(), 0);
}

void TstAppDevice::destructorAnnouncesDisconnection()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");

    auto *neverOpened = new AppDevice(&data);
    QSignalSpy first(neverOpened, &AppDevice::onDeviceDisconnected);
    delete neverOpened;
    QCOMPARE(first.count(), 1);

    auto *open = new AppDevice(&data);
    QSignalSpy second(open, &AppDevice::onDeviceDisconnected);
    QVERIFY(open->open());
    delete open;
    QCOMPARE(second.count(), 1);

    // The port was released: the line can be opened again.
    AppDevice again(&data);
    QVERIFY(again.open());
    QCOMPARE(catcher->count(), 0);
}

void TstAppDevice::openingMissingPortShowsThePortsText()
{
    AppDeviceData data = record("COM99");
    AppDevice device(&data);
    QSignalSpy connected(&device, &AppDevice::onDeviceConnected);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);

    QVERIFY(!device.open());
    // The port, the path tried and the port's own reason; what follows is the linking help.
    QCOMPARE(catcher->count(), 1);
    QVERIFY2(catcher->texts().first().startsWith(
                 "Could not open COM99 (/dev/COM99): " + portOf(&device)->errorString() + ".\n"),
        qPrintable(catcher->texts().first()));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal" }));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(connected.count(), 0);
    QVERIFY(!portOf(&device)->isOpen());
}

void TstAppDevice::secondOpenOfSamePortIsRefusedByItsLock()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice first(&data);
    QVERIFY(first.open());
    QSignalSpy received(&first, &AppDevice::onDataFull);

    {
        AppDevice second(&data);
        QSignalSpy errors(&second, &AppDevice::onDeviceError);
        QVERIFY(!second.open());
        QCOMPARE(catcher->texts(),
            QStringList({ "Could not open COM5 (" + portMappingFolder() + "/COM5 \u2192 "
                + peer.slavePath() + "): Permission error while locking the device." }));
        QCOMPARE(errors.count(), 1);
    }

    QVERIFY(portOf(&first)->isOpen());
    QVERIFY(peer.write("still mine"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
    QCOMPARE(received.first().first().toByteArray(), QByteArray("still mine"));
    QCOMPARE(catcher->count(), 1);
}

void TstAppDevice::secondOpenUnderAnotherNameIsRefused()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    QVERIFY(peer.mapTo("COM6"));
    AppDeviceManager registry;
    AppDeviceData firstData = record("COM5", 9600);
    AppDevice *first = registry.openDevice(&firstData);
    QVERIFY(first);
    QSignalSpy received(first, &AppDevice::onDataFull);

    AppDeviceData secondData = record("COM6", 1200);
    QVERIFY(!registry.openDevice(&secondData));
    QCOMPARE(catcher->texts(),
        QStringList({ "Could not open COM6 (" + portMappingFolder() + "/COM6 \u2192 "
            + peer.slavePath() + "): " + qt_error_string(EBUSY) + "." }));
    QVERIFY(registry.isPortFree("COM6"));

    // The first device's line settings were not taken over and its input is still its own.
    const int fd = ::open(QFile::encodeName(peer.slavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    termios tio {};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QVERIFY(peer.write("still mine"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
    QCOMPARE(received.first().first().toByteArray(), QByteArray("still mine"));

    // Once the first device lets go, the other name opens the line.
    registry.closeDevice("COM5");
    QVERIFY(registry.openDevice(&secondData));
    QCOMPARE(catcher->count(), 1);
}

void TstAppDevice::oneOffErrorKeepsThePortOpen()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy disconnected(&device, &AppDevice::onDeviceDisconnected);
    QSignalSpy received(&device, &AppDevice::onDataFull);
    QSerialPort *port = portOf(&device);

    // A pseudo-terminal has no modem lines: the port's query fails for real and the port
    // reports it, while the line itself stays usable.
    QCOMPARE(port->pinoutSignals(), QSerialPort::NoSignal);
    QCOMPARE(catcher->texts(), QStringList({ qt_error_string(ENOTTY) }));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(disconnected.count(), 0);
    QVERIFY(port->isOpen());

    device.write("ping");
    QCOMPARE(peer.read(4), QByteArray("ping"));
    QVERIFY(peer.write("pong"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
    QCOMPARE(received.first().first().toByteArray(), QByteArray("pong"));
    QCOMPARE(catcher->count(), 1);
    QCOMPARE(errors.count(), 1);
}

void TstAppDevice::peerHangUpShowsOneMessageAndStopsTheStorm()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());
    QSerialPort *port = portOf(&device);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy disconnected(&device, &AppDevice::onDeviceDisconnected);
    QSignalSpy portErrors(port, &QSerialPort::errorOccurred);

    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    QCOMPARE(catcher->texts(), QStringList({ peer.lostLineText("COM5", "dev") }));
    QCOMPARE(errors.count(), 0);
    QVERIFY(!port->isOpen());

    // Nothing may happen any more: no error, no message, and no busy loop behind the scenes.
    const int portErrorsBefore = portErrors.count();
    const qint64 cpuBefore = cpuMs();
    QTest::qWait(1000);
    const qint64 cpuUsed = cpuMs() - cpuBefore;
    QCOMPARE(portErrors.count(), portErrorsBefore);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(catcher->count(), 1);
    QVERIFY2(
        cpuUsed < 300, qPrintable(QStringLiteral("%1 ms of CPU in one idle second").arg(cpuUsed)));

    device.write("into the void");
    QCOMPARE(errors.count(), 0);
    QCOMPARE(catcher->count(), 1);
}

void TstAppDevice::errorsDuringAMessageAreNotStacked()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());
    QSerialPort *port = portOf(&device);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy disconnected(&device, &AppDevice::onDeviceDisconnected);

    bool acted = false;
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, this, [&] {
        if (acted)
            return;
        acted = true;
        // While the first box is open: the same error again, then the line goes.
        port->pinoutSignals();
        QSignalSpy portErrors(port, &QSerialPort::errorOccurred);
        peer.hangUp();
        QVERIFY(portErrors.wait(10000));
    });

    port->pinoutSignals();
    QVERIFY(acted);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    QCOMPARE(catcher->texts(),
        QStringList({ qt_error_string(ENOTTY), peer.lostLineText("COM5", "dev") }));
    QCOMPARE(catcher->deepestStack(), 1);
    // The first box was closed after the port had gone with its line: no device error then.
    QCOMPARE(errors.count(), 0);
    QVERIFY(!port->isOpen());
}

void TstAppDevice::lostLineWinsOverWaitingErrors()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    // Hardware flow control: the port itself refuses to drive RTS, with a text of its own.
    AppDeviceData data = record("COM5", 9600, 8, 0, 0, 1);
    AppDevice device(&data);
    QVERIFY(device.open());
    QSerialPort *port = portOf(&device);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy disconnected(&device, &AppDevice::onDeviceDisconnected);

    bool acted = false;
    int disconnectedAtSecondBox = -1;
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, this, [&] {
        if (acted) {
            disconnectedAtSecondBox = disconnected.count();
            return;
        }
        acted = true;
        // While the first box is open: another error waits, then the line goes.
        QVERIFY(!port->setRequestToSend(true));
        QCOMPARE(port->error(), QSerialPort::UnsupportedOperationError);
        QSignalSpy portErrors(port, &QSerialPort::errorOccurred);
        peer.hangUp();
        QVERIFY(portErrors.wait(10000));
        QVERIFY(!port->isOpen());
    });

    port->pinoutSignals();
    QVERIFY(acted);
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, 10000);
    // The waiting error concerned a port that has gone: only the lost line is reported.
    QCOMPARE(catcher->texts(),
        QStringList({ qt_error_string(ENOTTY), peer.lostLineText("COM5", "dev") }));
    QCOMPARE(disconnectedAtSecondBox, 0);
    QCOMPARE(errors.count(), 0);
    QCOMPARE(catcher->deepestStack(), 1);
}

void TstAppDevice::closeErrorsOfAHealthyPortAreShown()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    AppDevice device(&data);
    QVERIFY(device.open());
    QSerialPort *port = portOf(&device);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy disconnected(&device, &AppDevice::onDeviceDisconnected);
    int disconnectedAtBox = -1;
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, this,
        [&] { disconnectedAtBox = disconnected.count(); });

    // The port reports errors of its own while it closes (restoring the line's settings, closing
    // the handle). Here one is raised for real at the last step, when its handle is gone.
    int raised = 0;
    connect(port, &QIODevice::aboutToClose, this, [&] {
        QCOMPARE(port->pinoutSignals(), QSerialPort::NoSignal);
        raised = int(port->error());
    });
    device.close();
    QCOMPARE(raised, int(QSerialPort::ResourceError));

    // Shown once, after the port has closed and before the device says so.
    QCOMPARE(catcher->texts(), QStringList({ qt_error_string(EBADF) }));
    QCOMPARE(disconnectedAtBox, 0);
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(errors.count(), 0);
    QVERIFY(!port->isOpen());

    // A line closed as it went stays quiet.
    PtyPeer second("COM6");
    QVERIFY(second.isValid());
    AppDeviceData secondData = record("COM6");
    AppDevice quiet(&secondData);
    QVERIFY(quiet.open());
    second.hangUp();
    quiet.close();
    QCOMPARE(catcher->count(), 1);
}

void TstAppDevice::failedOpenOfAFileThatIsNoTerminalShowsOneMessage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    const QString notAPort = QStringLiteral("It is not a serial port.");
    QTest::newRow("/dev/null") << "/dev/null" << notAPort;
    QTest::newRow("/dev/zero") << "/dev/zero" << notAPort;
    QTest::newRow("regular file") << "file" << notAPort;
    QTest::newRow("fifo") << "fifo" << notAPort;
    QTest::newRow("own terminal")
        << "/dev/tty"
        << "It is the terminal this program was started from, not a serial port.";
}

void TstAppDevice::failedOpenOfAFileThatIsNoTerminalShowsOneMessage()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString target = kind;
    if (kind == QLatin1String("file")) {
        target = dir.filePath("plain");
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == QLatin1String("fifo")) {
        target = dir.filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    }
    QVERIFY(mapPort("COM9", target));
    const auto unmap = qScopeGuard([] { QFile::remove(portMappingFolder() + "/COM9"); });

    AppDeviceData data = record("COM9");
    AppDevice device(&data);
    QSignalSpy errors(&device, &AppDevice::onDeviceError);
    QSignalSpy connected(&device, &AppDevice::onDeviceConnected);
    QVERIFY(!device.open());
    QCOMPARE(catcher->texts().size(), 1);
    const QString text = catcher->texts().first();
    QVERIFY2(text.startsWith(QStringLiteral("Could not open COM9 ("))
            && text.endsWith(QStringLiteral(": ") + reason),
        qPrintable(text));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(connected.count(), 0);
    QVERIFY(!portOf(&device)->isOpen());
}

void TstAppDevice::keepsItsOwnCopyOfTheRecord()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    auto *original = new AppDeviceData("bench", "COM5", 57600, 7, 2, 1, 2);
    AppDevice device(original);
    QVERIFY(device.deviceData() != original);
    delete original;

    AppDeviceData *copy = device.deviceData();
    QCOMPARE(copy->name(), QStringLiteral("bench"));
    QCOMPARE(copy->portName(), QStringLiteral("COM5"));
    QCOMPARE(copy->baudRate(), 57600);
    QCOMPARE(copy->dataBits(), 7);
    QCOMPARE(copy->stopBits(), 2);
    QCOMPARE(copy->parity(), 1);
    QCOMPARE(copy->flowControl(), 2);
    QVERIFY(device.open());
    QCOMPARE(portOf(&device)->baudRate(), 57600);
}

VT_TEST_MAIN(TstAppDevice)
#include "tst_appdevice.moc"
