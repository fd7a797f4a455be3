#ifndef APPSETTINGSMANAGER_H
#define APPSETTINGSMANAGER_H

#include "data/inifile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <memory>

class AppTableData;
class QStringListModel;
class QTemporaryDir;

// Keeps the saved devices and commands between runs in three INI files in the per-user data
// folder. Holds no records itself: the table models do, and call the store for every change.
// Every change is written at once and checked; a change that did not reach the disk is taken
// back, the operator is told why, and the operation returns false.
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
    bool addDevice(QString name, QString portName, int baudRate, int stopBits, int dataBits,
        int parity, int flowControl);
    bool addCommand(QString name, QByteArray bytes);
    bool changeDeviceName(QString oldName, QString newName);
    bool changeCommandName(QString oldName, QString newName);
    bool setDeviceValue(QString name, QString keySuffix, QVariant value);
    bool setCommandBytes(QString name, QByteArray bytes);
    bool removeDevice(QString name);
    bool removeCommand(QString name);
    // The saved command names, sorted, kept in step with every add,
    // rename and removal, so a list shown from it follows the saved commands. The store owns it.
    QStringListModel *commandNameModel() const;

    // Options of a saved device beside its six settings (logging, line states, reconnect, line
    // ending, view), in "deviceoptions.ini" as "<name>_<option>". Option words hold no "_", so
    // every key names its device unambiguously. They follow a rename and go with a removal.
    using Options = IniFile::Changes; // each key an option word
    QVariant deviceOption(const QString &name, const QString &option,
        const QVariant &defaultValue = QVariant()) const;
    bool hasDeviceOption(const QString &name, const QString &option) const;
    // Every option of the device, to put back with setDeviceOptions (undoing a deletion).
    Options deviceOptions(const QString &name) const;
    // Written at once; an invalid value removes the option. On failure the operator is told and
    // nothing changed. Nothing is stored for a device without a name (an unsaved port).
    bool setDeviceOptions(const QString &name, const Options &options);
    bool setDeviceOption(const QString &name, const QString &option, const QVariant &value);
    // Program-wide options in the same file, under bare words (no "_"), such as the folder every
    // terminal logs to.
    QVariant appOption(const QString &option, const QVariant &defaultValue = QVariant()) const;
    bool setAppOption(const QString &option, const QVariant &value);
    QByteArray commandBytes(QString name);
    QString dataFolder();

    // True for a name that the INI files would not give back as typed: QSettings reads "/" as a
    // group separator (dropping leading, trailing and doubled ones) and on Windows turns "\" into
    // "/". Every road that saves or renames a device or command refuses such a name.
    static bool nameHasSeparator(const QString &name);
    // Whether a device or command may be saved under a name, telling the operator why not: a
    // blank name, one already `taken`, or one with a separator. Each road words the first two
    // refusals its own way; `kind` is "Device" or "Command".
    static bool nameAllowed(const QString &name, bool taken, const QString &kind,
        const QString &blankText, const QString &takenText);

private:
    Q_DISABLE_COPY(AppSettingsManager)

    using KeyValues = IniFile::Changes;

    IniFile *openScreened(const QString &folder, const QString &file, int kind);
    // Applies the changes to one file and writes it. On failure the file keeps what it had, in
    // memory as on disk, and the operator is told (unless `tell` is false: taking back the first
    // half of a change adds nothing to the message about the second). `undo` receives what puts
    // the keys back.
    bool writeKeys(
        IniFile *settings, const KeyValues &changes, KeyValues *undo = nullptr, bool tell = true);
    // The same without telling: the reason, or an empty string when the change was written.
    QString write(IniFile *settings, const KeyValues &changes, KeyValues *undo = nullptr);
    // The file a message names: the damaged original of a file read from a repaired copy.
    QString shownPath(IniFile *settings) const;
    // Whether any of a device's settings is saved: a name without any is not shown.
    bool hasSettings(const QString &name) const;
    void removeOrphans();
    // The keys of the device's options, as the file has them.
    QStringList optionKeysOf(const QString &name) const;
    void reportIgnoredItems();
    // Reads the name list of a name or command file again from what it holds in memory.
    void namesFollow(IniFile *settings);
    void insertCommandName(const QString &name);
    void removeCommandName(const QString &name);
    void renameCommandName(const QString &oldName, const QString &newName);

    // Files that held values this program cannot read and could not be repaired on disk: their
    // settings object reads a repaired copy, and every write to them is refused.
    QHash<QString, QString> unrepairedFiles;
    std::unique_ptr<QTemporaryDir> repairedCopies;
    QStringList ignoredItems;
    QStringList ignoredNotes;

    // In the INI format of QSettings; see IniFile for why not QSettings itself.
    IniFile *deviceSettings;
    IniFile *deviceNameSettings;
    IniFile *commandSettings;
    IniFile *deviceOptionSettings;
    // The saved names, sorted as the files list their keys. Read from the files once and changed
    // only after a write that reached the disk, so no check or listing reads all the keys again.
    QStringList deviceNames;
    QStringListModel *commandNames;
};

#endif // APPSETTINGSMANAGER_H
