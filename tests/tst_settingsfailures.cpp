// The settings store against files people break: corrupt values, group names, and writes that a
// folder in the way, a read-only file or a full disk refuse. Real files, real mounts.
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "data/inisyntax.h"
#include "messageboxcatcher.h"
#include "models/appabstracttablemodel.h"
#include "scratchmount.h"
#include "testapp.h"
#include "ui/appmainwin.h"
#include "util/qtcompat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopedPointer>
#include <QSettings>
#include <QStringListModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray hugeList = "@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)";
const QString folderReason = QStringLiteral("a folder of that name is in its place");

// Every loaded device as "name port baud data stop parity flow", in the order loaded.
QStringList describe(QList<AppTableData *> *list)
{
    QStringList lines;
    for (AppTableData *record : qAsConst(*list)) {
        if (auto *device = dynamic_cast<AppDeviceData *>(record)) {
            lines << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                         .arg(device->name(), device->portName())
                         .arg(device->baudRate())
                         .arg(device->dataBits())
                         .arg(device->stopBits())
                         .arg(device->parity())
                         .arg(device->flowControl());
        } else if (auto *command = dynamic_cast<AppCommandData *>(record)) {
            lines << command->name() + QLatin1Char('=') + QString::fromLatin1(command->bytes());
        }
    }
    qDeleteAll(*list);
    delete list;
    return lines;
}

} // namespace

class TstSettingsFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void corruptValuesAreIgnoredAndToldOnce_data();
    void corruptValuesAreIgnoredAndToldOnce();
    void corruptFileThatCannotBeRepairedStillLoads();
    void groupNamesAreRemovedAlone_data();
    void groupNamesAreRemovedAlone();
    void folderInPlaceOfAFileRefusesTheChange_data();
    void folderInPlaceOfAFileRefusesTheChange();
    void readOnlyFilesAreReported();
    void fullDiskIsReportedAndFilesStayWhole();
    void tablesShowOnlyWhatWasStored();
    void mutatedFilesStartAndReadAsQSettingsDoes();

private:
    void reopen();
    QString path(const QString &file) const { return store->dataFolder() + file; }
    QByteArray fileBytes(const QString &file) const;
    void writeFile(const QString &file, const QByteArray &bytes);
    // Puts a folder where the file is; the store still holds the contents in memory.
    void blockWithFolder(const QString &file);
    QString failure(const QString &file, const QString &reason) const
    {
        return QStringLiteral("Could not save to %1: %2. The change was not saved.")
            .arg(QDir::toNativeSeparators(path(file)), reason);
    }
    void saveCam1AndPing();

    QScopedPointer<QTemporaryDir> dataHome;
    QScopedPointer<AppSettingsManager> store;
    QScopedPointer<MessageBoxCatcher> catcher;
    QByteArray appDataHome;
};

void TstSettingsFailures::initTestCase()
{
    // The application's own store and window read the folder set before they were built.
    appDataHome = qgetenv("XDG_DATA_HOME");
}

void TstSettingsFailures::init()
{
    dataHome.reset(new QTemporaryDir);
    QVERIFY(dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
    catcher.reset(new MessageBoxCatcher);
    store.reset(new AppSettingsManager);
}

void TstSettingsFailures::cleanup()
{
    store.reset();
    catcher.reset();
    dataHome.reset();
    qputenv("XDG_DATA_HOME", appDataHome);
}

void TstSettingsFailures::reopen()
{
    store.reset();
    store.reset(new AppSettingsManager);
}

QByteArray TstSettingsFailures::fileBytes(const QString &file) const
{
    QFile f(path(file));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<no file>");
    return f.readAll();
}

void TstSettingsFailures::writeFile(const QString &file, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(store->dataFolder()));
    QFile f(path(file));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

void TstSettingsFailures::blockWithFolder(const QString &file)
{
    QFile::remove(path(file));
    QVERIFY(QDir().mkpath(path(file)));
}

void TstSettingsFailures::saveCam1AndPing()
{
    QVERIFY(store->addDevice("Cam1", "COM3", 19200, 2, 7, 1, 2));
    QVERIFY(store->addCommand("ping", "P"));
}

void TstSettingsFailures::corruptValuesAreIgnoredAndToldOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("commands");

    const QStringList bothDevices { "Cam1 COM3 19200 7 2 1 2", "Cam2 COM4 9600 8 0 0 0" };
    const QStringList bothCommands { "ping=P", "pong=Q" };
    const QStringList onlyPong { "pong=Q" };
    QTest::newRow("list of two billion in a command")
        << "commandlist.ini"
        << "ping=" + hugeList << "ping" << bothDevices << onlyPong;
    QTest::newRow("quoted") << "commandlist.ini"
                            << "ping=\"" + hugeList + "\""
                            << "ping" << bothDevices << onlyPong;
    QTest::newRow("escaped at sign")
        << "commandlist.ini"
        << "ping=\\x40" + hugeList.mid(1) << "ping" << bothDevices << onlyPong;
    QTest::newRow("inside a list") << "commandlist.ini"
                                   << "ping=x, " + hugeList << "ping" << bothDevices << onlyPong;
    QTest::newRow("continued line")
        << "commandlist.ini" << QByteArray("ping=@Vari\\\nant(\\0\\0\\0\\v\\x7f)") << "ping"
        << bothDevices << onlyPong;
    QTest::newRow("continued after CR LF")
        << "commandlist.ini" << QByteArray("ping=@Vari\\\r\nant(\\0\\0\\0\\v\\x7f)") << "ping"
        << bothDevices << onlyPong;
    QTest::newRow("date time") << "commandlist.ini" << QByteArray("ping=@DateTime(\\0\\0\\0)")
                               << "ping" << bothDevices << onlyPong;
    QTest::newRow("plain list of texts")
        << "commandlist.ini" << QByteArray("ping=a, b") << "ping" << bothDevices << onlyPong;
    // A device setting reads as its default; the device itself stays.
    QTest::newRow("device setting")
        << "devicelist.ini"
        << "Cam1_baudrate=" + hugeList << "Cam1_baudrate"
        << QStringList { "Cam1 COM3 9600 7 2 1 2", "Cam2 COM4 9600 8 0 0 0" } << bothCommands;
    QTest::newRow("rectangle for a port")
        << "devicelist.ini" << QByteArray("Cam1_comport=@Rect(1 2 3 4)") << "Cam1_comport"
        << QStringList { "Cam1 COM1 19200 7 2 1 2", "Cam2 COM4 9600 8 0 0 0" } << bothCommands;
    QTest::newRow("list for a parity")
        << "devicelist.ini" << QByteArray("Cam1_parity=1, 2") << "Cam1_parity"
        << QStringList { "Cam1 COM3 19200 7 2 0 2", "Cam2 COM4 9600 8 0 0 0" } << bothCommands;
    QTest::newRow("device name") << "devicenamelist.ini"
                                 << "Cam1=" + hugeList << "Cam1"
                                 << QStringList { "Cam2 COM4 9600 8 0 0 0" } << bothCommands;
    // Lines that crashed every start on Qt 5: an "=" in a quoted key, and an escape longer than
    // 16 bits whose low 16 bits are "@".
    QTest::newRow("quoted key") << "commandlist.ini"
                                << "\"k=x\"=" + hugeList << "\"k=x\"" << bothDevices
                                << bothCommands;
    QTest::newRow("long escape") << "commandlist.ini"
                                 << "k=\\x10040" + hugeList.mid(1) << "k" << bothDevices
                                 << bothCommands;
    QTest::newRow("long escape in a name")
        << "devicenamelist.ini"
        << "Cam=\\x10040" + hugeList.mid(1) << "Cam" << bothDevices << bothCommands;
}

void TstSettingsFailures::corruptValuesAreIgnoredAndToldOnce()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, badLine);
    QFETCH(QString, item);
    QFETCH(QStringList, devices);
    QFETCH(QStringList, commands);

    saveCam1AndPing();
    QVERIFY(store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0));
    QVERIFY(store->addCommand("pong", "Q"));
    store.reset();
    // The bad line replaces the item's own line, or comes last; every other line stays as it was.
    const QByteArray good = fileBytes(file);
    const QByteArray key = badLine.left(badLine.indexOf('='));
    QList<QByteArray> lines = good.split('\n');
    bool replaced = false;
    for (QByteArray &line : lines) {
        if (line.startsWith(key + '=')) {
            line = badLine;
            replaced = true;
        }
    }
    if (!replaced)
        lines.insert(lines.size() - 1, badLine);
    const QByteArray bad = lines.join('\n');
    // An earlier backup is never lost.
    writeFile(file + ".bak", "earlier");
    QVERIFY(bad != good);
    writeFile(file, bad);

    reopen();
    QCOMPARE(describe(store->loadDevices()), devices);
    QCOMPARE(describe(store->loadCommands()), commands);
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts().first(),
        "These saved items hold values this program cannot read and were ignored:\n" + file + ": "
            + item + "\nThe files as they were are kept next to them with the ending .bak.");
    QCOMPARE(fileBytes(file + ".bak"), QByteArray("earlier"));
    QCOMPARE(fileBytes(file + ".1.bak"), bad);
    QByteArray repaired = bad;
    repaired.replace(badLine + '\n', QByteArray());
    QCOMPARE(fileBytes(file), repaired);

    // Told once: the next start finds nothing to report, and the other items work as before.
    reopen();
    QCOMPARE(describe(store->loadDevices()), devices);
    QVERIFY(store->addCommand("new", "N"));
    // A report would be posted for after start-up.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(catcher->count(), 1);
}

void TstSettingsFailures::corruptFileThatCannotBeRepairedStillLoads()
{
    store.reset();
    ReadOnlyFolder folder(QDir(dataHome->path()).filePath(QCoreApplication::applicationName()));
    if (folder.skipReason())
        QSKIP(folder.skipReason());
    const QByteArray bad = "[General]\nping=" + hugeList + "\npong=@ByteArray(Q)\n";
    writeFile("commandlist.ini", bad);
    QVERIFY(folder.lock());

    reopen();
    QCOMPARE(describe(store->loadCommands()), QStringList({ "pong=Q" }));
    const QString reason = geteuid() == 0 ? "the disk is read-only" : "the file is read-only";
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts().first(),
        "These saved items hold values this program cannot read and were ignored:\n"
        "commandlist.ini: ping\ncommandlist.ini could not be repaired ("
            + reason + "); changes to it cannot be saved.");
    QVERIFY(!store->addCommand("new", "N"));
    QCOMPARE(catcher->texts().last(),
        failure("commandlist.ini",
            "it holds values this program cannot read and could not be repaired"));
    QVERIFY(!store->commandExists("new"));
    QCOMPARE(fileBytes("commandlist.ini"), bad);
    QVERIFY(!QFile::exists(path("commandlist.ini.bak")));
    catcher->clear();
    store.reset();
}

void TstSettingsFailures::groupNamesAreRemovedAlone_data()
{
    QTest::addColumn<bool>("rename");
    QTest::newRow("delete") << false;
    QTest::newRow("rename") << true;
}

void TstSettingsFailures::groupNamesAreRemovedAlone()
{
    QFETCH(bool, rename);
    // As a hand-edited file or a missing bracket leaves them: "Lab" and "Lab/Cam".
    writeFile("devicenamelist.ini", "[General]\nLab=1\nOther=1\n\n[Lab]\nCam=1\n");
    writeFile("devicelist.ini",
        "[General]\nLab_comport=COM2\nOther_comport=COM3\n\n[Lab]\nCam_comport=COM7\n"
        "Cam_baudrate=4800\n");
    writeFile("commandlist.ini", "[General]\nLab=@ByteArray(1)\n\n[Lab]\nx=@ByteArray(2)\n");
    reopen();
    QCOMPARE(describe(store->loadCommands()), QStringList({ "Lab=1", "Lab/x=2" }));

    if (rename) {
        QVERIFY(store->changeDeviceName("Lab", "Lab2"));
        QVERIFY(store->changeCommandName("Lab", "Lab2"));
    } else {
        QVERIFY(store->removeDevice("Lab"));
        QVERIFY(store->removeCommand("Lab"));
    }
    reopen();
    QStringList devices { "Lab/Cam COM7 4800 8 1 0 0", "Other COM3 9600 8 1 0 0" };
    QStringList commands { "Lab/x=2" };
    if (rename) {
        devices.insert(1, "Lab2 COM2 9600 8 1 0 0");
        commands.append("Lab2=1");
    }
    QCOMPARE(describe(store->loadDevices()), devices);
    QCOMPARE(describe(store->loadCommands()), commands);
    QCOMPARE(catcher->count(), 0);
}

void TstSettingsFailures::folderInPlaceOfAFileRefusesTheChange_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<QString>("operation");
    for (const char *file : { "devicelist.ini", "devicenamelist.ini" }) {
        for (const char *operation : { "addDevice", "changeDeviceName", "removeDevice" })
            QTest::addRow("%s %s", file, operation) << file << operation;
    }
    QTest::newRow("devicelist.ini setDeviceValue") << "devicelist.ini"
                                                   << "setDeviceValue";
    for (const char *operation :
        { "addCommand", "changeCommandName", "setCommandBytes", "removeCommand" })
        QTest::addRow("commandlist.ini %s", operation) << "commandlist.ini" << operation;
}

void TstSettingsFailures::folderInPlaceOfAFileRefusesTheChange()
{
    QFETCH(QString, blocked);
    QFETCH(QString, operation);
    saveCam1AndPing();
    const QStringList files { "devicenamelist.ini", "devicelist.ini", "commandlist.ini" };
    QMap<QString, QByteArray> before;
    for (const QString &file : files)
        before[file] = fileBytes(file);
    blockWithFolder(blocked);

    bool done = true;
    if (operation == "addDevice")
        done = store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0);
    else if (operation == "changeDeviceName")
        done = store->changeDeviceName("Cam1", "Cam2");
    else if (operation == "removeDevice")
        done = store->removeDevice("Cam1");
    else if (operation == "setDeviceValue")
        done = store->setDeviceValue("Cam1", "_baudrate", 1200);
    else if (operation == "addCommand")
        done = store->addCommand("pong", "Q");
    else if (operation == "changeCommandName")
        done = store->changeCommandName("ping", "pong");
    else if (operation == "setCommandBytes")
        done = store->setCommandBytes("ping", "Q");
    else if (operation == "removeCommand")
        done = store->removeCommand("ping");
    QVERIFY(!done);
    QCOMPARE(catcher->texts(), QStringList({ failure(blocked, folderReason) }));

    // The refused change shows nowhere, not even in the name lists, and the other files are as
    // they were.
    QVERIFY(!store->deviceExists("Cam2"));
    QVERIFY(!store->commandExists("pong"));
    QVERIFY(store->deviceExists("Cam1"));
    QCOMPARE(store->commandNameModel()->stringList(), QStringList({ "ping" }));
    QCOMPARE(store->commandNameModel()->stringList().value(0), QStringLiteral("ping"));
    if (operation == "removeCommand" || operation == "setCommandBytes")
        QCOMPARE(store->commandBytes("ping"), QByteArray("P"));
    if (operation == "setDeviceValue")
        QCOMPARE(describe(store->loadDevices()), QStringList({ "Cam1 COM3 19200 7 2 1 2" }));
    for (const QString &file : files) {
        if (file != blocked)
            QCOMPARE(fileBytes(file), before[file]);
    }

    // The refused change does not come back with a later write, nor after a restart.
    QVERIFY(QDir(path(blocked)).removeRecursively());
    writeFile(blocked, before[blocked]);
    QVERIFY(store->addDevice("Cam9", "COM9", 9600, 0, 8, 0, 0));
    QVERIFY(store->addCommand("nine", "9"));
    reopen();
    QCOMPARE(describe(store->loadDevices()),
        QStringList({ "Cam1 COM3 19200 7 2 1 2", "Cam9 COM9 9600 8 0 0 0" }));
    QCOMPARE(describe(store->loadCommands()), QStringList({ "nine=9", "ping=P" }));
    QCOMPARE(catcher->count(), 1);
}

void TstSettingsFailures::readOnlyFilesAreReported()
{
    store.reset();
    ReadOnlyFolder folder(QDir(dataHome->path()).filePath(QCoreApplication::applicationName()));
    if (folder.skipReason())
        QSKIP(folder.skipReason());
    reopen();
    saveCam1AndPing();
    reopen();
    const QByteArray names = fileBytes("devicenamelist.ini");
    QVERIFY(folder.lock());

    QVERIFY(!store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0));
    QVERIFY(!store->setCommandBytes("ping", "Q"));
    // Root writes anywhere but on a read-only disk; everyone else is stopped by the file modes.
    const QString reason = geteuid() == 0 ? "the disk is read-only" : "the file is read-only";
    QCOMPARE(catcher->texts(),
        QStringList({ failure("devicelist.ini", reason), failure("commandlist.ini", reason) }));
    QVERIFY(!store->deviceExists("Cam2"));
    QCOMPARE(store->commandBytes("ping"), QByteArray("P"));
    QCOMPARE(fileBytes("devicenamelist.ini"), names);
    catcher->clear();
    store.reset();
}

void TstSettingsFailures::fullDiskIsReportedAndFilesStayWhole()
{
    store.reset();
    ScratchMount disk(QDir(dataHome->path()).filePath(QCoreApplication::applicationName()), "64k");
    if (!disk.isMounted())
        QSKIP(disk.skipReason());
    reopen();
    saveCam1AndPing();
    const QByteArray devicesBefore = fileBytes("devicelist.ini");
    const QByteArray commandsBefore = fileBytes("commandlist.ini");
    const QString filler = disk.fill();

    QVERIFY(!store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0));
    QVERIFY(!store->addCommand("long", QByteArray(2000, 'x')));
    QCOMPARE(catcher->texts(),
        QStringList({ failure("devicelist.ini", "the disk is full"),
            failure("commandlist.ini", "the disk is full") }));
    QCOMPARE(fileBytes("devicelist.ini"), devicesBefore);
    QCOMPARE(fileBytes("commandlist.ini"), commandsBefore);

    QVERIFY(QFile::remove(filler));
    QVERIFY(store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0));
    reopen();
    QCOMPARE(describe(store->loadDevices()),
        QStringList({ "Cam1 COM3 19200 7 2 1 2", "Cam2 COM4 9600 8 0 0 0" }));
    QCOMPARE(describe(store->loadCommands()), QStringList({ "ping=P" }));
    catcher->clear();
    store.reset();
}

void TstSettingsFailures::tablesShowOnlyWhatWasStored()
{
    // The application's own window and store, on the folder they were built with.
    store.reset();
    qputenv("XDG_DATA_HOME", appDataHome);
    AppMainWin *window = VerantisTerminalApp::app()->mainWin();
    AppSettingsManager *appStore = VerantisTerminalApp::app()->settingsManager();
    const QString folder = appStore->dataFolder();
    auto *devices = qobject_cast<AppAbstractTableModel *>(
        window->findChild<QTableView *>("deviceTable")->model());
    auto *commands = qobject_cast<AppAbstractTableModel *>(
        window->findChild<QTableView *>("commandTable")->model());
    const auto save = [window](const char *edit, const char *button, const QString &name) {
        window->findChild<QLineEdit *>(edit)->setText(name);
        QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
    };
    QMap<QString, QByteArray> contents;
    const auto block = [&folder, &contents](const QString &file) {
        QFile old(folder + file);
        contents[file] = old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
        old.close();
        QFile::remove(folder + file);
        return QDir().mkpath(folder + file);
    };
    // The file comes back as it was before the folder took its place.
    const auto unblock = [&folder, &contents](const QString &file) {
        if (!QDir(folder + file).removeRecursively())
            return false;
        QFile restored(folder + file);
        return contents[file].isEmpty()
            || (restored.open(QIODevice::WriteOnly) && restored.write(contents[file]) > 0);
    };
    const auto message = [&folder](const QString &file) {
        return QStringLiteral("Could not save to %1: %2. The change was not saved.")
            .arg(QDir::toNativeSeparators(folder + file), folderReason);
    };

    window->findChild<QLineEdit *>("hexEdit")->setText("01");
    QVERIFY(block("devicelist.ini"));
    QVERIFY(block("commandlist.ini"));
    save("deviceNameEdit", "deviceSaveBtn", "Lost");
    save("commandNameEdit", "commandSaveBtn", "lost");
    QCOMPARE(
        catcher->texts(), QStringList({ message("devicelist.ini"), message("commandlist.ini") }));
    QCOMPARE(devices->rowCount(), 0);
    QCOMPARE(commands->rowCount(), 0);
    QVERIFY(!appStore->deviceExists("Lost"));
    catcher->clear();

    QVERIFY(unblock("devicelist.ini"));
    QVERIFY(unblock("commandlist.ini"));
    save("deviceNameEdit", "deviceSaveBtn", "Kept");
    save("deviceNameEdit", "deviceSaveBtn", "Last");
    save("commandNameEdit", "commandSaveBtn", "kept");
    QCOMPARE(devices->rowCount(), 2);
    QCOMPARE(commands->rowCount(), 1);
    QCOMPARE(catcher->count(), 0);

    // A rename, an edit and a delete that cannot be written leave the rows as they were.
    QVERIFY(block("devicelist.ini"));
    QVERIFY(block("commandlist.ini"));
    devices->setData(devices->index(0, 0), "Renamed");
    devices->setData(devices->index(0, 2), 115200);
    commands->setData(commands->index(0, 1), "FF");
    devices->removeData(0);
    commands->removeData(0);
    QCOMPARE(catcher->count(), 5);
    QTRY_COMPARE_WITH_TIMEOUT(devices->rowCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(commands->rowCount(), 1, 10000);
    const auto *kept = static_cast<AppDeviceData *>(devices->getData(0));
    QCOMPARE(kept->name(), QStringLiteral("Kept"));
    QCOMPARE(kept->baudRate(), 9600);
    QCOMPARE(static_cast<AppDeviceData *>(devices->getData(1))->name(), QStringLiteral("Last"));
    QCOMPARE(static_cast<AppCommandData *>(commands->getData(0))->name(), QStringLiteral("kept"));
    QCOMPARE(static_cast<AppCommandData *>(commands->getData(0))->bytes(), QByteArray("\x01"));
    catcher->clear();

    // With the files back, the rows shown are the items stored, and go as asked.
    QVERIFY(unblock("devicelist.ini"));
    QVERIFY(unblock("commandlist.ini"));
    devices->setData(devices->index(0, 2), 115200);
    QCOMPARE(kept->baudRate(), 115200);
    devices->removeData(1);
    devices->removeData(0);
    commands->removeData(0);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(devices->rowCount(), 0);
    QCOMPARE(commands->rowCount(), 0);
    QTest::qWait(50);
    QCOMPARE(devices->rowCount(), 0);
    QVERIFY(!appStore->deviceExists("Kept"));
    QVERIFY(!appStore->commandExists("kept"));
}

void TstSettingsFailures::mutatedFilesStartAndReadAsQSettingsDoes()
{
    // Committed seeds: the same files on every run. Each start must survive, and every line the
    // screen lets through must read as the screen read it, in a type this program writes.
    saveCam1AndPing();
    QVERIFY(store->addDevice("Cam 2; \u00fc=%", "COM4", 9600, 0, 8, 0, 0));
    QVERIFY(store->addCommand("pong, \"q\"", QByteArray("\0\x01\xff\\,=;", 7)));
    store.reset();
    const QStringList files { "devicenamelist.ini", "devicelist.ini", "commandlist.ini" };
    QMap<QString, QByteArray> good;
    for (const QString &file : files)
        good[file] = fileBytes(file);
    static const char *const pieces[] = { "@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)", "\\x10040",
        "\\x", "\\0", "\\", "\\\n", "\"", "=", ",", ";", "\n", "\r", " ", "[", "]", "%U", "%4", "@",
        "@@", "@ByteArray(", "@String(", "@Rect(1 2 3 4)", ")", "\xff", "\x7f" };
    QRandomGenerator random(2027);
    for (int run = 0; run < 100; ++run) {
        QMap<QString, QByteArray> mutated;
        for (const QString &file : files) {
            QByteArray bytes = good[file];
            for (int i = int(random.bounded(1, 5)); i > 0; --i) {
                const int at = int(random.bounded(bytes.size() + 1));
                const char *piece = pieces[random.bounded(int(std::size(pieces)))];
                if (random.bounded(4) == 0)
                    bytes.remove(at, int(random.bounded(1, 4)));
                bytes.insert(at, piece);
            }
            mutated[file] = bytes;
            writeFile(file, bytes);
            QFile::remove(path(file) + ".bak");
        }
        reopen();
        store.reset();
        for (const QString &file : files) {
            const QByteArray repaired = fileBytes(file);
            // The last line of a key counts; a list is compared by its type only.
            QHash<QString, QStringList> read;
            for (const IniSyntax::Entry &entry : IniSyntax::read(repaired)) {
                const QByteArray &key = entry.rawKey;
                // QSettings normalises keys with "/" (from "\\" too) into groups.
                if (!entry.key.contains(QLatin1Char('/')) && !entry.key.isEmpty()
                    && std::all_of(
                        key.cbegin(), key.cend(), [](char c) { return uchar(c) < 0x80; }))
                    read[entry.key] = entry.isList ? QStringList() : entry.elements;
            }
            // A copy under a new name: QSettings keeps files it read in memory.
            const QString copy = dataHome->filePath(QString::number(run) + file);
            QVERIFY(QFile::copy(path(file), copy));
            QSettings settings(copy, QSettings::IniFormat);
            QtCompat::useUtf8Ini(settings);
            for (auto it = read.cbegin(); it != read.cend(); ++it) {
                const QVariant value = settings.value(it.key());
                const QString context = file + ": " + it.key() + " in run " + QString::number(run);
                QVERIFY2(value.userType() == QMetaType::QString
                        || value.userType() == QMetaType::QByteArray
                        || (file == "devicenamelist.ini"
                            && value.userType() == QMetaType::QStringList),
                    qPrintable(context));
                if (it->size() != 1)
                    continue;
                QString text = it->first();
                if (IniSyntax::isByteArray(text)) {
                    QVERIFY2(value.toByteArray() == text.mid(11).chopped(1).toLatin1(),
                        qPrintable(context));
                    continue;
                }
                if (text.startsWith("@String(") && text.endsWith(')'))
                    text = text.mid(8).chopped(1);
                else if (text.startsWith("@@"))
                    text = text.mid(1);
                else if (value.userType() == QMetaType::QByteArray)
                    continue;
                QVERIFY2(value.toString() == text, qPrintable(context));
            }
        }
    }

    // A megabyte of long escapes starts within a second.
    QByteArray huge = "[General]\n";
    while (huge.size() < 1024 * 1024)
        huge += "k" + QByteArray::number(huge.size()) + "=\\x1000000000040Variant(\\x"
            + QByteArray(200, '1') + ")\n";
    writeFile("commandlist.ini", huge);
    QElapsedTimer timer;
    timer.start();
    reopen();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    catcher->clear();
}

VT_TEST_MAIN(TstSettingsFailures)
#include "tst_settingsfailures.moc"
