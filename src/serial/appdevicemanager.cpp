#include "serial/appdevicemanager.h"

#include "data/appdevicedata.h"
#include "serial/appdevice.h"
#include "serial/operatormessages.h"
#include "serial/portpath.h"

#include <QFileInfo>

#include <cerrno>
#include <memory>

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

AppDevice *AppDeviceManager::openDevice(const AppDeviceData *record)
{
    auto device = std::make_unique<AppDevice>(record);
    device->applySettings();
    const QString location = device->systemLocation();
    if (holderOfLine(location)) {
        // Opening would take over the other device's line settings and split its input.
        tellOperator(openFailureText(record->portName(), location, qt_error_string(EBUSY)));
        return nullptr;
    }
    // A failed open has already told the operator the port's own reason.
    if (!device->open())
        return nullptr;
    // Never hand out a device the registry refused: closing it would close the device
    // registered under the same port name. Releasing it frees the port again.
    if (!registerDevice(device.get()))
        return nullptr;
    return device.release();
}

const AppDevice *AppDeviceManager::holderOfLine(const QString &location) const
{
    const QString line = QFileInfo(location).canonicalFilePath();
    if (line.isEmpty())
        return nullptr;
    for (const AppDevice *held : devices) {
        // Under the same location the port's own lock refuses, with the port's own text.
        if (held->openLine() == line && held->systemLocation() != location)
            return held;
    }
    return nullptr;
}

AppDevice *AppDeviceManager::device(const QString &portName) const
{
    return devices.value(portName, nullptr);
}

bool AppDeviceManager::registerDevice(AppDevice *device)
{
    const QString key = device->deviceData()->portName();
    if (devices.contains(key)) {
        tellOperator(QStringLiteral("That device is already using."));
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
