#ifndef APPDEVICEMANAGER_H
#define APPDEVICEMANAGER_H

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class AppDevice;

// The registry of open devices, at most one per port name. Owns the devices it holds.
class AppDeviceManager : public QObject
{
public:
    AppDeviceManager();
    ~AppDeviceManager() override;

    // Takes the device in under its port name. Returns false, after telling the operator,
    // when that name is taken; the device then stays the caller's.
    bool registerDevice(AppDevice *device);
    bool isPortFree(QString portName);
    // Closes the device, removes its entry and destroys it once control is back in the event
    // loop (its disconnection is announced again then).
    void closeDevice(QString portName);

private:
    Q_DISABLE_COPY(AppDeviceManager)

    QMap<QString, AppDevice *> devices;
    // Port names whose device is being closed right now.
    QSet<QString> closing;
};

#endif // APPDEVICEMANAGER_H
