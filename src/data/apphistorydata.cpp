#include "data/apphistorydata.h"

AppHistoryData::AppHistoryData(QString time, QString direction, QByteArray bytes, QString portName,
    int baudRate, int dataBits, int stopBits, int parity, int flowControl)
    : m_time(time)
    , m_direction(direction)
    , m_portName(portName)
    , m_bytes(bytes)
    , m_baudRate(baudRate)
    , m_dataBits(dataBits)
    , m_stopBits(stopBits)
    , m_parity(parity)
    , m_flowControl(flowControl)
{
}

AppHistoryData::~AppHistoryData() = default;
