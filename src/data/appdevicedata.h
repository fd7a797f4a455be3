#ifndef APPDEVICEDATA_H
#define APPDEVICEDATA_H

#include "data/apptabledata.h"

#include <QString>

// A saved (or about to be opened) device: a name and the six line settings.
// Stop bits, parity and flow control are positions in the serial settings text lists.
class AppDeviceData : public AppTableData
{
public:
    AppDeviceData(QString name, QString portName, int baudRate, int dataBits, int stopBits,
        int parity, int flowControl);
    ~AppDeviceData() override;

    // A record of its own with the same values, for holders that must outlive the original.
    AppDeviceData *clone() const;

    QString name() const { return m_name; }
    void setName(QString name) { m_name = name; }
    QString portName() const { return m_portName; }
    void setPortName(QString portName) { m_portName = portName; }
    int baudRate() const { return m_baudRate; }
    void setBaudRate(int baudRate) { m_baudRate = baudRate; }
    int dataBits() const { return m_dataBits; }
    void setDataBits(int dataBits) { m_dataBits = dataBits; }
    int stopBits() const { return m_stopBits; }
    void setStopBits(int stopBits) { m_stopBits = stopBits; }
    int parity() const { return m_parity; }
    void setParity(int parity) { m_parity = parity; }
    int flowControl() const { return m_flowControl; }
    void setFlowControl(int flowControl) { m_flowControl = flowControl; }

private:
    QString m_name;
    QString m_portName;
    int m_baudRate;
    int m_dataBits;
    int m_stopBits;
    int m_parity;
    int m_flowControl;
};

#endif // APPDEVICEDATA_H
