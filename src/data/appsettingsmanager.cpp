#include "data/appsettingsmanager.h"

#include "data/apptabledata.h"

#include <QSettings>

AppSettingsManager::AppSettingsManager()
    : deviceSettings(nullptr)
    , deviceNameSettings(nullptr)
    , commandSettings(nullptr)
{
}

AppSettingsManager::~AppSettingsManager() = default;

QList<AppTableData *> *AppSettingsManager::loadDevices()
{
    return new QList<AppTableData *>();
}

QList<AppTableData *> *AppSettingsManager::loadCommands()
{
    return new QList<AppTableData *>();
}

bool AppSettingsManager::deviceExists(QString)
{
    return false;
}

bool AppSettingsManager::commandExists(QString)
{
    return false;
}

void AppSettingsManager::addDevice(QString, QString, int, int, int, int, int) { }
void AppSettingsManager::addCommand(QString, QByteArray) { }
void AppSettingsManager::changeDeviceName(QString, QString) { }
void AppSettingsManager::changeCommandName(QString, QString) { }
void AppSettingsManager::setDeviceValue(QString, QString, QVariant) { }
void AppSettingsManager::setCommandBytes(QString, QByteArray) { }
void AppSettingsManager::removeDevice(QString) { }
void AppSettingsManager::removeCommand(QString) { }

int AppSettingsManager::commandCount()
{
    return 0;
}

QString AppSettingsManager::commandNameAt(int)
{
    return QString();
}

QByteArray AppSettingsManager::commandBytes(QString)
{
    return QByteArray();
}

QString AppSettingsManager::dataFolder()
{
    return QString();
}

void AppSettingsManager::saveHistoryLog(QString) { }
