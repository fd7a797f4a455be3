#include "data/appdevicedata.h"

AppDeviceData::AppDeviceData(QString name, QString portName, int baudRate, int dataBits,
    int stopBits, int parity, int flowControl)
    : m_name(name)
    , m_portName(portName)
    , m_baudRate(baudRate)
    , m_dataBits(dataBits)
    , m_stopBits(stopBits)
    , m_parity(parity)
    , m_flowControl(flowControl)
{
}

AppDeviceData::~AppDeviceData() = default;

AppDeviceData *AppDeviceData::clone() const
{
    return new AppDeviceData(
        m_name, m_portName, m_baudRate, m_dataBits, m_stopBits, m_parity, m_flowControl);
}
