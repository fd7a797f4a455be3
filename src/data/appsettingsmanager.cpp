#include "data/appsettingsmanager.h"

#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/inifile.h"
#include "data/inisyntax.h"
#include "util/diskfailure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

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

QVariant readDeviceValue(IniFile *settings, const QString &name, int index)
{
    const DeviceKey &key = deviceKey(index);
    return settings->value(name + key.suffix, key.defaultValue);
}

// The saved names of a file. A hand-edited line "=value" gives an empty key, which no
// operation could touch safely (QSettings::remove("") empties the file); it is left alone.
QStringList savedNames(IniFile *settings)
{
    QStringList names = settings->allKeys();
    names.removeAll(QString());
    return names;
}

// The position of a name in a sorted list, and whether it is there.
QPair<int, bool> findName(const QStringList &names, const QString &name)
{
    const auto at = std::lower_bound(names.cbegin(), names.cend(), name);
    return { int(at - names.cbegin()), at != names.cend() && *at == name };
}

void insertName(QStringList &names, const QString &name)
{
    const QPair<int, bool> found = findName(names, name);
    if (!found.second)
        names.insert(found.first, name);
}

void removeName(QStringList &names, const QString &name)
{
    const QPair<int, bool> found = findName(names, name);
    if (found.second)
        names.removeAt(found.first);
}

QString tr(const char *text)
{
    return QCoreApplication::translate("AppSettingsManager", text);
}

// What each file may hold besides plain text: commands are byte arrays, the name list's values
// are never used.
enum FileKind { NameFile, DeviceFile, CommandFile };

// True for a line QSettings would read as something this program never writes.
bool foreignValue(const IniSyntax::Entry &entry, FileKind kind)
{
    if (entry.isList && kind != NameFile)
        return true;
    return std::any_of(entry.elements.cbegin(), entry.elements.cend(), [kind](const QString &e) {
        return IniSyntax::decodesToOtherType(e)
            || (kind == DeviceFile && IniSyntax::isByteArray(e));
    });
}

// The first free backup name: "<file>.bak", then "<file>.1.bak" and on; none is ever replaced.
QString freeBackupName(const QString &path)
{
    QString backup = path + QStringLiteral(".bak");
    for (int i = 1; QFileInfo::exists(backup); ++i)
        backup = path + QStringLiteral(".%1.bak").arg(i);
    return backup;
}

// The name a device setting key belongs to, or a null string for a key of no device setting.
QString deviceOfKey(const QString &key)
{
    for (int i = 0; i < DeviceKeyCount; ++i) {
        if (key.endsWith(deviceKey(i).suffix))
            return key.left(key.size() - deviceKey(i).suffix.size());
    }
    return QString();
}

void showWriteFailure(const QString &path, const QString &reason)
{
    VerantisTerminalApp::app()->showMessage(
        tr("Could not save to %1: %2. The change was not saved.")
            .arg(QDir::toNativeSeparators(path), reason));
}

IniFile *openSettings(const QString &path)
{
    return new IniFile(path);
}

const int orphanAgeSeconds = 5;

bool sameKey(const QString &a, const QString &b)
{
#ifdef Q_OS_WIN
    return a.compare(b, Qt::CaseInsensitive) == 0;
#else
    return a == b;
#endif
}

} // namespace

AppSettingsManager::AppSettingsManager()
    : deviceSettings(nullptr)
    , deviceNameSettings(nullptr)
    , commandSettings(nullptr)
    , deviceOptionSettings(nullptr)
    , commandNames(new QStringListModel(this))
{
    const QString folder = dataFolder();
    // The names before the settings: another copy of the program saves a device's settings
    // before its name, so every name read here has its settings in the file read next.
    deviceNameSettings = openScreened(folder, QStringLiteral("devicenamelist.ini"), NameFile);
    deviceSettings = openScreened(folder, QStringLiteral("devicelist.ini"), DeviceFile);
    commandSettings = openScreened(folder, QStringLiteral("commandlist.ini"), CommandFile);
    deviceOptionSettings = openScreened(folder, QStringLiteral("deviceoptions.ini"), DeviceFile);
    // allKeys() gives them sorted, as the lists below keep them.
    namesFollow(deviceNameSettings);
    commandNames->setStringList(savedNames(commandSettings));
    removeOrphans();
    // The name lists follow a file that another writer changed and that was therefore read again.
    connect(
        deviceNameSettings, &IniFile::reread, this, [this] { namesFollow(deviceNameSettings); });
    connect(deviceSettings, &IniFile::reread, this, [this] { namesFollow(deviceNameSettings); });
    connect(commandSettings, &IniFile::reread, this, [this] { namesFollow(commandSettings); });
    // After start-up, over the main window.
    if (!ignoredItems.isEmpty())
        QTimer::singleShot(0, this, &AppSettingsManager::reportIgnoredItems);
}

AppSettingsManager::~AppSettingsManager()
{
    // Deleting an IniFile writes back whatever the event loop has not written yet.
    delete deviceSettings;
    delete commandSettings;
    delete deviceNameSettings;
    delete deviceOptionSettings;
}

IniFile *AppSettingsManager::openScreened(const QString &folder, const QString &file, int kind)
{
    const QString path = folder + file;
    QFile in(path);
    if (!QFileInfo(path).isFile() || !in.open(QIODevice::ReadOnly))
        return openSettings(path);
    const QByteArray data = in.readAll();
    in.close();

    // Every line as QSettings will read it, so no value reaches QSettings that it would decode
    // into anything but the types written here.
    QByteArray kept;
    int from = 0;
    QStringList ignored;
    for (const IniSyntax::Entry &entry : IniSyntax::read(data)) {
        if (!foreignValue(entry, FileKind(kind)))
            continue;
        kept += data.mid(from, entry.begin - from);
        // Its line end too: the next line starts a line as before.
        from = entry.end;
        while (from < data.size() && (data.at(from) == '\n' || data.at(from) == '\r'))
            ++from;
        ignored.append(file + QStringLiteral(": ") + entry.key);
    }
    if (ignored.isEmpty())
        return openSettings(path);
    kept += data.mid(from);
    ignoredItems += ignored;

    // The file as it was stays next to it, beside any earlier backup; the repaired one keeps
    // every other line as it was.
    if (QFile::copy(path, freeBackupName(path)) && IniFile::replaceWhole(path, kept)) {
        ignoredNotes.removeAll(tr("The files as they were are kept next to them with the ending "
                                  ".bak."));
        ignoredNotes.append(
            tr("The files as they were are kept next to them with the ending .bak."));
        return openSettings(path);
    }

    // The file cannot be repaired where it is; its other items are read from a repaired copy,
    // and nothing is saved to it in this run.
    if (!repairedCopies)
        repairedCopies = std::make_unique<QTemporaryDir>();
    const QString copy = repairedCopies->filePath(file);
    QFile out(copy);
    if (out.open(QIODevice::WriteOnly))
        out.write(kept);
    out.close();
    unrepairedFiles.insert(copy, path);
    ignoredNotes.prepend(tr("%1 could not be repaired (%2); changes to it cannot be saved.")
                             .arg(file, DiskFailure::reason(path, kept.size())));
    return openSettings(copy);
}

void AppSettingsManager::reportIgnoredItems()
{
    if (ignoredItems.isEmpty())
        return;
    const QStringList lines
        = QStringList(tr("These saved items hold values this program cannot read and were "
                         "ignored:"))
        + ignoredItems + ignoredNotes;
    ignoredItems.clear();
    ignoredNotes.clear();
    VerantisTerminalApp::app()->showMessage(lines.join(QLatin1Char('\n')));
}

QString AppSettingsManager::write(IniFile *settings, const KeyValues &changes, KeyValues *undo)
{
    if (unrepairedFiles.contains(settings->fileName()))
        return tr("it holds values this program cannot read and could not be repaired");
    return settings->commit(changes, undo);
}

bool AppSettingsManager::writeKeys(
    IniFile *settings, const KeyValues &changes, KeyValues *undo, bool tell)
{
    const QString reason = write(settings, changes, undo);
    if (!reason.isEmpty() && tell)
        showWriteFailure(shownPath(settings), reason);
    return reason.isEmpty();
}

QString AppSettingsManager::shownPath(IniFile *settings) const
{
    return unrepairedFiles.value(settings->fileName(), settings->fileName());
}

bool AppSettingsManager::hasSettings(const QString &name) const
{
    for (int i = 0; i < DeviceKeyCount; ++i) {
        if (deviceSettings->contains(name + deviceKey(i).suffix))
            return true;
    }
    return false;
}

// A kill between the two writes of a change leaves settings without a name, or (from older
// versions) a name without settings; neither is shown, and both go at the next start.
void AppSettingsManager::removeOrphans()
{
    KeyValues ghosts;
    for (const QString &name : savedNames(deviceNameSettings)) {
        if (!findName(deviceNames, name).second)
            ghosts.append({ name, QVariant() });
    }
    // Where keys match without regard to case (Windows), so do the names of their devices.
    const auto folded = [](const QString &name) {
#ifdef Q_OS_WIN
        return name.toLower();
#else
        return name;
#endif
    };
    QSet<QString> names;
    for (const QString &name : qAsConst(deviceNames))
        names.insert(folded(name));
    KeyValues orphans;
    const QStringList keys = deviceSettings->allKeys();
    for (const QString &key : keys) {
        const QString device = deviceOfKey(key);
        if (!device.isNull() && !names.contains(folded(device)))
            orphans.append({ key, QVariant() });
    }
    if (!ghosts.isEmpty())
        write(deviceNameSettings, ghosts);
    // Settings without a name may belong to a device another copy of the program is saving
    // right now; a file left alone for a while has no change in flight.
    const QDateTime changed = QFileInfo(deviceSettings->fileName()).lastModified();
    if (!orphans.isEmpty() && changed.secsTo(QDateTime::currentDateTime()) > orphanAgeSeconds)
        write(deviceSettings, orphans);

    // Options of a device that is gone: a rename or removal cut short.
    KeyValues lostOptions;
    for (const QString &key : deviceOptionSettings->allKeys()) {
        const int cut = key.lastIndexOf(QLatin1Char('_'));
        if (cut >= 0 && !names.contains(folded(key.left(cut))))
            lostOptions.append({ key, QVariant() });
    }
    const QDateTime optionsChanged = QFileInfo(deviceOptionSettings->fileName()).lastModified();
    if (!lostOptions.isEmpty()
        && optionsChanged.secsTo(QDateTime::currentDateTime()) > orphanAgeSeconds)
        write(deviceOptionSettings, lostOptions);
}

void AppSettingsManager::namesFollow(IniFile *settings)
{
    if (settings == deviceNameSettings) {
        deviceNames = savedNames(deviceNameSettings);
        deviceNames.erase(std::remove_if(deviceNames.begin(), deviceNames.end(),
                              [this](const QString &name) { return !hasSettings(name); }),
            deviceNames.end());
    } else if (settings == commandSettings)
        commandNames->setStringList(savedNames(commandSettings));
}

bool AppSettingsManager::nameAllowed(const QString &name, bool taken, const QString &kind,
    const QString &blankText, const QString &takenText)
{
    QString refusal;
    if (name.isEmpty())
        refusal = blankText;
    else if (taken)
        refusal = takenText;
    else if (nameHasSeparator(name))
        refusal = tr("%1 name can not contain / or \\.").arg(kind);
    if (refusal.isEmpty())
        return true;
    VerantisTerminalApp::app()->showMessage(refusal);
    return false;
}

bool AppSettingsManager::nameHasSeparator(const QString &name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'));
}

QList<AppTableData *> *AppSettingsManager::loadDevices()
{
    auto *list = new QList<AppTableData *>();
    list->reserve(deviceNames.size());
    const QStringList names = deviceNames;
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
    const QStringList names = commandNames->stringList();
    list->reserve(names.size());
    for (const QString &name : names)
        list->append(
            new AppCommandData(name, commandSettings->value(name, QByteArray()).toByteArray()));
    return list;
}

bool AppSettingsManager::deviceExists(QString name)
{
    return findName(deviceNames, name).second;
}

bool AppSettingsManager::commandExists(QString name)
{
    return findName(commandNames->stringList(), name).second;
}

bool AppSettingsManager::addDevice(QString name, QString portName, int baudRate, int stopBits,
    int dataBits, int parity, int flowControl)
{
    if (!nameAllowed(name, deviceExists(name), QStringLiteral("Device"),
            tr("Device name can not be empty. Please use another name."),
            tr("Device name is repeated. Please use another name.")))
        return false;
    // The settings first, the name last: a device is saved once its name is, so a name must
    // never stand without the settings it was saved with.
    const QVariant values[DeviceKeyCount]
        = { portName, baudRate, stopBits, dataBits, parity, flowControl };
    KeyValues settings;
    for (int i = 0; i < DeviceKeyCount; ++i)
        settings.append({ name + deviceKey(i).suffix, values[i] });
    KeyValues undo;
    if (!writeKeys(deviceSettings, settings, &undo))
        return false;
    if (writeKeys(deviceNameSettings, { { name, 1 } })) {
        insertName(deviceNames, name);
        return true;
    }
    writeKeys(deviceSettings, undo, nullptr, false);
    return false;
}

bool AppSettingsManager::addCommand(QString name, QByteArray bytes)
{
    if (!nameAllowed(name, commandExists(name), QStringLiteral("Command"),
            tr("Command name can not be empty. Please use another name."),
            tr("Command name is repeated. Please use another name.")))
        return false;
    if (!writeKeys(commandSettings, { { name, bytes } }))
        return false;
    insertCommandName(name);
    return true;
}

bool AppSettingsManager::changeDeviceName(QString oldName, QString newName)
{
    // QSettings::remove("") empties the whole file, and a name with a separator would not come
    // back as typed; the models refuse both, this is the second guard.
    if (oldName.isEmpty() || newName.isEmpty() || nameHasSeparator(newName))
        return false;

    // The new settings, then the names, then the old settings: a kill at any moment leaves the
    // old device or the new one whole, plus at most settings without a name.
    KeyValues added;
    KeyValues removed;
    for (int i = 0; i < DeviceKeyCount; ++i) {
        const QString oldKey = oldName + deviceKey(i).suffix;
        const QString newKey = newName + deviceKey(i).suffix;
        added.append({ newKey, readDeviceValue(deviceSettings, oldName, i) });
        // Where keys match without regard to case (Windows), "cam1" and "Cam1" are one key.
        if (!sameKey(oldKey, newKey))
            removed.append({ oldKey, QVariant() });
    }
    // The options travel the same way, in their own file.
    KeyValues addedOptions;
    KeyValues removedOptions;
    for (const QString &key : optionKeysOf(oldName)) {
        const QString newKey = newName + key.mid(oldName.size());
        addedOptions.append({ newKey, deviceOptionSettings->value(key) });
        if (!sameKey(key, newKey))
            removedOptions.append({ key, QVariant() });
    }
    KeyValues undo;
    if (!writeKeys(deviceSettings, added, &undo))
        return false;
    KeyValues optionsUndo;
    if (!addedOptions.isEmpty() && !writeKeys(deviceOptionSettings, addedOptions, &optionsUndo)) {
        writeKeys(deviceSettings, undo, nullptr, false);
        return false;
    }
    if (!writeKeys(deviceNameSettings, { { oldName, QVariant() }, { newName, 1 } })) {
        writeKeys(deviceSettings, undo, nullptr, false);
        if (!optionsUndo.isEmpty())
            writeKeys(deviceOptionSettings, optionsUndo, nullptr, false);
        return false;
    }
    removeName(deviceNames, oldName);
    insertName(deviceNames, newName);
    // The rename stands; settings left behind by a failure here go at the next start.
    write(deviceSettings, removed);
    if (!removedOptions.isEmpty())
        write(deviceOptionSettings, removedOptions);
    return true;
}

bool AppSettingsManager::changeCommandName(QString oldName, QString newName)
{
    if (oldName.isEmpty() || newName.isEmpty() || nameHasSeparator(newName))
        return false;
    // Read, remove, then write: see changeDeviceName.
    const QByteArray bytes = commandSettings->value(oldName, QByteArray()).toByteArray();
    if (!writeKeys(commandSettings, { { oldName, QVariant() }, { newName, bytes } }))
        return false;
    renameCommandName(oldName, newName);
    return true;
}

bool AppSettingsManager::setDeviceValue(QString name, QString keySuffix, QVariant value)
{
    if (name.isEmpty())
        return false;
    return writeKeys(deviceSettings, { { name + keySuffix, value } });
}

bool AppSettingsManager::setCommandBytes(QString name, QByteArray bytes)
{
    if (name.isEmpty())
        return false;
    return writeKeys(commandSettings, { { name, bytes } });
}

bool AppSettingsManager::removeDevice(QString name)
{
    // Nothing is stored under an empty name, so there is nothing to fail at.
    if (name.isEmpty())
        return true;
    // The name first: without it the device is gone, whatever of its settings a kill leaves.
    KeyValues undo;
    if (!writeKeys(deviceNameSettings, { { name, QVariant() } }, &undo))
        return false;
    KeyValues settings;
    for (int i = 0; i < DeviceKeyCount; ++i)
        settings.append({ name + deviceKey(i).suffix, QVariant() });
    const QString reason = write(deviceSettings, settings);
    // Refused only if the name can be put back; otherwise the removal stands, and the settings
    // left behind go at the next start.
    if (!reason.isEmpty() && write(deviceNameSettings, undo).isEmpty()) {
        // The failed write may have had the names read again in between.
        namesFollow(deviceNameSettings);
        showWriteFailure(shownPath(deviceSettings), reason);
        return false;
    }
    removeName(deviceNames, name);
    // Options left behind by a failure here go at the next start.
    KeyValues options;
    for (const QString &key : optionKeysOf(name))
        options.append({ key, QVariant() });
    if (!options.isEmpty())
        write(deviceOptionSettings, options);
    return true;
}

bool AppSettingsManager::removeCommand(QString name)
{
    // Nothing is stored under an empty name, so there is nothing to fail at.
    if (name.isEmpty())
        return true;
    if (!writeKeys(commandSettings, { { name, QVariant() } }))
        return false;
    removeCommandName(name);
    return true;
}

QStringListModel *AppSettingsManager::commandNameModel() const
{
    return commandNames;
}

QStringList AppSettingsManager::optionKeysOf(const QString &name) const
{
    QStringList keys;
    if (name.isEmpty())
        return keys;
    const QString prefix = name + QLatin1Char('_');
    for (const QString &key : deviceOptionSettings->allKeys()) {
        // "<name>_<option>" with no "_" in the option: "A_b_log" is device "A_b"'s, not "A"'s.
        if (key.size() > prefix.size() && sameKey(key.left(prefix.size()), prefix)
            && key.indexOf(QLatin1Char('_'), prefix.size()) < 0)
            keys.append(key);
    }
    return keys;
}

QVariant AppSettingsManager::deviceOption(
    const QString &name, const QString &option, const QVariant &defaultValue) const
{
    if (name.isEmpty())
        return defaultValue;
    return deviceOptionSettings->value(name + QLatin1Char('_') + option, defaultValue);
}

bool AppSettingsManager::hasDeviceOption(const QString &name, const QString &option) const
{
    return !name.isEmpty() && deviceOptionSettings->contains(name + QLatin1Char('_') + option);
}

AppSettingsManager::Options AppSettingsManager::deviceOptions(const QString &name) const
{
    Options options;
    for (const QString &key : optionKeysOf(name))
        options.append({ key.mid(name.size() + 1), deviceOptionSettings->value(key) });
    return options;
}

bool AppSettingsManager::setDeviceOptions(const QString &name, const Options &options)
{
    if (name.isEmpty() || options.isEmpty())
        return true;
    KeyValues changes;
    for (const IniFile::Change &option : options) {
        Q_ASSERT(!option.key.contains(QLatin1Char('_')));
        changes.append({ name + QLatin1Char('_') + option.key, option.value });
    }
    return writeKeys(deviceOptionSettings, changes);
}

bool AppSettingsManager::setDeviceOption(
    const QString &name, const QString &option, const QVariant &value)
{
    return setDeviceOptions(name, { { option, value } });
}

QVariant AppSettingsManager::appOption(const QString &option, const QVariant &defaultValue) const
{
    return deviceOptionSettings->value(option, defaultValue);
}

bool AppSettingsManager::setAppOption(const QString &option, const QVariant &value)
{
    Q_ASSERT(!option.contains(QLatin1Char('_')));
    return writeKeys(deviceOptionSettings, { { option, value } });
}

void AppSettingsManager::insertCommandName(const QString &name)
{
    const QPair<int, bool> found = findName(commandNames->stringList(), name);
    if (found.second)
        return;
    commandNames->insertRows(found.first, 1);
    commandNames->setData(commandNames->index(found.first), name);
}

void AppSettingsManager::removeCommandName(const QString &name)
{
    const QPair<int, bool> found = findName(commandNames->stringList(), name);
    if (found.second)
        commandNames->removeRows(found.first, 1);
}

// Moved rather than removed and added again, so a list showing the command keeps it chosen.
void AppSettingsManager::renameCommandName(const QString &oldName, const QString &newName)
{
    const QPair<int, bool> from = findName(commandNames->stringList(), oldName);
    if (!from.second) {
        insertCommandName(newName);
        return;
    }
    QStringList rest = commandNames->stringList();
    rest.removeAt(from.first);
    const QPair<int, bool> to = findName(rest, newName);
    if (to.second) {
        removeCommandName(oldName);
        return;
    }
    // moveRows() takes the destination as a row of the list before the move.
    const int destination = to.first >= from.first ? to.first + 1 : to.first;
    const bool stays = destination == from.first || destination == from.first + 1;
    if (!stays)
        commandNames->moveRows(QModelIndex(), from.first, 1, QModelIndex(), destination);
    commandNames->setData(commandNames->index(to.first), newName);
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
