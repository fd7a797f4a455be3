#ifndef APPDEVICE_H
#define APPDEVICE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include "serial/lineoptions.h"
#include "serial/modemlines.h"

#include <optional>

class AppDeviceData;
class QTimer;

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
    // False when the port did not take the bytes (closed, or refused them).
    bool write(QByteArray bytes);
    // Bytes handed to the port and not yet written to the line.
    qint64 bytesToWrite() const;
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

    // The line went with reconnect on: the port is closed and watched for its return.
    bool isWaiting() const { return state == State::Waiting; }
    // The control lines, through ModemLines; nothing while not open or where the port cannot
    // report them. Output lines set here are set again after a reconnection.
    std::optional<int> modemLines() const;
    bool setModemLine(ModemLines::Line line, bool on);
    // Holds a break for `ms`; false where the port takes none.
    bool sendBreak(int ms);
    std::optional<ModemLines::Counts> lineErrorCounts() const;
    // Read from the device's stored options when it is made (lineoptions.h).
    const LineOptions &lineOptions() const { return options; }
    void setReconnect(bool on);
    // A null adapter unbinds; the next open takes the saved port name again.
    void setAdapter(const AdapterId &adapter);
    // The USB adapter the open port is on; null where the system lists none.
    AdapterId openAdapter() const;

signals:
    void onDeviceConnected();
    void onDeviceDisconnected();
    void onDeviceError();
    void onDataFull(QByteArray buf);
    // Bytes handed to the port by write(), for logs that record both directions.
    void onDataWritten(QByteArray bytes);
    // The line went away (unplugged, hung up); sent once, before the operator is told.
    void lineLost();
    // Writing to the line failed; sent before the operator is told, so senders stop at once.
    void writeFailed(const QString &reason);
    // The line went and the device waits for it to come back; `text` says so for the operator.
    void waitingForLine(QString text);
    // Open again after waiting, with the same settings and output lines.
    void reconnected();

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
        Waiting, // as LineGone, but reconnecting: the port name is watched for a line to reopen
    };

    void showReports(Report report);
    void showPendingReports();
    bool isHungUp() const;
    void closePort();
    QString lostLineText(const QString &reason) const;
    // "COM3 (ttyUSB0, Bench supply)"
    QString lineDescription() const;
    void applyLineStates();
    void waitForLine();
    void lookForLine();
    bool portsMayHaveChanged();
    std::optional<AdapterId> adapterAt(const QString &location) const;
    bool boundAdapterPresent(QString *location) const;
    QString adapterRefusal() const;

    AppDeviceData *m_deviceData;
    QSerialPort *serialPort;
    State state = State::NotOpen;
    // The report in the message box right now, if one is open.
    std::optional<Report> shownReport;
    // Errors that arrived while this device's message box was open, shown one after another.
    QList<Report> pendingReports;
    QString line;
    LineOptions options;
    // Ticks while waiting for a lost line.
    QTimer *waitTimer;
    // When the system's port folders last changed, as last looked at while waiting.
    qint64 portFoldersStamp = -1;
};

#endif // APPDEVICE_H
