#ifndef LINECONTROLS_H
#define LINECONTROLS_H

#include "serial/lineoptions.h"
#include "serial/modemlines.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class AppDevice;
class AppSettingsManager;
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

// The terminal's row for the line itself: DTR and RTS, Break, the input lines, Reconnect, the
// adapter binding and the driver's error counts. Every change it sees is reported as lineEvent.
class LineControls : public QWidget
{
    Q_OBJECT
public:
    // `terminal` is the window whose visibility decides whether the lines are read.
    LineControls(AppDevice *device, QWidget *terminal);

    // The options a saved device keeps in the store, as a device reads them when it is made.
    static LineOptions storedOptions(const AppSettingsManager *store, const QString &deviceName);

signals:
    // "DTR on", "CTS off", "Break 250 ms", "Reconnected", "Framing errors 3"
    void lineEvent(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Q_DISABLE_COPY(LineControls)

    void poll();
    void updatePolling();
    void showAvailability();
    void onOutputToggled(ModemLines::Line which, bool on);
    void onBreakClicked();
    void onReconnectToggled(bool on);
    void onBindToggled(bool on);
    void onWaiting(const QString &text);
    void onReconnected();
    void storeOption(const QString &option, const QVariant &value);

    // The registry may destroy the device before this terminal's controls go.
    QPointer<AppDevice> device;
    QWidget *terminal;
    QCheckBox *dtrCheck;
    QCheckBox *rtsCheck;
    QPushButton *breakBtn;
    QLabel *ctsLabel;
    QLabel *dsrLabel;
    QLabel *dcdLabel;
    QLabel *riLabel;
    QCheckBox *reconnectCheck;
    QCheckBox *bindAdapterCheck;
    QLabel *lineErrorsLabel;
    QLabel *waitLabel;
    // Reads the lines once a frame while the terminal can be seen.
    QTimer *pollTimer;
    // What the last read found; nothing where the port cannot report it.
    std::optional<int> lines;
    std::optional<ModemLines::Counts> counts;
    // The USB adapter the port is on, looked up once per open: listing ports is slow.
    AdapterId adapterHere;
};

#endif // LINECONTROLS_H
