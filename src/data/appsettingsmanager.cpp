#include "data/appsettingsmanager.h"

#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/inifile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
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

// One logical line of an INI file: where it lies in the bytes, and its key and raw value.
struct IniLine
{
    int begin;
    int end;
    QByteArray key;
    QByteArray value;
};

// Splits INI bytes into lines as QSettings reads them: a line ends at CR or LF unless a
// backslash stands before the end, comments start with ';', sections are in brackets.
QVector<IniLine> iniLines(const QByteArray &data)
{
    QVector<IniLine> lines;
    QByteArray section;
    int begin = 0;
    while (begin < data.size()) {
        int end = begin;
        while (end < data.size()) {
            const char c = data.at(end);
            if (c == '\\' && end + 1 < data.size()) {
                // An escaped line end continues the line, CR LF counting as one.
                end += data.mid(end + 1, 2) == "\r\n" ? 3 : 2;
                continue;
            }
            if (c == '\n' || c == '\r')
                break;
            ++end;
        }
        const QByteArray text = data.mid(begin, end - begin).trimmed();
        while (end < data.size() && (data.at(end) == '\n' || data.at(end) == '\r'))
            ++end;
        if (text.startsWith('[')) {
            section = text.mid(1);
            if (section.endsWith(']'))
                section.chop(1);
        } else if (!text.isEmpty() && !text.startsWith(';') && text.contains('=')) {
            const int equals = text.indexOf('=');
            QByteArray key = text.left(equals).trimmed();
            if (!section.isEmpty() && section != "General")
                key = section + '/' + key;
            lines.append({ begin, end, key, text.mid(equals + 1) });
        }
        begin = end;
    }
    return lines;
}

// The elements of a raw value after INI unescaping, close enough to QSettings' own reading to
// tell what it would make of them: a comma outside quotes makes a list.
QList<QByteArray> valueElements(const QByteArray &raw)
{
    QList<QByteArray> elements;
    QByteArray current;
    bool quoted = false;
    for (int i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            elements.append(current.trimmed());
            current.clear();
        } else if (c == '\\' && i + 1 < raw.size()) {
            const char escaped = raw.at(++i);
            const bool hex = escaped == 'x';
            const bool octal = escaped >= '0' && escaped <= '7';
            if (hex || octal) {
                uint code = hex ? 0 : uint(escaped - '0');
                const QByteArray digits = hex ? "0123456789abcdefABCDEF" : "01234567";
                while (i + 1 < raw.size() && digits.contains(raw.at(i + 1)) && code <= 0xFFFF)
                    code = code * (hex ? 16 : 8)
                        + uint(QByteArray(1, raw.at(++i)).toUInt(nullptr, 16));
                current.append(code <= 0xFF ? char(code) : '?');
            } else if (escaped == '\r' || escaped == '\n') {
                if (escaped == '\r' && i + 1 < raw.size() && raw.at(i + 1) == '\n')
                    ++i;
            } else {
                current.append(escaped);
            }
        } else {
            current.append(c);
        }
    }
    elements.append(current.trimmed());
    return elements;
}

// True for a value QSettings would read as something this program never writes. Some of these
// forms go through a binary decoder that trusts the sizes it reads, so a single bad value could
// abort the program while it reads the file.
bool foreignValue(const QByteArray &raw, FileKind kind)
{
    const QList<QByteArray> elements = valueElements(raw);
    if (elements.size() > 1 && kind != NameFile)
        return true;
    static const char *const decoded[]
        = { "@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point(", "@Invalid(" };
    for (const QByteArray &element : elements) {
        if (!element.startsWith('@') || element.startsWith("@@"))
            continue;
        for (const char *form : decoded) {
            if (element.startsWith(form))
                return true;
        }
        if (kind == DeviceFile && element.startsWith("@ByteArray("))
            return true;
    }
    return false;
}

// Where a write could go wrong, from the outside: the reason to tell the operator.
QString writeFailureReason(const QString &path, qint64 needed)
{
    const QFileInfo info(path);
    if (info.isDir())
        return tr("a folder of that name is in its place");
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return tr("its folder does not exist and could not be made");
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.isReadOnly())
        return tr("the disk is read-only");
    if (info.exists() && !info.isWritable())
        return tr("the file is read-only");
    if (!folder.isWritable())
        return tr("the folder is read-only");
    if (storage.isValid() && storage.bytesAvailable() < needed)
        return tr("the disk is full");
    return tr("the system refused to write it");
}

// The nearest folder of the path that exists: the data folder is made only by the first write.
QString existingFolder(const QString &path)
{
    QDir dir = QFileInfo(path).absoluteDir();
    while (!dir.exists() && !dir.isRoot()) {
        if (!dir.cdUp())
            break;
    }
    return dir.absolutePath();
}

// Room for a file rewritten with the changes: a whole new copy is written before it replaces the
// old one, and QSettings is not told of a write that runs out of room in the middle.
// Escaped text takes at most six bytes per character; the margin covers block rounding.
qint64 bytesNeeded(const QString &path, qint64 changedChars)
{
    return QFileInfo(path).size() + changedChars * 6 + 16 * 1024;
}

bool roomFor(const QString &path, qint64 needed)
{
    const QStorageInfo storage(existingFolder(path));
    return !storage.isValid() || storage.bytesAvailable() < 0 || storage.bytesAvailable() >= needed;
}

// A file QSettings wrote holds one line per key and ends with a line end; a write torn by a full
// disk does neither.
bool fileIsWhole(const QString &path, int keyCount)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keyCount == 0 && !file.exists();
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        return keyCount == 0;
    if (!data.endsWith('\n'))
        return false;
    int lines = 0;
    for (const QByteArray &line : data.split('\n')) {
        const QByteArray text = line.trimmed();
        if (!text.isEmpty() && !text.startsWith('['))
            ++lines;
    }
    return lines == keyCount;
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

} // namespace

AppSettingsManager::AppSettingsManager()
    : deviceSettings(nullptr)
    , deviceNameSettings(nullptr)
    , commandSettings(nullptr)
    , commandNames(new QStringListModel(this))
{
    const QString folder = dataFolder();
    deviceSettings = openScreened(folder, QStringLiteral("devicelist.ini"), DeviceFile);
    deviceNameSettings = openScreened(folder, QStringLiteral("devicenamelist.ini"), NameFile);
    commandSettings = openScreened(folder, QStringLiteral("commandlist.ini"), CommandFile);
    // allKeys() gives them sorted, as the lists below keep them.
    deviceNames = savedNames(deviceNameSettings);
    commandNames->setStringList(savedNames(commandSettings));
    // The name lists follow a file that another writer changed and that was therefore read again.
    connect(
        deviceNameSettings, &IniFile::reread, this, [this] { namesFollow(deviceNameSettings); });
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
}

IniFile *AppSettingsManager::openScreened(const QString &folder, const QString &file, int kind)
{
    const QString path = folder + file;
    QFile in(path);
    if (!QFileInfo(path).isFile() || !in.open(QIODevice::ReadOnly))
        return openSettings(path);
    const QByteArray data = in.readAll();
    in.close();

    QByteArray kept;
    int from = 0;
    QStringList ignored;
    for (const IniLine &line : iniLines(data)) {
        if (!foreignValue(line.value, FileKind(kind)))
            continue;
        kept += data.mid(from, line.begin - from);
        from = line.end;
        ignored.append(file + QStringLiteral(": ") + QString::fromUtf8(line.key));
    }
    if (ignored.isEmpty())
        return openSettings(path);
    kept += data.mid(from);
    ignoredItems += ignored;

    // The file as it was stays next to it; the repaired one keeps every other line as it was.
    const QString backup = path + QStringLiteral(".bak");
    QFile::remove(backup);
    QSaveFile repaired(path);
    if (QFile::copy(path, backup) && repaired.open(QIODevice::WriteOnly)
        && repaired.write(kept) == kept.size() && repaired.commit()) {
        ignoredNotes.removeAll(tr("The files as they were are kept next to them with the ending "
                                  ".bak."));
        ignoredNotes.append(
            tr("The files as they were are kept next to them with the ending .bak."));
        return openSettings(path);
    }

    // The file cannot be repaired where it is; its other items are read from a repaired copy,
    // and nothing is saved to it in this run.
    repaired.cancelWriting();
    if (!repairedCopies)
        repairedCopies = std::make_unique<QTemporaryDir>();
    const QString copy = repairedCopies->filePath(file);
    QFile out(copy);
    if (out.open(QIODevice::WriteOnly))
        out.write(kept);
    out.close();
    unrepairedFiles.insert(copy, path);
    ignoredNotes.prepend(tr("%1 could not be repaired (%2); changes to it cannot be saved.")
                             .arg(file, writeFailureReason(path, kept.size())));
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

bool AppSettingsManager::writeKeys(
    IniFile *settings, const KeyValues &changes, KeyValues *undo, bool tell)
{
    const auto report = [tell](const QString &path, const QString &reason) {
        if (tell)
            showWriteFailure(path, reason);
    };
    const QString path = unrepairedFiles.value(settings->fileName(), settings->fileName());
    if (unrepairedFiles.contains(settings->fileName())) {
        report(path, tr("it holds values this program cannot read and could not be repaired"));
        return false;
    }
    // Each write reports its own outcome: a failed one leaves no error behind, and a file changed
    // on disk since (put right by the operator, or saved by another instance) is merged with the
    // change and read again.

    qint64 changedChars = 0;
    for (const KeyValue &change : changes)
        changedChars += change.key.size() + change.value.toString().size()
            + change.value.toByteArray().size();
    const qint64 needed = bytesNeeded(path, changedChars);
    if (!roomFor(path, needed)) {
        report(path, tr("the disk is full"));
        return false;
    }

    KeyValues before;
    for (const KeyValue &change : changes)
        before.append({ change.key,
            settings->contains(change.key) ? settings->value(change.key) : QVariant() });
    // IniFile removes exactly the key named, never the keys under "key/".
    const auto apply = [settings](const KeyValues &values) {
        for (const KeyValue &change : values) {
            if (change.value.isValid())
                settings->setValue(change.key, change.value);
            else
                settings->remove(change.key);
        }
    };

    apply(changes);
    const bool written = settings->sync();
    // The file's own copy of its lines replaces it whole or not at all; QSettings, which writes
    // the files IniFile leaves to it, can leave a torn file on a full disk.
    if (written
        && (!settings->writtenByQSettings() || fileIsWhole(path, settings->allKeys().size()))) {
        if (undo)
            *undo = before;
        return true;
    }
    const QString reason = writeFailureReason(path, needed);
    // Reads and later writes must agree with what the disk holds. The old values are written
    // again: a torn file gets its old contents back if the disk lets it, and QSettings, which
    // keeps a file's unsaved changes for the next object on the same file, keeps the old values
    // instead of the refused ones. If that fails too, nothing is left to write later.
    apply(before);
    if (!settings->sync())
        settings->discardChanges();
    // A write through QSettings may have read the file again, names and all, before it was taken
    // back.
    if (written || settings->writtenByQSettings())
        namesFollow(settings);
    report(path, reason);
    return false;
}

void AppSettingsManager::namesFollow(IniFile *settings)
{
    if (settings == deviceNameSettings)
        deviceNames = savedNames(deviceNameSettings);
    else if (settings == commandSettings)
        commandNames->setStringList(savedNames(commandSettings));
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
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    if (deviceExists(name)) {
        app->showMessage(tr("Device name is repeated. Please use another name."));
        return false;
    }
    if (name.isEmpty()) {
        app->showMessage(tr("Device name can not be empty. Please use another name."));
        return false;
    }
    if (nameHasSeparator(name)) {
        app->showMessage(tr("Device name can not contain / or \\."));
        return false;
    }
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
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    if (commandExists(name)) {
        app->showMessage(tr("Command name is repeated. Please use another name."));
        return false;
    }
    if (name.isEmpty()) {
        app->showMessage(tr("Command name can not be empty. Please use another name."));
        return false;
    }
    if (nameHasSeparator(name)) {
        app->showMessage(tr("Command name can not contain / or \\."));
        return false;
    }
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

    // Read everything first and remove the old keys before writing the new ones: where the INI
    // keys ignore letter case (Windows), "cam1" and "Cam1" are the same key.
    KeyValues settings;
    for (int i = 0; i < DeviceKeyCount; ++i)
        settings.append({ oldName + deviceKey(i).suffix, QVariant() });
    for (int i = 0; i < DeviceKeyCount; ++i)
        settings.append(
            { newName + deviceKey(i).suffix, readDeviceValue(deviceSettings, oldName, i) });
    KeyValues undo;
    if (!writeKeys(deviceSettings, settings, &undo))
        return false;
    if (writeKeys(deviceNameSettings, { { oldName, QVariant() }, { newName, 1 } })) {
        removeName(deviceNames, oldName);
        insertName(deviceNames, newName);
        return true;
    }
    writeKeys(deviceSettings, undo, nullptr, false);
    return false;
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
    KeyValues settings;
    for (int i = 0; i < DeviceKeyCount; ++i)
        settings.append({ name + deviceKey(i).suffix, QVariant() });
    KeyValues undo;
    if (!writeKeys(deviceSettings, settings, &undo))
        return false;
    if (writeKeys(deviceNameSettings, { { name, QVariant() } })) {
        removeName(deviceNames, name);
        return true;
    }
    writeKeys(deviceSettings, undo, nullptr, false);
    return false;
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

int AppSettingsManager::commandCount()
{
    return commandNames->rowCount();
}

QString AppSettingsManager::commandNameAt(int index)
{
    if (index < 0 || index >= commandNames->rowCount())
        return QString();
    return commandNames->index(index).data().toString();
}

QStringListModel *AppSettingsManager::commandNameModel() const
{
    return commandNames;
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
    if (stays || commandNames->moveRows(QModelIndex(), from.first, 1, QModelIndex(), destination)) {
        commandNames->setData(commandNames->index(to.first), newName);
        return;
    }
    // A model that cannot move rows (before Qt 5.13).
    commandNames->removeRows(from.first, 1);
    insertCommandName(newName);
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
