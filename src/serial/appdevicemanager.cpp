#include "serial/appdevicemanager.h"

#include "serial/appdevice.h"

AppDeviceManager::AppDeviceManager() = default;

AppDeviceManager::~AppDeviceManager() = default;

bool AppDeviceManager::registerDevice(AppDevice *)
{
    return false;
}

bool AppDeviceManager::isPortFree(QString portName)
{
    return !devices.contains(portName);
}

void AppDeviceManager::closeDevice(QString) { }
