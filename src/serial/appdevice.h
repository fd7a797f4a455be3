#ifndef APPDEVICE_H
#define APPDEVICE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <optional>

class AppDeviceData;

// One open device: owns its serial port, applies the record's settings, hands every batch of
// received bytes on as one signal and reports port errors.
class AppDevice : public QObject
{
    Q_OBJECT
public:
    // Keeps a copy of the record, so the caller's record may go away while the device is open.
    explicit AppDevice(const AppDeviceData *deviceData);
    ~AppDevice() override;

    bool open();
    void applySettings();
    void write(QByteArray bytes);
    void close();
    AppDeviceData *deviceData() const;
    bool isOpen() const { return state == State::Open; }
    // Where the port lives, as named ("/dev/COM5", a mapping entry, \\.\COM3), once the
    // settings have been applied.
    QString systemLocation() const;
    // The line the open port is on, with links resolved; empty while not open. Running as root,
    // neither the port's lock file (named after the path as given) nor the exclusive-use flag
    // stops a second open of the same line under another name, so the registry compares these.
    QString openLine() const { return line; }

signals:
    void onDeviceConnected();
    void onDeviceDisconnected();
    void onDeviceError();
    void onDataFull(QByteArray buf);
    // Bytes handed to the port by write(), for logs that record both directions.
    void onDataWritten(QByteArray bytes);
    // The line went away (unplugged, hung up); sent once, before the operator is told.
    void lineLost();

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

    // Where the device is in its life. Errors are handled by the state they arrive in.
    enum class State {
        NotOpen, // never opened, or the last open failed: errors are device errors
        Opening, // inside the port's open: errors are collected, shown once, as open failures
        Open,
        Closing, // inside the port's close: errors are collected and shown once it is closed
        Closed, // closed since it was open: errors still waiting are not device errors
        LineGone, // the line went and the port was closed at once: notifications are stale
    };

    void showReports(Report report);
    void showPendingReports();
    bool isHungUp() const;
    void closePort();
    QString lostLineText(const QString &reason) const;

    AppDeviceData *m_deviceData;
    QSerialPort *serialPort;
    State state = State::NotOpen;
    // The report in the message box right now, if one is open.
    std::optional<Report> shownReport;
    // Errors that arrived while this device's message box was open, shown one after another.
    QList<Report> pendingReports;
    QString line;
};

#endif // APPDEVICE_H
