#ifndef APPDEVICEMANAGER_H
#define APPDEVICEMANAGER_H

#include <QMap>
#include <QObject>
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
    void closeDevice(QString portName);

private:
    Q_DISABLE_COPY(AppDeviceManager)

    QMap<QString, AppDevice *> devices;
};

#endif // APPDEVICEMANAGER_H
