#ifndef APPSETTINGSMANAGER_H
#define APPSETTINGSMANAGER_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class AppTableData;
class IniFile;
class QStringListModel;

// Keeps the saved devices and commands between runs in three INI files in the per-user data
// folder. Holds no records itself: the table models do, and call the store for every change.
class AppSettingsManager : public QObject
{
    Q_OBJECT
public:
    AppSettingsManager();
    ~AppSettingsManager() override;

    QList<AppTableData *> *loadDevices();
    QList<AppTableData *> *loadCommands();
    bool deviceExists(QString name);
    bool commandExists(QString name);
    void addDevice(QString name, QString portName, int baudRate, int stopBits, int dataBits,
        int parity, int flowControl);
    void addCommand(QString name, QByteArray bytes);
    void changeDeviceName(QString oldName, QString newName);
    void changeCommandName(QString oldName, QString newName);
    void setDeviceValue(QString name, QString keySuffix, QVariant value);
    void setCommandBytes(QString name, QByteArray bytes);
    void removeDevice(QString name);
    void removeCommand(QString name);
    int commandCount();
    QString commandNameAt(int index);
    // The saved command names in the order of commandNameAt(), kept in step with every add,
    // rename and removal, so a list shown from it follows the saved commands. The store owns it.
    QStringListModel *commandNameModel() const;
    QByteArray commandBytes(QString name);
    QString dataFolder();
    void saveHistoryLog(QString text);

    // True for a name that the INI files would not give back as typed: QSettings reads "/" as a
    // group separator (dropping leading, trailing and doubled ones) and on Windows turns "\" into
    // "/". Every road that saves or renames a device or command refuses such a name.
    static bool nameHasSeparator(const QString &name);

private:
    Q_DISABLE_COPY(AppSettingsManager)

    void insertCommandName(const QString &name);
    void removeCommandName(const QString &name);
    void renameCommandName(const QString &oldName, const QString &newName);

    // In the INI format of QSettings; see IniFile for why not QSettings itself.
    IniFile *deviceSettings;
    IniFile *deviceNameSettings;
    IniFile *commandSettings;
    // The saved names, sorted as the files list their keys. Read from the files once and kept in
    // step with every change, so no check or listing reads all the keys again.
    QStringList deviceNames;
    QStringListModel *commandNames;
};

#endif // APPSETTINGSMANAGER_H
