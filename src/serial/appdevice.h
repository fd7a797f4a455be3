#ifndef APPDEVICE_H
#define APPDEVICE_H

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

class AppDeviceData;

// One open device: owns its serial port, applies the record's settings, hands every batch of
// received bytes on as one signal and reports port errors.
class AppDevice : public QObject
{
    Q_OBJECT
public:
    // Keeps a copy of the record, so the caller's record may go away while the device is open.
    explicit AppDevice(AppDeviceData *deviceData);
    ~AppDevice() override;

    bool open();
    void applySettings();
    void write(QByteArray bytes);
    void close();
    AppDeviceData *deviceData() const;

signals:
    void onDeviceConnected();
    void onDeviceDisconnected();
    void onDeviceError();
    void onDataFull(QByteArray buf);

private slots:
    void onReadyToRead();
    void onErrorOccured(QSerialPort::SerialPortError err);

private:
    Q_DISABLE_COPY(AppDevice)

    AppDeviceData *m_deviceData;
    QSerialPort *serialPort;
};

#endif // APPDEVICE_H
