// The settings store on real INI files in a private data folder per test.
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "messageboxcatcher.h"
#include "testapp.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct DeviceValues
{
    QString name;
    QString portName;
    int baudRate;
    int dataBits;
    int stopBits;
    int parity;
    int flowControl;
};

DeviceValues valuesOf(const AppDeviceData *record)
{
    return { record->name(), record->portName(), record->baudRate(), record->dataBits(),
        record->stopBits(), record->parity(), record->flowControl() };
}

} // namespace

class TstAppSettingsManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void storeIsBuiltByTheApplication();
    void commandNameListFollowsEveryChange();
    void dataFolderIsThePerUserFolderWithOneSeparator();
    void savedDeviceFilesAreByteExact();
    void addDeviceTakesStopBitsBeforeDataBits();
    void savedCommandFileIsByteExact();
    void commandBytesSurviveARestart_data();
    void commandBytesSurviveARestart();
    void writesReachTheDiskWithinTheCall();
    void nameWithoutSettingsIsNotShownAndGoes();
    void settingsWithoutNameAreIgnoredAndGo();
    void devicesComeBackSortedByName();
    void commandsAreListedSortedByName();
    void valueThatIsNotANumberReadsZero();
    void missingFilesReadAsEmptyWithoutMessage();
    void unreadableFilesReadAsEmptyWithoutMessage();
    void handEditedFileLoadsWithoutCrash();
    void addRefusesRepeatedNames();
    void addRefusesEmptyNames();
    void renameMovesAllSixSettings();
    void renameMovesCommandBytes();
    void deviceOptionsFollowRenameAndRemoval();
    void renameKeepsValuesWhenKeysCoincide_data();
    void renameKeepsValuesWhenKeysCoincide();
    void removeDeviceDeletesAllItsKeys();
    void removingAnUnknownNameChangesNothing();
    void emptyNamesNeverReachTheFiles_data();
    void emptyNamesNeverReachTheFiles();
    void namesWithSeparatorsAreRefused_data();
    void namesWithSeparatorsAreRefused();
    void nameHasSeparator_data();
    void nameHasSeparator();
    void setDeviceValueWritesUnderTheSuffix();
    void commandLookupsOutsideTheListAreEmpty();

private:
    // Writes back and builds a new store on the same files, as a restart does.
    void reopen();
    QString filePath(const QString &file) const;
    QByteArray fileBytes(const QString &file) const;
    void writeFile(const QString &file, const QByteArray &bytes);
    // All three files as they stand on disk after a write-back.
    QByteArray snapshot();
    void addCam1();
    QList<DeviceValues> devices();

    QScopedPointer<QTemporaryDir> dataHome;
    QScopedPointer<AppSettingsManager> store;
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstAppSettingsManager::init()
{
    dataHome.reset(new QTemporaryDir);
    QVERIFY(dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
    store.reset(new AppSettingsManager);
    catcher.reset(new MessageBoxCatcher);
}

void TstAppSettingsManager::cleanup()
{
    store.reset();
    catcher.reset();
    dataHome.reset();
}

void TstAppSettingsManager::reopen()
{
    store.reset();
    store.reset(new AppSettingsManager);
}

QString TstAppSettingsManager::filePath(const QString &file) const
{
    return store->dataFolder() + file;
}

QByteArray TstAppSettingsManager::fileBytes(const QString &file) const
{
    QFile f(filePath(file));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void TstAppSettingsManager::writeFile(const QString &file, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(store->dataFolder()));
    QFile f(filePath(file));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray TstAppSettingsManager::snapshot()
{
    reopen();
    QByteArray all;
    for (const char *file : { "devicenamelist.ini", "devicelist.ini", "commandlist.ini" })
        all += QByteArray(file) + ":\n" + fileBytes(QString::fromLatin1(file));
    return all;
}

void TstAppSettingsManager::addCam1()
{
    store->addDevice("Cam1", "COM3", 19200, 2, 7, 1, 2);
    store->addCommand("ping", QByteArray("\x01\x02", 2));
}

QList<DeviceValues> TstAppSettingsManager::devices()
{
    QScopedPointer<QList<AppTableData *>> list(store->loadDevices());
    QList<DeviceValues> values;
    for (AppTableData *record : qAsConst(*list))
        values.append(valuesOf(static_cast<AppDeviceData *>(record)));
    qDeleteAll(*list);
    return values;
}

void TstAppSettingsManager::storeIsBuiltByTheApplication()
{
    QVERIFY(VerantisTerminalApp::app()->settingsManager() != nullptr);
}

void TstAppSettingsManager::dataFolderIsThePerUserFolderWithOneSeparator()
{
    const QString expected = QDir::toNativeSeparators(
        dataHome->path() + "/" + QCoreApplication::applicationName() + "/");
    QCOMPARE(store->dataFolder(), expected);

    store->addDevice("Cam1", "COM3", 9600, 0, 8, 0, 0);
    reopen();
    QVERIFY(QFile::exists(expected + "devicenamelist.ini"));
    QVERIFY(QFile::exists(expected + "devicelist.ini"));
}

void TstAppSettingsManager::savedDeviceFilesAreByteExact()
{
    store->addDevice("Cam1", "COM3", 9600, 0, 8, 0, 0);
    reopen();
    QCOMPARE(fileBytes("devicenamelist.ini"), QByteArray("[General]\nCam1=1\n"));
    QCOMPARE(fileBytes("devicelist.ini"),
        QByteArray("[General]\n"
                   "Cam1_baudrate=9600\n"
                   "Cam1_comport=COM3\n"
                   "Cam1_databits=8\n"
                   "Cam1_flowcontrol=0\n"
                   "Cam1_parity=0\n"
                   "Cam1_stopbits=0\n"));
    QVERIFY(!QFile::exists(filePath("commandlist.ini")));
    QCOMPARE(catcher->count(), 0);
}

void TstAppSettingsManager::addDeviceTakesStopBitsBeforeDataBits()
{
    store->addDevice("Cam1", "COM3", 19200, 2, 7, 1, 2);
    reopen();
    const QByteArray list = fileBytes("devicelist.ini");
    QVERIFY(list.contains("\nCam1_stopbits=2\n"));
    QVERIFY(list.contains("\nCam1_databits=7\n"));
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0].portName, QStringLiteral("COM3"));
    QCOMPARE(loaded[0].baudRate, 19200);
    QCOMPARE(loaded[0].dataBits, 7);
    QCOMPARE(loaded[0].stopBits, 2);
    QCOMPARE(loaded[0].parity, 1);
    QCOMPARE(loaded[0].flowControl, 2);
}

void TstAppSettingsManager::savedCommandFileIsByteExact()
{
    store->addCommand("ping", QByteArray("\x01\x02\x03\x0a\x41\xff", 6));
    store->addCommand("nul", QByteArray("\x00\x2d\x41", 3));
    store->addCommand("none", QByteArray());
    reopen();
    QCOMPARE(fileBytes("commandlist.ini"),
        QByteArray("[General]\n"
                   "none=@ByteArray()\n"
                   "nul=@ByteArray(\\0-A)\n"
                   "ping=@ByteArray(\\x1\\x2\\x3\\nA\\xff)\n"));
}

void TstAppSettingsManager::commandBytesSurviveARestart_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QTest::newRow("every byte") << all;
    QTest::newRow("escape then hex digit") << QByteArray("\xff"
                                                         "A1\x01"
                                                         "1",
        5);
    QTest::newRow("quotes and backslashes") << QByteArray("\"\\\\\"x");
    QTest::newRow("separators") << QByteArray(" ;=,#[]");
    QTest::newRow("empty") << QByteArray();
}

void TstAppSettingsManager::commandBytesSurviveARestart()
{
    QFETCH(QByteArray, bytes);
    store->addCommand("cmd", bytes);
    QCOMPARE(store->commandBytes("cmd"), bytes);
    reopen();
    QCOMPARE(store->commandBytes("cmd"), bytes);
    QScopedPointer<QList<AppTableData *>> list(store->loadCommands());
    QCOMPARE(list->size(), 1);
    QCOMPARE(static_cast<AppCommandData *>(list->at(0))->bytes(), bytes);
    qDeleteAll(*list);
}

void TstAppSettingsManager::writesReachTheDiskWithinTheCall()
{
    // Each change is written and checked before the call returns, with the store still alive.
    QVERIFY(store->addDevice("Cam1", "COM3", 9600, 0, 8, 0, 0));
    QCOMPARE(fileBytes("devicenamelist.ini"), QByteArray("[General]\nCam1=1\n"));
    QVERIFY(fileBytes("devicelist.ini").contains("Cam1_comport=COM3\n"));
}

void TstAppSettingsManager::nameWithoutSettingsIsNotShownAndGoes()
{
    // What a kill in the middle of a remove left in older versions: never shown as a device
    // with made-up settings, and gone from the file.
    writeFile("devicenamelist.ini", "[General]\nLonely=1\nCam1=1\n");
    writeFile("devicelist.ini", "[General]\nCam1_comport=COM3\n");
    reopen();
    QCOMPARE(devices().size(), 1);
    QVERIFY(!store->deviceExists("Lonely"));
    QCOMPARE(fileBytes("devicenamelist.ini"), QByteArray("[General]\nCam1=1\n"));
}

void TstAppSettingsManager::settingsWithoutNameAreIgnoredAndGo()
{
    writeFile("devicenamelist.ini", "[General]\nCam1=1\n");
    writeFile("devicelist.ini",
        "[General]\nCam1_comport=COM3\nGhost_comport=COM7\n"
        "Ghost_baudrate=4800\n");
    // Left alone for a while: no other copy of the program is saving these right now.
    QFile settingsFile(store->dataFolder() + "devicelist.ini");
    QVERIFY(settingsFile.open(QIODevice::ReadWrite));
    QVERIFY(settingsFile.setFileTime(
        QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    settingsFile.close();
    reopen();
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0].name, QStringLiteral("Cam1"));

    QCOMPARE(fileBytes("devicelist.ini"), QByteArray("[General]\nCam1_comport=COM3\n"));
    QVERIFY(!store->deviceExists("Ghost"));
}

void TstAppSettingsManager::devicesComeBackSortedByName()
{
    store->addDevice("b", "COM2", 9600, 0, 8, 0, 0);
    store->addDevice("c", "COM3", 9600, 0, 8, 0, 0);
    store->addDevice("a", "COM1", 9600, 0, 8, 0, 0);
    reopen();
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 3);
    QCOMPARE(loaded[0].name, QStringLiteral("a"));
    QCOMPARE(loaded[0].portName, QStringLiteral("COM1"));
    QCOMPARE(loaded[1].name, QStringLiteral("b"));
    QCOMPARE(loaded[2].name, QStringLiteral("c"));
    QCOMPARE(loaded[2].portName, QStringLiteral("COM3"));
}

void TstAppSettingsManager::commandsAreListedSortedByName()
{
    store->addCommand("b", "2");
    store->addCommand("c", "3");
    // Commands saved during the run are listed at once, in name order.
    store->addCommand("a", "1");
    QCOMPARE(store->commandNameModel()->rowCount(), 3);
    QCOMPARE(store->commandNameModel()->stringList().value(0), QStringLiteral("a"));
    QCOMPARE(store->commandNameModel()->stringList().value(1), QStringLiteral("b"));
    QCOMPARE(store->commandNameModel()->stringList().value(2), QStringLiteral("c"));
    QCOMPARE(store->commandBytes("c"), QByteArray("3"));

    reopen();
    QScopedPointer<QList<AppTableData *>> list(store->loadCommands());
    QCOMPARE(list->size(), 3);
    QCOMPARE(static_cast<AppCommandData *>(list->at(0))->name(), QStringLiteral("a"));
    QCOMPARE(static_cast<AppCommandData *>(list->at(0))->bytes(), QByteArray("1"));
    QCOMPARE(static_cast<AppCommandData *>(list->at(2))->name(), QStringLiteral("c"));
    qDeleteAll(*list);
}

void TstAppSettingsManager::valueThatIsNotANumberReadsZero()
{
    writeFile("devicenamelist.ini", "[General]\nCam1=1\n");
    writeFile("devicelist.ini", "[General]\nCam1_baudrate=fast\nCam1_databits=eight\n");
    reopen();
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0].baudRate, 0);
    QCOMPARE(loaded[0].dataBits, 0);
    QCOMPARE(loaded[0].stopBits, 1);
}

void TstAppSettingsManager::missingFilesReadAsEmptyWithoutMessage()
{
    QVERIFY(!QFile::exists(store->dataFolder()));
    QCOMPARE(devices().size(), 0);
    QScopedPointer<QList<AppTableData *>> commands(store->loadCommands());
    QCOMPARE(commands->size(), 0);
    QCOMPARE(store->commandNameModel()->rowCount(), 0);
    QVERIFY(!store->deviceExists("Cam1"));
    QVERIFY(!store->commandExists("ping"));
    QCOMPARE(catcher->count(), 0);
    // Reading creates nothing.
    reopen();
    QVERIFY(!QFile::exists(store->dataFolder()));
}

void TstAppSettingsManager::unreadableFilesReadAsEmptyWithoutMessage()
{
    // A folder in place of a file cannot be read, whoever runs the test.
    for (const char *file : { "devicenamelist.ini", "devicelist.ini", "commandlist.ini" })
        QVERIFY(QDir().mkpath(filePath(QString::fromLatin1(file))));
    reopen();
    QCOMPARE(devices().size(), 0);
    QScopedPointer<QList<AppTableData *>> commands(store->loadCommands());
    QCOMPARE(commands->size(), 0);
    QCOMPARE(store->commandNameModel()->rowCount(), 0);
    QCOMPARE(catcher->count(), 0);
}

void TstAppSettingsManager::handEditedFileLoadsWithoutCrash()
{
    writeFile("devicenamelist.ini",
        "garbage line\n[General]\nCam1=1\n=novalue\n[unterminated\n"
        "Cam2=1\n");
    writeFile("devicelist.ini",
        "[General]\n\x01\x02\xff\n"
        "Cam1_stopbits=7\nCam1_parity=-1\nCam1_flowcontrol=99\n"
        "Cam1_baudrate=123456789\n;comment\n[unterminated\nCam2_comport=COM2\n");
    writeFile("commandlist.ini", "[General]\nplain=text\nbroken=@ByteArray(\\x\n=nameless\n");
    reopen();
    const QList<DeviceValues> loaded = devices();
    QStringList names;
    for (const DeviceValues &values : loaded)
        names << values.name;
    // The key-less "=novalue" line gives no device with an empty name.
    QCOMPARE(names, QStringList({ "Cam1", "unterminated/Cam2" }));
    QCOMPARE(loaded[0].stopBits, 7);
    QCOMPARE(loaded[0].parity, -1);
    QCOMPARE(loaded[0].flowControl, 99);
    QCOMPARE(loaded[0].baudRate, 123456789);
    QCOMPARE(store->commandBytes("plain"), QByteArray("text"));
    QCOMPARE(store->commandNameModel()->rowCount(), 2);
    QCOMPARE(store->commandNameModel()->stringList().value(0), QStringLiteral("broken"));
    QCOMPARE(store->commandNameModel()->stringList().value(1), QStringLiteral("plain"));
    QScopedPointer<QList<AppTableData *>> commands(store->loadCommands());
    QCOMPARE(commands->size(), 2);
    qDeleteAll(*commands);
    QCOMPARE(catcher->count(), 0);
}

void TstAppSettingsManager::addRefusesRepeatedNames()
{
    store->addDevice("Cam1", "COM3", 9600, 0, 8, 0, 0);
    store->addCommand("ping", "1");
    store->addDevice("Cam1", "COM9", 1200, 2, 7, 2, 2);
    store->addCommand("ping", "2");
    QCOMPARE(catcher->texts(),
        QStringList({ "Device name is repeated. Please use another name.",
            "Command name is repeated. Please use another name." }));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal", "VerantisTerminal" }));
    reopen();
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0].portName, QStringLiteral("COM3"));
    QCOMPARE(loaded[0].baudRate, 9600);
    QCOMPARE(store->commandBytes("ping"), QByteArray("1"));
    // Names differ by letter case are different names.
    QVERIFY(!store->deviceExists("cam1"));
}

void TstAppSettingsManager::addRefusesEmptyNames()
{
    store->addDevice("", "COM3", 9600, 0, 8, 0, 0);
    store->addCommand("", "1");
    QCOMPARE(catcher->texts(),
        QStringList({ "Device name can not be empty. Please use another name.",
            "Command name can not be empty. Please use another name." }));
    reopen();
    QVERIFY(!QFile::exists(store->dataFolder()));
}

void TstAppSettingsManager::renameMovesAllSixSettings()
{
    addCam1();
    store->changeDeviceName("Cam1", "Cam2");
    QVERIFY(store->deviceExists("Cam2"));
    QVERIFY(!store->deviceExists("Cam1"));
    reopen();
    QCOMPARE(fileBytes("devicenamelist.ini"), QByteArray("[General]\nCam2=1\n"));
    QCOMPARE(fileBytes("devicelist.ini"),
        QByteArray("[General]\n"
                   "Cam2_baudrate=19200\n"
                   "Cam2_comport=COM3\n"
                   "Cam2_databits=7\n"
                   "Cam2_flowcontrol=2\n"
                   "Cam2_parity=1\n"
                   "Cam2_stopbits=2\n"));
}

// A device whose name extends another's keeps its own options through both changes.
void TstAppSettingsManager::deviceOptionsFollowRenameAndRemoval()
{
    addCam1();
    store->addDevice("Cam1_x", "COM4", 9600, 0, 8, 0, 0);
    QVERIFY(store->setDeviceOptions("Cam1", { { "logpath", "/tmp/a.log" }, { "dtr", true } }));
    QVERIFY(store->setDeviceOption("Cam1_x", "logpath", "/tmp/x.log"));
    QVERIFY(store->setAppOption("logfolder", "/tmp"));
    QVERIFY(store->setDeviceOption("", "logpath", "unsaved ports keep nothing"));
    QVERIFY(store->changeDeviceName("Cam1", "Cam2"));
    reopen();
    QCOMPARE(store->deviceOption("Cam2", "logpath").toString(), QString("/tmp/a.log"));
    QVERIFY(store->deviceOption("Cam2", "dtr").toBool());
    QVERIFY(!store->hasDeviceOption("Cam1", "logpath"));
    QCOMPARE(store->deviceOptions("Cam1_x").size(), 1);
    QVERIFY(store->removeDevice("Cam2"));
    reopen();
    QCOMPARE(fileBytes("deviceoptions.ini"),
        QByteArray("[General]\nCam1_x_logpath=/tmp/x.log\nlogfolder=/tmp\n"));
}

void TstAppSettingsManager::renameMovesCommandBytes()
{
    addCam1();
    store->changeCommandName("ping", "pong");
    QVERIFY(!store->commandExists("ping"));
    QCOMPARE(store->commandBytes("pong"), QByteArray("\x01\x02", 2));
    reopen();
    QCOMPARE(fileBytes("commandlist.ini"), QByteArray("[General]\npong=@ByteArray(\\x1\\x2)\n"));
}

void TstAppSettingsManager::renameKeepsValuesWhenKeysCoincide_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("command");
    QTest::newRow("letter case only") << "CAM1"
                                      << "PING";
    // The same name is the same key on every platform, as names that differ only in letter case
    // are where keys ignore case.
    QTest::newRow("same name") << "Cam1"
                               << "ping";
}

void TstAppSettingsManager::renameKeepsValuesWhenKeysCoincide()
{
    QFETCH(QString, device);
    QFETCH(QString, command);
    addCam1();
    store->changeDeviceName("Cam1", device);
    store->changeCommandName("ping", command);
    reopen();
    const QList<DeviceValues> loaded = devices();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded[0].name, device);
    QCOMPARE(loaded[0].portName, QStringLiteral("COM3"));
    QCOMPARE(loaded[0].baudRate, 19200);
    QCOMPARE(loaded[0].dataBits, 7);
    QCOMPARE(loaded[0].stopBits, 2);
    QCOMPARE(loaded[0].parity, 1);
    QCOMPARE(loaded[0].flowControl, 2);
    QCOMPARE(store->commandNameModel()->rowCount(), 1);
    QCOMPARE(store->commandBytes(command), QByteArray("\x01\x02", 2));
}

void TstAppSettingsManager::removeDeviceDeletesAllItsKeys()
{
    addCam1();
    store->addDevice("Cam2", "COM4", 9600, 0, 8, 0, 0);
    store->removeDevice("Cam1");
    store->removeCommand("ping");
    reopen();
    QCOMPARE(fileBytes("devicenamelist.ini"), QByteArray("[General]\nCam2=1\n"));
    QVERIFY(!fileBytes("devicelist.ini").contains("Cam1"));
    QVERIFY(fileBytes("devicelist.ini").contains("Cam2_comport=COM4"));
    QCOMPARE(store->commandNameModel()->rowCount(), 0);
}

void TstAppSettingsManager::removingAnUnknownNameChangesNothing()
{
    addCam1();
    const QByteArray before = snapshot();
    store->removeDevice("Nope");
    store->removeDevice("cam1");
    store->removeCommand("Nope");
    QCOMPARE(snapshot(), before);
}

void TstAppSettingsManager::emptyNamesNeverReachTheFiles_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("removeDevice") << "removeDevice";
    QTest::newRow("removeCommand") << "removeCommand";
    QTest::newRow("rename device to empty") << "changeDeviceName to";
    QTest::newRow("rename device from empty") << "changeDeviceName from";
    QTest::newRow("rename command to empty") << "changeCommandName to";
    QTest::newRow("rename command from empty") << "changeCommandName from";
    QTest::newRow("setDeviceValue") << "setDeviceValue";
    QTest::newRow("setCommandBytes") << "setCommandBytes";
    QTest::newRow("commandBytes") << "commandBytes";
}

void TstAppSettingsManager::emptyNamesNeverReachTheFiles()
{
    QFETCH(QString, operation);
    addCam1();
    const QByteArray before = snapshot();
    QVERIFY(before.contains("Cam1=1"));
    if (operation == "removeDevice")
        store->removeDevice("");
    else if (operation == "removeCommand")
        store->removeCommand("");
    else if (operation == "changeDeviceName to")
        store->changeDeviceName("Cam1", "");
    else if (operation == "changeDeviceName from")
        store->changeDeviceName("", "Cam9");
    else if (operation == "changeCommandName to")
        store->changeCommandName("ping", "");
    else if (operation == "changeCommandName from")
        store->changeCommandName("", "pong");
    else if (operation == "setDeviceValue")
        store->setDeviceValue("", "_baudrate", 1200);
    else if (operation == "setCommandBytes")
        store->setCommandBytes("", "x");
    else if (operation == "commandBytes")
        QCOMPARE(store->commandBytes(""), QByteArray());
    QCOMPARE(snapshot(), before);
    QCOMPARE(catcher->count(), 0);
}

void TstAppSettingsManager::namesWithSeparatorsAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("inner slash") << "a/b";
    QTest::newRow("leading slash") << "/lead";
    QTest::newRow("trailing slash") << "trail/";
    QTest::newRow("doubled slash") << "a//b";
    QTest::newRow("backslash") << "back\\slash";
}

void TstAppSettingsManager::namesWithSeparatorsAreRefused()
{
    QFETCH(QString, name);
    store->addDevice(name, "COM3", 9600, 0, 8, 0, 0);
    store->addCommand(name, "1");
    QCOMPARE(catcher->texts(),
        QStringList(
            { "Device name can not contain / or \\.", "Command name can not contain / or \\." }));
    QVERIFY(!store->deviceExists(name));
    QVERIFY(!store->commandExists(name));

    addCam1();
    const QByteArray before = snapshot();
    // The store's rename is the second guard behind the models and stays silent.
    store->changeDeviceName("Cam1", name);
    store->changeCommandName("ping", name);
    QCOMPARE(snapshot(), before);
    QCOMPARE(catcher->count(), 2);
}

void TstAppSettingsManager::nameHasSeparator_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << "Cam 1" << false;
    QTest::newRow("punctuation") << "a-b.c;d=e%f" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("slash") << "a/b" << true;
    QTest::newRow("only slash") << "/" << true;
    QTest::newRow("backslash") << "a\\b" << true;
}

void TstAppSettingsManager::nameHasSeparator()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    QCOMPARE(AppSettingsManager::nameHasSeparator(name), refused);
}

void TstAppSettingsManager::setDeviceValueWritesUnderTheSuffix()
{
    addCam1();
    store->setDeviceValue("Cam1", "_comport", QStringLiteral("COM9"));
    store->setDeviceValue("Cam1", "_baudrate", 115200);
    store->setCommandBytes("ping", QByteArray("\x0a\x1b", 2));
    reopen();
    const QByteArray list = fileBytes("devicelist.ini");
    QVERIFY(list.contains("\nCam1_comport=COM9\n"));
    QVERIFY(list.contains("\nCam1_baudrate=115200\n"));
    QCOMPARE(fileBytes("commandlist.ini"), QByteArray("[General]\nping=@ByteArray(\\n\\x1b)\n"));
}

void TstAppSettingsManager::commandLookupsOutsideTheListAreEmpty()
{
    addCam1();
    QCOMPARE(store->commandBytes("Nope"), QByteArray());
}

void TstAppSettingsManager::commandNameListFollowsEveryChange()
{
    QStringListModel *names = store->commandNameModel();
    QVERIFY(names);
    QAbstractItemModelTester tester(names);
    for (const char *name : { "c", "a", "b", "e" })
        store->addCommand(name, "1");
    QCOMPARE(names->stringList(), QStringList({ "a", "b", "c", "e" }));

    // A renamed command moves to its place by name, and what pointed at it follows it.
    const QPersistentModelIndex b = names->index(1);
    store->changeCommandName("b", "d");
    QCOMPARE(names->stringList(), QStringList({ "a", "c", "d", "e" }));
    QCOMPARE(b.data().toString(), QStringLiteral("d"));
    store->changeCommandName("d", "0");
    QCOMPARE(names->stringList(), QStringList({ "0", "a", "c", "e" }));
    QCOMPARE(b.row(), 0);
    store->changeCommandName("a", "b");
    QCOMPARE(names->stringList(), QStringList({ "0", "b", "c", "e" }));

    store->removeCommand("c");
    store->removeCommand("missing");
    QCOMPARE(names->stringList(), QStringList({ "0", "b", "e" }));
    QVERIFY(store->commandExists("b"));
    QVERIFY(!store->commandExists("c"));
    QVERIFY(!store->commandExists("a"));

    // The files say the same after a restart.
    reopen();
    QCOMPARE(store->commandNameModel()->stringList(), QStringList({ "0", "b", "e" }));
    QCOMPARE(store->commandBytes("0"), QByteArray("1"));
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstAppSettingsManager)
#include "tst_appsettingsmanager.moc"
