#include "serial/appdevicemanager.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "serial/appdevice.h"

AppDeviceManager::AppDeviceManager() = default;

AppDeviceManager::~AppDeviceManager()
{
    // Each entry goes before its device, so a listener that reacts to the device's last
    // disconnection by closing the same port finds nothing left to close. The registry lives
    // until the event loop has ended, so there is no loop to defer the destruction to.
    const QStringList keys = devices.keys();
    for (const QString &key : keys) {
        AppDevice *device = devices.value(key, nullptr);
        devices.remove(key);
        delete device;
    }
    devices.clear();
}

bool AppDeviceManager::registerDevice(AppDevice *device)
{
    const QString key = device->deviceData()->portName();
    if (devices.contains(key)) {
        if (VerantisTerminalApp *app = VerantisTerminalApp::app())
            app->showMessage(QStringLiteral("That device is already using."));
        return false;
    }
    devices.insert(key, device);
    return true;
}

bool AppDeviceManager::isPortFree(QString portName)
{
    return !devices.contains(portName);
}

void AppDeviceManager::closeDevice(QString portName)
{
    // close() announces the disconnection, and a listener may ask to close the same port again
    // from inside it; that request must not close or destroy anything a second time.
    if (closing.contains(portName))
        return;
    AppDevice *device = devices.value(portName, nullptr);
    if (device) {
        closing.insert(portName);
        device->close();
        closing.remove(portName);
    }
    devices.remove(portName);
    // Deferred: we may be inside the device's own notification (a port error that closed it),
    // which still uses the device and its port after we return.
    if (device)
        device->deleteLater();
}
