// The registry of open devices, with devices on real pseudo-terminal peers.
#include "data/appdevicedata.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "testapp.h"

#include <QPointer>
#include <QSerialPort>
#include <QSignalSpy>

#include <cerrno>

namespace {

AppDeviceData record(const QString &port)
{
    return AppDeviceData(QStringLiteral("dev"), port, 9600, 8, 0, 0, 0);
}

QSerialPort *portOf(AppDevice *device)
{
    return device->findChild<QSerialPort *>();
}

// An opened device on a fresh peer mapped to `port`.
AppDevice *openOn(PtyPeer &peer, const QString &port)
{
    if (!peer.mapTo(port))
        return nullptr;
    AppDeviceData data = record(port);
    auto *device = new AppDevice(&data);
    if (!device->open()) {
        delete device;
        return nullptr;
    }
    return device;
}

} // namespace

class TstAppDeviceManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyRegistryHasEveryPortFree_data();
    void emptyRegistryHasEveryPortFree();
    void isPortFreeIsExactAndCaseSensitive();
    void secondRegistrationUnderOneNameIsRefused();
    void closeDeviceClosesRemovesAndDestroys();
    void closeDeviceOfUnknownPortDoesNothing();
    void destructorRemovesEachEntryBeforeDestroyingItsDevice();
    void hangUpReleasesTheDeviceFromInsideItsOwnNotification();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstAppDeviceManager::init()
{
    catcher.reset(new MessageBoxCatcher);
}

void TstAppDeviceManager::cleanup()
{
    // Devices released by a test are destroyed once control is back in an event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TstAppDeviceManager::emptyRegistryHasEveryPortFree_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("COM1") << "COM1";
    QTest::newRow("empty") << "";
    QTest::newRow("lower case") << "com1";
}

void TstAppDeviceManager::emptyRegistryHasEveryPortFree()
{
    QFETCH(QString, name);
    AppDeviceManager registry;
    QVERIFY(registry.isPortFree(name));
}

void TstAppDeviceManager::isPortFreeIsExactAndCaseSensitive()
{
    PtyPeer peer;
    AppDeviceManager registry;
    AppDevice *device = openOn(peer, "COM1");
    QVERIFY(device);
    QVERIFY(registry.registerDevice(device));

    QVERIFY(!registry.isPortFree("COM1"));
    QVERIFY(registry.isPortFree("com1"));
    QVERIFY(registry.isPortFree("Com1"));
    QVERIFY(registry.isPortFree("COM10"));
    QVERIFY(registry.isPortFree("COM1 "));
    QVERIFY(registry.isPortFree(""));
    QCOMPARE(catcher->count(), 0);
}

void TstAppDeviceManager::secondRegistrationUnderOneNameIsRefused()
{
    PtyPeer firstPeer, secondPeer;
    AppDeviceManager registry;
    QPointer<AppDevice> first = openOn(firstPeer, "COM1");
    QVERIFY(first);
    QVERIFY(registry.registerDevice(first));

    // Two open devices under one name: the second line's record renamed after it opened.
    AppDevice *second = openOn(secondPeer, "COM2");
    QVERIFY(second);
    second->deviceData()->setPortName("COM1");
    QSignalSpy secondDisconnected(second, &AppDevice::onDeviceDisconnected);

    QVERIFY(!registry.registerDevice(second));
    QCOMPARE(catcher->texts(), QStringList({ "That device is already using." }));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal" }));

    // The registry kept its device and neither closed nor took the new one.
    QVERIFY(!registry.isPortFree("COM1"));
    QVERIFY(registry.isPortFree("COM2"));
    QVERIFY(portOf(second)->isOpen());
    QCOMPARE(secondDisconnected.count(), 0);
    delete second;

    registry.closeDevice("COM1");
    QVERIFY(registry.isPortFree("COM1"));
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 10000);
    QCOMPARE(catcher->count(), 1);
}

void TstAppDeviceManager::closeDeviceClosesRemovesAndDestroys()
{
    PtyPeer peer;
    AppDeviceManager registry;
    QPointer<AppDevice> device = openOn(peer, "COM1");
    QVERIFY(device);
    QVERIFY(registry.registerDevice(device));
    QSerialPort *port = portOf(device);
    QSignalSpy disconnected(device.data(), &AppDevice::onDeviceDisconnected);
    bool freeWhileClosing = true;
    connect(device.data(), &AppDevice::onDeviceDisconnected, this,
        [&] { freeWhileClosing = registry.isPortFree("COM1"); });

    registry.closeDevice("COM1");
    // close() runs while the entry still exists; the entry is gone when closeDevice returns.
    QVERIFY(!freeWhileClosing);
    QVERIFY(registry.isPortFree("COM1"));
    QVERIFY(!port->isOpen());
    QCOMPARE(disconnected.count(), 1);

    // The destruction is deferred to the event loop; the destructor announces the
    // disconnection a second time when it runs.
    QVERIFY(device);
    QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 10000);
    QCOMPARE(disconnected.count(), 2);

    registry.closeDevice("COM1");
    QCOMPARE(disconnected.count(), 2);
    QCOMPARE(catcher->count(), 0);

    // The line is free for the next device.
    AppDeviceData data = record("COM1");
    AppDevice again(&data);
    QVERIFY(again.open());
}

void TstAppDeviceManager::closeDeviceOfUnknownPortDoesNothing()
{
    PtyPeer peer;
    AppDeviceManager registry;
    AppDevice *device = openOn(peer, "COM1");
    QVERIFY(device);
    QVERIFY(registry.registerDevice(device));
    QSignalSpy disconnected(device, &AppDevice::onDeviceDisconnected);

    registry.closeDevice("COM2");
    registry.closeDevice("com1");
    registry.closeDevice("");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!registry.isPortFree("COM1"));
    QVERIFY(portOf(device)->isOpen());
    QCOMPARE(disconnected.count(), 0);
    QCOMPARE(catcher->count(), 0);
}

void TstAppDeviceManager::destructorRemovesEachEntryBeforeDestroyingItsDevice()
{
    PtyPeer peerA, peerB;
    auto *registry = new AppDeviceManager;
    // "COM10" sorts before "COM2".
    QPointer<AppDevice> com2 = openOn(peerA, "COM2");
    QPointer<AppDevice> com10 = openOn(peerB, "COM10");
    QVERIFY(com2 && com10);
    QVERIFY(registry->registerDevice(com2));
    QVERIFY(registry->registerDevice(com10));

    QStringList seen;
    for (AppDevice *device : { com2.data(), com10.data() }) {
        const QString key = device->deviceData()->portName();
        connect(device, &AppDevice::onDeviceDisconnected, this, [&, key] {
            seen << QStringLiteral("%1 free:%2 COM2 free:%3")
                        .arg(key)
                        .arg(int(registry->isPortFree(key)))
                        .arg(int(registry->isPortFree("COM2")));
            // What a closing dialog does; it must find nothing to close.
            registry->closeDevice(key);
        });
    }

    delete registry;
    QVERIFY(com2.isNull());
    QVERIFY(com10.isNull());
    QCOMPARE(seen, QStringList({ "COM10 free:1 COM2 free:0", "COM2 free:1 COM2 free:1" }));
}

void TstAppDeviceManager::hangUpReleasesTheDeviceFromInsideItsOwnNotification()
{
    PtyPeer peer;
    AppDeviceManager *registry = VerantisTerminalApp::app()->deviceManager();
    QPointer<AppDevice> device = openOn(peer, "COM5");
    QVERIFY(device);
    QVERIFY(registry->registerDevice(device));
    QPointer<QSerialPort> port = portOf(device);
    QSignalSpy disconnected(device.data(), &AppDevice::onDeviceDisconnected);

    // What a terminal dialog does: release the device as soon as it is announced gone. This
    // runs inside the port's own error notification.
    connect(device.data(), &AppDevice::onDeviceDisconnected, this,
        [registry] { registry->closeDevice("COM5"); });
    // Connected after the device, so it runs once the device has handled the error, still
    // inside the port's notification: the device and its port must still exist there.
    bool survivedNotification = false;
    connect(port.data(), &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError)
            survivedNotification = !device.isNull() && !port.isNull();
    });

    peer.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(device.isNull(), 10000);
    QVERIFY(survivedNotification);
    QVERIFY(port.isNull());
    QVERIFY(registry->isPortFree("COM5"));
    QCOMPARE(catcher->texts(), QStringList({ peer.lostLineText("COM5", "dev") }));
    // Announced by close() after the message, again by the registry's close(), and last by
    // the destructor when the event loop destroyed the device.
    QCOMPARE(disconnected.count(), 3);

    const int boxes = catcher->count();
    QTest::qWait(1000);
    QCOMPARE(catcher->count(), boxes);
}

VT_TEST_MAIN(TstAppDeviceManager)
#include "tst_appdevicemanager.moc"
