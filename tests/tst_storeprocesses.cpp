// The store in several processes: two programs saving into one folder at once, and a program
// killed at any instant of a remove or a rename. Each runs the storedfiles tool.
#include "testapp.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "data/appsettingsmanager.h"
#include "util/qtcompat.h"

namespace {

const char *const suffixes[]
    = { "_comport", "_baudrate", "_stopbits", "_databits", "_parity", "_flowcontrol" };

// The keys of an INI file as QSettings reads them from the disk, read from a copy so no cache of
// this process answers; "<unreadable>" where QSettings reports the file as broken.
QStringList diskKeys(const QString &path)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.ini"));
    if (QFile::exists(path) && !QFile::copy(path, copy))
        return { QStringLiteral("<unreadable>") };
    QSettings settings(copy, QSettings::IniFormat);
    QtCompat::useUtf8Ini(settings);
    const QStringList keys = settings.allKeys();
    return settings.status() == QSettings::NoError ? keys : QStringList { "<unreadable>" };
}

// Names whose six settings are not all on disk: a device that would show with made-up values.
QStringList namesWithoutSettings(const QString &folder)
{
    const QStringList keys = diskKeys(folder + QStringLiteral("devicelist.ini"));
    QStringList broken;
    for (const QString &name : diskKeys(folder + QStringLiteral("devicenamelist.ini"))) {
        for (const char *suffix : suffixes) {
            if (!keys.contains(name + QLatin1String(suffix))) {
                broken << name;
                break;
            }
        }
    }
    return broken;
}

} // namespace

class TstStoreProcesses : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void twoProgramsSavingAtOnceLoseNothing();
    void killsDuringRemovesAndRenamesLeaveWholeDevices();

private:
    QString folder() const { return dataHome->path() + QStringLiteral("/VerantisTerminal/"); }
    QScopedPointer<QTemporaryDir> dataHome;
};

void TstStoreProcesses::init()
{
    // In memory where there is such a folder: every change reaches the disk (fsync) before the
    // next, which on a real disk would make the runs take minutes.
    const QString shm = QStringLiteral("/dev/shm");
    dataHome.reset(
        QFileInfo(shm).isWritable() ? new QTemporaryDir(shm + "/vt-XXXXXX") : new QTemporaryDir);
    QVERIFY(dataHome->isValid());
}

void TstStoreProcesses::twoProgramsSavingAtOnceLoseNothing()
{
    const int count = 80;
    QProcess first;
    QProcess second;
    first.start(
        QStringLiteral(VT_STOREDFILES), { "add", dataHome->path(), "A", QString::number(count) });
    second.start(
        QStringLiteral(VT_STOREDFILES), { "add", dataHome->path(), "B", QString::number(count) });
    QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(diskKeys(folder() + "devicenamelist.ini").size(), 2 * count);
    QCOMPARE(diskKeys(folder() + "devicelist.ini").size(), 2 * 6 * count);
}

void TstStoreProcesses::killsDuringRemovesAndRenamesLeaveWholeDevices()
{
    // Committed seeds: the same kills on every run.
    QRandomGenerator random(27);
    for (int kill = 0; kill < 80; ++kill) {
        QProcess churn;
        churn.start(QStringLiteral(VT_STOREDFILES),
            { "churn", dataHome->path(), QString::number(random.generate()) });
        QVERIFY(churn.waitForStarted(30000));
        // Killed while it is in the middle of its next change, at a point the scheduler picks.
        const int changes = int(random.bounded(1, 4));
        QTRY_VERIFY_WITH_TIMEOUT(
            churn.bytesAvailable() >= changes || churn.state() == QProcess::NotRunning, 30000);
        churn.kill();
        QVERIFY(churn.waitForFinished(30000));
        QVERIFY2(churn.exitStatus() == QProcess::CrashExit, churn.readAllStandardError());
        QCOMPARE(namesWithoutSettings(folder()), QStringList());
    }
    // The next start, a while later, shows whole devices only and leaves no settings without a
    // name.
    QFile settingsFile(folder() + "devicelist.ini");
    QVERIFY(settingsFile.open(QIODevice::ReadWrite));
    QVERIFY(settingsFile.setFileTime(
        QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    settingsFile.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome->path()));
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
    {
        AppSettingsManager store;
    }
    QCoreApplication::setApplicationName(ownName);
    QStringList expected;
    for (const QString &name : diskKeys(folder() + "devicenamelist.ini")) {
        for (const char *suffix : suffixes)
            expected << name + QLatin1String(suffix);
    }
    QStringList keys = diskKeys(folder() + "devicelist.ini");
    expected.sort();
    keys.sort();
    QCOMPARE(keys, expected);
}

VT_TEST_MAIN(TstStoreProcesses)
#include "tst_storeprocesses.moc"
