#ifndef APPDEVICE_H
#define APPDEVICE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

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

    // An error waiting for the operator. `gone` errors close the device once they are shown.
    struct Report
    {
        QString text;
        bool gone;
        bool operator==(const Report &other) const
        {
            return text == other.text && gone == other.gone;
        }
    };

    void showReports(Report report);
    void showPendingReports();
    bool isHungUp() const;
    bool isHeldUnderAnotherName(const QString &location) const;
    void closePort();

    AppDeviceData *m_deviceData;
    QSerialPort *serialPort;

    // Errors that arrived while this device's message box was open, shown one after another.
    QList<Report> pendingReports;
    Report shownReport { QString(), false };
    bool showingMessage = false;
    // The line has gone and the port was closed at once; later notifications are stale.
    bool lineGone = false;
    // Set while we close the port ourselves.
    bool closingPort = false;
    // Set while the port opens: its errors are shown once it is done, each text once.
    bool collectingReports = false;
    // The port was open and has been closed since: errors still waiting are not device errors.
    bool portClosed = false;
    // Where the open port lives: as named, and with links resolved (the in-process lock key).
    QString systemLocation;
    QString heldLocation;
};

#endif // APPDEVICE_H
