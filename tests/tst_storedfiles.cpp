// The three INI files across the Qt 5 and Qt 6 builds: both write the same bytes (the committed
// fixtures), both read the fixtures and hand-written UTF-8 files alike, and, when the other
// build's storedfiles tool is named in VT_OTHER_STOREDFILES, each reads what the other wrote.
#include "messageboxcatcher.h"
#include "storeditems.h"
#include "testapp.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QScopedPointer>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char *const iniFiles[] = { "devicenamelist.ini", "devicelist.ini", "commandlist.ini" };

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QString fixture(const char *file)
{
    return QStringLiteral(VT_SOURCE_DIR "/tests/fixtures/storedfiles/") + QLatin1String(file);
}

} // namespace

class TstStoredFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savedFilesAreTheFixtures();
    void fixturesLoadAsSaved();
    void rawUtf8KeysLoadAsWritten();
    void escapedKeysAreNotDecodedTwice();
    void filesOfEarlierReleasesLoad();
    void eachBuildReadsWhatTheOtherWrote();

private:
    // Writes back and builds a new store on the same files, as a restart does.
    void reopen();
    QString dataFile(const char *file) const { return store->dataFolder() + QLatin1String(file); }

    QScopedPointer<QTemporaryDir> dataHome;
    QScopedPointer<AppSettingsManager> store;
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstStoredFiles::init()
{
    dataHome.reset(new QTemporaryDir);
    QVERIFY(dataHome->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
    store.reset(new AppSettingsManager);
    QVERIFY(QDir().mkpath(store->dataFolder()));
    catcher.reset(new MessageBoxCatcher);
}

void TstStoredFiles::cleanup()
{
    store.reset();
    QCOMPARE(catcher->count(), 0);
    catcher.reset();
    dataHome.reset();
}

void TstStoredFiles::reopen()
{
    store.reset();
    store.reset(new AppSettingsManager);
}

void TstStoredFiles::savedFilesAreTheFixtures()
{
    StoredItems::save(*store);
    reopen();
    for (const char *file : iniFiles)
        QCOMPARE(readBytes(dataFile(file)), readBytes(fixture(file)));
    QCOMPARE(StoredItems::dump(*store), StoredItems::expectedDump());
}

void TstStoredFiles::fixturesLoadAsSaved()
{
    store.reset();
    for (const char *file : iniFiles)
        QVERIFY(QFile::copy(fixture(file),
            dataHome->path() + "/" + QCoreApplication::applicationName() + "/" + file));
    store.reset(new AppSettingsManager);
    QCOMPARE(StoredItems::dump(*store), StoredItems::expectedDump());
    QCOMPARE(store->commandBytes(QStringLiteral("K\u00fc")), StoredItems::everyByte());
}

void TstStoredFiles::rawUtf8KeysLoadAsWritten()
{
    // Written by hand in a UTF-8 editor: the names as plain text, not as the escapes that the
    // program writes. They mean what they say, on either build.
    store.reset();
    const QString folder = dataHome->path() + "/" + QCoreApplication::applicationName() + "/";
    QVERIFY(writeBytes(
        folder + "devicenamelist.ini", "[General]\nK\xc3\xbc=1\n\xd0\x9b\xd0\xb0\xd0\xb1 2=1\n"));
    QVERIFY(writeBytes(folder + "devicelist.ini",
        "[General]\r\nK\xc3\xbc_comport=COM\xc3\xbc\r\nK\xc3\xbc_baudrate=19200\r\n"
        "\xd0\x9b\xd0\xb0\xd0\xb1 2_parity=2\r\n"));
    QVERIFY(writeBytes(folder + "commandlist.ini",
        "; saved by hand\n[General]\nK\xc3\xbc=@ByteArray(\\x1\\xff\xc3\xbc)\n"));
    store.reset(new AppSettingsManager);

    QScopedPointer<QList<AppTableData *>> devices(store->loadDevices());
    QCOMPARE(devices->size(), 2);
    auto *first = static_cast<AppDeviceData *>(devices->at(0));
    auto *second = static_cast<AppDeviceData *>(devices->at(1));
    QCOMPARE(first->name(), QStringLiteral("K\u00fc"));
    QCOMPARE(first->portName(), QStringLiteral("COM\u00fc"));
    QCOMPARE(first->baudRate(), 19200);
    QCOMPARE(second->name(), QStringLiteral("\u041b\u0430\u0431 2"));
    QCOMPARE(second->parity(), 2);
    qDeleteAll(*devices);
    QVERIFY(store->commandExists(QStringLiteral("K\u00fc")));
    QCOMPARE(store->commandBytes(QStringLiteral("K\u00fc")), QByteArray("\x01\xff\xfc"));
    QCOMPARE(store->commandNameModel()->rowCount(), 1);

    // Changed through the program, they are written the way both builds write every name.
    store->changeDeviceName(QStringLiteral("K\u00fc"), QStringLiteral("K\u00fcche"));
    store->removeCommand(QStringLiteral("K\u00fc"));
    reopen();
    QCOMPARE(readBytes(dataFile("devicenamelist.ini")),
        QByteArray("[General]\nK%FCche=1\n%U041B%U0430%U0431%202=1\n"));
    QCOMPARE(readBytes(dataFile("devicelist.ini")),
        QByteArray("[General]\nK%FCche_baudrate=19200\nK%FCche_comport=COM\xc3\xbc\n"
                   "K%FCche_databits=8\nK%FCche_flowcontrol=0\nK%FCche_parity=0\n"
                   "K%FCche_stopbits=1\n%U041B%U0430%U0431%202_parity=2\n"));
    QCOMPARE(readBytes(dataFile("commandlist.ini")), QByteArray());
}

void TstStoredFiles::escapedKeysAreNotDecodedTwice()
{
    // A name typed as "KÃ¼" is saved as escapes of those three letters and must stay them.
    store->addDevice(QStringLiteral("K\u00c3\u00bc"), QStringLiteral("COM1"), 9600, 0, 8, 0, 0);
    store->addCommand(QStringLiteral("K\u00c3\u00bc"), QByteArray("\xc3\xbc"));
    reopen();
    QCOMPARE(readBytes(dataFile("devicenamelist.ini")), QByteArray("[General]\nK%C3%BC=1\n"));
    QVERIFY(store->deviceExists(QStringLiteral("K\u00c3\u00bc")));
    QVERIFY(!store->deviceExists(QStringLiteral("K\u00fc")));
    QCOMPARE(store->commandBytes(QStringLiteral("K\u00c3\u00bc")), QByteArray("\xc3\xbc"));
}

void TstStoredFiles::filesOfEarlierReleasesLoad()
{
    // Earlier releases read and wrote Latin-1 files, so they escaped every character above 126
    // in a text value, as "\xfc" (and a hex digit after it, as "\x37").
    store.reset();
    const QString folder = dataHome->path() + "/" + QCoreApplication::applicationName() + "/";
    QVERIFY(writeBytes(folder + "devicenamelist.ini", "[General]\nK%FC=1\n"));
    QVERIFY(writeBytes(
        folder + "devicelist.ini", "[General]\nK%FC_comport=COM\\xfc\\x37\nK%FC_baudrate=4800\n"));
    store.reset(new AppSettingsManager);
    QScopedPointer<QList<AppTableData *>> devices(store->loadDevices());
    QCOMPARE(devices->size(), 1);
    auto *device = static_cast<AppDeviceData *>(devices->first());
    QCOMPARE(device->name(), QStringLiteral("K\u00fc"));
    QCOMPARE(device->portName(), QStringLiteral("COM\u00fc7"));
    QCOMPARE(device->baudRate(), 4800);
    qDeleteAll(*devices);
}

void TstStoredFiles::eachBuildReadsWhatTheOtherWrote()
{
    const QString other = qEnvironmentVariable("VT_OTHER_STOREDFILES");
    if (other.isEmpty())
        QSKIP("VT_OTHER_STOREDFILES does not name the other build's storedfiles tool");
    QVERIFY2(QFileInfo(other).isExecutable(), qPrintable(other));

    // The tool keeps its files where the program does.
    const QString ownName = QCoreApplication::applicationName();
    const auto restoreName
        = qScopeGuard([ownName] { QCoreApplication::setApplicationName(ownName); });
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));

    // This build writes, the other reads.
    store.reset(new AppSettingsManager);
    StoredItems::save(*store);
    store.reset();
    QProcess dump;
    dump.start(other, { QStringLiteral("dump"), dataHome->path() });
    QVERIFY(dump.waitForFinished(60000));
    QCOMPARE(dump.exitCode(), 0);
    QCOMPARE(
        QString::fromUtf8(dump.readAllStandardOutput()).trimmed(), StoredItems::expectedDump());

    // The other writes, this build reads; and the other wrote the same bytes.
    QTemporaryDir otherHome;
    QVERIFY(otherHome.isValid());
    QProcess write;
    write.start(other, { QStringLiteral("write"), otherHome.path() });
    QVERIFY(write.waitForFinished(60000));
    QCOMPARE(write.exitCode(), 0);
    qputenv("XDG_DATA_HOME", QFile::encodeName(otherHome.path()));
    store.reset(new AppSettingsManager);
    QCOMPARE(StoredItems::dump(*store), StoredItems::expectedDump());
    for (const char *file : iniFiles)
        QCOMPARE(readBytes(dataFile(file)), readBytes(fixture(file)));
}

VT_TEST_MAIN(TstStoredFiles)
#include "tst_storedfiles.moc"
