// Opening a device through the application object: open, register, and every refusal.
#include "data/appdevicedata.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "testapp.h"

#include <QMessageBox>
#include <QSerialPort>
#include <QSignalSpy>

#include <cerrno>

namespace {

AppDeviceData record(const QString &port)
{
    return AppDeviceData(QStringLiteral("dev"), port, 9600, 8, 0, 0, 0);
}

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

// Windows other than message boxes; a terminal dialog would be one of them.
QWidgetList windows()
{
    QWidgetList found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        // A combo box's list is a window of its own, made when first needed.
        if (!qobject_cast<QMessageBox *>(w) && !w->inherits("QComboBoxPrivateContainer"))
            found << w;
    }
    return found;
}

} // namespace

class TstOpenDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openingMissingPortShowsOneMessageAndRegistersNothing();
    void openedDeviceIsRegisteredAndOutlivesTheRecord();
    void twoPortsGiveTwoDevices();
    void secondOpenOfAnOpenPortBringsItsTerminalForward();
    void refusedRegistrationReleasesTheDevice();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstOpenDevice::init()
{
    catcher.reset(new MessageBoxCatcher);
}

void TstOpenDevice::cleanup()
{
    // Release whatever a test left open before its peers hang up.
    for (const char *port : { "COM5", "COM6" })
        app()->deviceManager()->closeDevice(port);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TstOpenDevice::openingMissingPortShowsOneMessageAndRegistersNothing()
{
    const QWidgetList before = windows();
    AppDeviceData data = record("COM7");
    app()->openDevice(&data);
    QCOMPARE(catcher->count(), 1);
    QVERIFY(catcher->texts().first().startsWith(
        "Could not open COM7 (/dev/COM7): " + qt_error_string(ENOENT) + ".\n"));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal" }));
    QVERIFY(app()->deviceManager()->isPortFree("COM7"));
    QCOMPARE(windows(), before);
}

void TstOpenDevice::openedDeviceIsRegisteredAndOutlivesTheRecord()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    auto *data = new AppDeviceData("bench", "COM5", 9600, 8, 0, 0, 0);
    app()->openDevice(data);
    // The saved row the record came from may go while the device is open.
    delete data;
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    QCOMPARE(catcher->count(), 0);

    // The device holds the line: its hang-up is noticed and reported once.
    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts(), QStringList({ peer.lostLineText("COM5", "bench") }));

    app()->deviceManager()->closeDevice("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
}

void TstOpenDevice::twoPortsGiveTwoDevices()
{
    PtyPeer peerA, peerB;
    QVERIFY(peerA.mapTo("COM5"));
    QVERIFY(peerB.mapTo("COM6"));
    AppDeviceData a = record("COM5");
    AppDeviceData b = record("COM6");
    app()->openDevice(&a);
    app()->openDevice(&b);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
    QCOMPARE(catcher->count(), 0);

    app()->deviceManager()->closeDevice("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
}

void TstOpenDevice::secondOpenOfAnOpenPortBringsItsTerminalForward()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    AppDeviceData data = record("COM5");
    app()->openDevice(&data);
    QCOMPARE(catcher->count(), 0);

    const QWidgetList shown = windows();
    app()->openDevice(&data);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(windows(), shown);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));

    // The first device still holds the line.
    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts().last(), peer.lostLineText("COM5", "dev"));
}

void TstOpenDevice::refusedRegistrationReleasesTheDevice()
{
    PtyPeer registeredPeer, newPeer;
    QVERIFY(registeredPeer.mapTo("COM6"));
    QVERIFY(newPeer.mapTo("COM5"));

    // A device on another line that is registered under "COM5".
    AppDeviceData registeredData = record("COM6");
    auto *registered = new AppDevice(&registeredData);
    QVERIFY(registered->open());
    registered->deviceData()->setPortName("COM5");
    QVERIFY(app()->deviceManager()->registerDevice(registered));
    QSignalSpy registeredDisconnected(registered, &AppDevice::onDeviceDisconnected);
    QSignalSpy received(registered, &AppDevice::onDataFull);
    const QWidgetList before = windows();

    AppDeviceData data = record("COM5");
    app()->openDevice(&data);
    QCOMPARE(catcher->texts(), QStringList({ "That device is already using." }));
    QCOMPARE(windows(), before);

    // The registered device is untouched, and the refused one let go of its line.
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    QCOMPARE(registeredDisconnected.count(), 0);
    QVERIFY(registeredPeer.write("still here"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
    AppDevice probe(&data);
    QVERIFY(probe.open());
    QCOMPARE(catcher->count(), 1);
}

VT_TEST_MAIN(TstOpenDevice)
#include "tst_opendevice.moc"
