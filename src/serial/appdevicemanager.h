#ifndef APPDEVICEMANAGER_H
#define APPDEVICEMANAGER_H

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class AppDevice;
class AppDeviceData;

// The one registry of open devices, at most one per port name and one per line. Owns the
// devices it holds. Every open, from a row's button or from the command line, goes through
// openDevice().
class AppDeviceManager : public QObject
{
public:
    AppDeviceManager();
    ~AppDeviceManager() override;

    // Opens a device of its own for the record and takes it in. Returns nullptr, after telling
    // the operator why, when the line is held by another port name, the port does not open, or
    // the name is taken.
    AppDevice *openDevice(const AppDeviceData *record);

    // Takes the device in under its port name. Returns false, after telling the operator,
    // when that name is taken; the device then stays the caller's.
    bool registerDevice(AppDevice *device);
    bool isPortFree(QString portName);
    // The registered device on the port, if any.
    AppDevice *device(const QString &portName) const;
    // Closes the device, removes its entry and destroys it once control is back in the event
    // loop (its disconnection is announced again then).
    void closeDevice(QString portName);

private:
    Q_DISABLE_COPY(AppDeviceManager)

    // The registered device whose port is open on the line under another location, if any.
    const AppDevice *holderOfLine(const QString &location) const;

    QMap<QString, AppDevice *> devices;
    // Port names whose device is being closed right now.
    QSet<QString> closing;
};

#endif // APPDEVICEMANAGER_H
