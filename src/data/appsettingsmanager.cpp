#include "data/appsettingsmanager.h"

#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "util/qtcompat.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The six settings of a device in "devicelist.ini": the name followed by a suffix, in the order
// they are written, with the value a missing key reads as (stop bits: position 1, not 0).
enum DeviceKeyIndex { ComPort, BaudRate, StopBits, DataBits, Parity, FlowControl, DeviceKeyCount };

struct DeviceKey
{
    QString suffix;
    QVariant defaultValue;
};

const DeviceKey &deviceKey(int index)
{
    static const DeviceKey keys[DeviceKeyCount]
        = { { QStringLiteral("_comport"), QStringLiteral("COM1") },
              { QStringLiteral("_baudrate"), 9600 }, { QStringLiteral("_stopbits"), 1 },
              { QStringLiteral("_databits"), 8 }, { QStringLiteral("_parity"), 0 },
              { QStringLiteral("_flowcontrol"), 0 } };
    return keys[index];
}

QVariant readDeviceValue(QSettings *settings, const QString &name, int index)
{
    const DeviceKey &key = deviceKey(index);
    return settings->value(name + key.suffix, key.defaultValue);
}

// The saved names of a file. A hand-edited line "=value" gives an empty key, which no
// operation could touch safely (QSettings::remove("") empties the file); it is left alone.
QStringList savedNames(QSettings *settings)
{
    QStringList names = settings->allKeys();
    names.removeAll(QString());
    return names;
}

} // namespace

AppSettingsManager::AppSettingsManager()
    : deviceSettings(nullptr)
    , deviceNameSettings(nullptr)
    , commandSettings(nullptr)
{
    const QString folder = dataFolder();
    deviceSettings = new QSettings(folder + QStringLiteral("devicelist.ini"), QSettings::IniFormat);
    deviceNameSettings
        = new QSettings(folder + QStringLiteral("devicenamelist.ini"), QSettings::IniFormat);
    commandSettings
        = new QSettings(folder + QStringLiteral("commandlist.ini"), QSettings::IniFormat);
    QtCompat::useUtf8Ini(*deviceSettings);
    QtCompat::useUtf8Ini(*deviceNameSettings);
    QtCompat::useUtf8Ini(*commandSettings);
}

AppSettingsManager::~AppSettingsManager()
{
    // Deleting a QSettings writes back whatever the event loop has not written yet.
    delete deviceSettings;
    delete commandSettings;
    delete deviceNameSettings;
}

bool AppSettingsManager::nameHasSeparator(const QString &name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'));
}

QList<AppTableData *> *AppSettingsManager::loadDevices()
{
    auto *list = new QList<AppTableData *>();
    const QStringList names = savedNames(deviceNameSettings);
    for (const QString &name : names) {
        // A value that is not a number reads as 0.
        const auto intValue = [&](int index) {
            return readDeviceValue(deviceSettings, name, index).toInt();
        };
        list->append(new AppDeviceData(name,
            readDeviceValue(deviceSettings, name, ComPort).toString(), intValue(BaudRate),
            intValue(DataBits), intValue(StopBits), intValue(Parity), intValue(FlowControl)));
    }
    return list;
}

QList<AppTableData *> *AppSettingsManager::loadCommands()
{
    auto *list = new QList<AppTableData *>();
    const QStringList names = savedNames(commandSettings);
    for (const QString &name : names)
        list->append(
            new AppCommandData(name, commandSettings->value(name, QByteArray()).toByteArray()));
    return list;
}

bool AppSettingsManager::deviceExists(QString name)
{
    return savedNames(deviceNameSettings).contains(name, Qt::CaseSensitive);
}

bool AppSettingsManager::commandExists(QString name)
{
    return savedNames(commandSettings).contains(name, Qt::CaseSensitive);
}

void AppSettingsManager::addDevice(QString name, QString portName, int baudRate, int stopBits,
    int dataBits, int parity, int flowControl)
{
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    if (savedNames(deviceNameSettings).contains(name, Qt::CaseSensitive)) {
        app->showMessage(tr("Device name is repeated. Please use another name."));
        return;
    }
    if (name.isEmpty()) {
        app->showMessage(tr("Device name can not be empty. Please use another name."));
        return;
    }
    if (nameHasSeparator(name)) {
        app->showMessage(tr("Device name can not contain / or \\."));
        return;
    }
    deviceNameSettings->setValue(name, 1);
    deviceSettings->setValue(name + deviceKey(ComPort).suffix, portName);
    deviceSettings->setValue(name + deviceKey(BaudRate).suffix, baudRate);
    deviceSettings->setValue(name + deviceKey(StopBits).suffix, stopBits);
    deviceSettings->setValue(name + deviceKey(DataBits).suffix, dataBits);
    deviceSettings->setValue(name + deviceKey(Parity).suffix, parity);
    deviceSettings->setValue(name + deviceKey(FlowControl).suffix, flowControl);
}

void AppSettingsManager::addCommand(QString name, QByteArray bytes)
{
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    if (savedNames(commandSettings).contains(name, Qt::CaseSensitive)) {
        app->showMessage(tr("Command name is repeated. Please use another name."));
        return;
    }
    if (name.isEmpty()) {
        app->showMessage(tr("Command name can not be empty. Please use another name."));
        return;
    }
    if (nameHasSeparator(name)) {
        app->showMessage(tr("Command name can not contain / or \\."));
        return;
    }
    commandSettings->setValue(name, bytes);
}

void AppSettingsManager::changeDeviceName(QString oldName, QString newName)
{
    // QSettings::remove("") empties the whole file, and a name with a separator would not come
    // back as typed; the models refuse both, this is the second guard.
    if (oldName.isEmpty() || newName.isEmpty() || nameHasSeparator(newName))
        return;

    // Read everything first and remove the old keys before writing the new ones: where the INI
    // keys ignore letter case (Windows), "cam1" and "Cam1" are the same key.
    QVariant values[DeviceKeyCount];
    for (int i = 0; i < DeviceKeyCount; ++i)
        values[i] = readDeviceValue(deviceSettings, oldName, i);

    deviceNameSettings->remove(oldName);
    deviceNameSettings->setValue(newName, 1);
    for (int i = 0; i < DeviceKeyCount; ++i)
        deviceSettings->remove(oldName + deviceKey(i).suffix);
    for (int i = 0; i < DeviceKeyCount; ++i)
        deviceSettings->setValue(newName + deviceKey(i).suffix, values[i]);
}

void AppSettingsManager::changeCommandName(QString oldName, QString newName)
{
    if (oldName.isEmpty() || newName.isEmpty() || nameHasSeparator(newName))
        return;
    // Read, remove, then write: see changeDeviceName.
    const QByteArray bytes = commandSettings->value(oldName, QByteArray()).toByteArray();
    commandSettings->remove(oldName);
    commandSettings->setValue(newName, bytes);
}

void AppSettingsManager::setDeviceValue(QString name, QString keySuffix, QVariant value)
{
    if (name.isEmpty())
        return;
    deviceSettings->setValue(name + keySuffix, value);
}

void AppSettingsManager::setCommandBytes(QString name, QByteArray bytes)
{
    if (name.isEmpty())
        return;
    commandSettings->setValue(name, bytes);
}

void AppSettingsManager::removeDevice(QString name)
{
    if (name.isEmpty())
        return;
    deviceNameSettings->remove(name);
    for (int i = 0; i < DeviceKeyCount; ++i)
        deviceSettings->remove(name + deviceKey(i).suffix);
}

void AppSettingsManager::removeCommand(QString name)
{
    if (name.isEmpty())
        return;
    commandSettings->remove(name);
}

int AppSettingsManager::commandCount()
{
    return savedNames(commandSettings).size();
}

QString AppSettingsManager::commandNameAt(int index)
{
    return savedNames(commandSettings).value(index);
}

QByteArray AppSettingsManager::commandBytes(QString name)
{
    if (name.isEmpty())
        return QByteArray();
    return commandSettings->value(name, QByteArray()).toByteArray();
}

QString AppSettingsManager::dataFolder()
{
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/'));
}

void AppSettingsManager::saveHistoryLog(QString text)
{
    if (text.isEmpty())
        return;

    QString folder = QFileDialog::getExistingDirectory(nullptr, tr("Choose logging file path"),
        dataFolder(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        folder = dataFolder();
        // Before the first saved item the data folder does not exist yet; the export is not
        // to be lost for that.
        QDir().mkpath(folder);
    }

    // Exactly one separator: the data folder and a drive's root already end in one.
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += QStringLiteral("app.log");

    QFile file(path);
    if (!file.open(QIODevice::Append))
        return;
    text += QLatin1Char('\n');
    file.write(text.toUtf8());
    file.flush();
    file.close();
}
