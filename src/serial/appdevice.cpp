#include "serial/appdevice.h"

#include "data/appdevicedata.h"
#include "serial/serialsettings.h"

AppDevice::AppDevice(AppDeviceData *deviceData)
    : m_deviceData(deviceData->clone())
    , serialPort(new QSerialPort(this))
{
}

AppDevice::~AppDevice()
{
    delete m_deviceData;
}

bool AppDevice::open()
{
    return false;
}

void AppDevice::applySettings()
{
    applySerialSettings(serialPort, *m_deviceData);
}

void AppDevice::write(QByteArray) { }

void AppDevice::close() { }

AppDeviceData *AppDevice::deviceData() const
{
    return m_deviceData;
}

void AppDevice::onReadyToRead() { }

void AppDevice::onErrorOccured(QSerialPort::SerialPortError) { }
