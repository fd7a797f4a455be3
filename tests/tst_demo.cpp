// Runs `scripts/run --demo` as a newcomer would (with this build's executable), talks to the
// simulated device through the mapped COM name the way the program opens it, ends the demo in
// each way it can end, and checks that nothing is left behind and the user's own data folder is
// untouched.
#include "serial/portpath.h"
#include "util/qtcompat.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

// Every file and symlink below `root`, with its content or link target.
QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> result;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink()) {
            result.insert(path, "-> " + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isFile()) {
            QFile file(path);
            result.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable");
        } else {
            result.insert(path, "dir");
        }
    }
    return result;
}

QStringList entriesBelow(const QString &root)
{
    QStringList result;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        result << it.next();
    return result;
}

// Anything of this program in the home folder outside its data folder (other programs, such as
// font caches, may write there).
QStringList strayEntries(const QString &home, const QString &dataFolder)
{
    QStringList result;
    for (const QString &path : entriesBelow(home)) {
        if (path.mid(home.size()).contains(QLatin1String("verantis"), Qt::CaseInsensitive)
            && path != dataFolder && !path.startsWith(dataFolder + QLatin1Char('/')))
            result << path;
    }
    return result;
}

// Live processes whose command line or environment contains `text`.
QList<qint64> processesMentioning(const QByteArray &text)
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == QCoreApplication::applicationPid())
            continue;
        for (const char *name : { "cmdline", "environ" }) {
            QFile file(QStringLiteral("/proc/%1/%2").arg(entry, QLatin1String(name)));
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text)) {
                pids << pid;
                break;
            }
        }
    }
    return pids;
}

// The running program of this demo: our executable, started with the demo folder as its
// data home.
qint64 programOf(const QString &demoFolder)
{
    const QString exe = QFileInfo(QStringLiteral(VT_EXECUTABLE)).canonicalFilePath();
    const QByteArray dataHome = "XDG_DATA_HOME=" + QFile::encodeName(demoFolder) + '\0';
    for (qint64 pid : processesMentioning(QFile::encodeName(demoFolder))) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != exe)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environ.open(QIODevice::ReadOnly)
            && ('\0' + environ.readAll()).contains('\0' + dataHome))
            return pid;
    }
    return 0;
}

} // namespace

class TstDemo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void echoesThroughComNameAndLeavesNothingBehind_data();
    void echoesThroughComNameAndLeavesNothingBehind();
    void missingExecutableIsReportedAndLeavesNothingBehind();

private:
    void startDemo(const QString &executable);
    void waitForDemoFolder(QString *folder);
    QString userData() const;

    QScopedPointer<QTemporaryDir> home;
    QScopedPointer<QTemporaryDir> tmp;
    QScopedPointer<QTemporaryDir> runtime;
    QScopedPointer<QProcess> script;
    QByteArray output;
    QMap<QString, QByteArray> userDataBefore;
};

void TstDemo::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QSKIP("socat is not installed (scripts/test installs it)");
    if (QStandardPaths::findExecutable(QStringLiteral("setsid")).isEmpty())
        QSKIP("setsid is not installed");
    // The demo's mapping is looked up the way the program does, under the program's name.
    QCoreApplication::setApplicationName(QStringLiteral("VerantisTerminal"));
}

QString TstDemo::userData() const
{
    return home->path() + QStringLiteral("/.local/share/VerantisTerminal");
}

void TstDemo::init()
{
    home.reset(new QTemporaryDir);
    tmp.reset(new QTemporaryDir);
    runtime.reset(new QTemporaryDir);
    QVERIFY(home->isValid() && tmp->isValid() && runtime->isValid());
    output.clear();

    // The user's own data: a saved device and a COM100 of their own that the demo must not use.
    QVERIFY(QDir().mkpath(userData() + QStringLiteral("/ports")));
    QFile names(userData() + QStringLiteral("/devicenamelist.ini"));
    QVERIFY(names.open(QIODevice::WriteOnly));
    names.write("[General]\nMine=1\n");
    names.close();
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), userData() + QStringLiteral("/ports/COM100")));
    userDataBefore = snapshot(userData());
}

void TstDemo::cleanup()
{
    if (script && script->state() != QProcess::NotRunning) {
        ::kill(-pid_t(script->processId()), SIGTERM);
        script->waitForFinished(30000);
    }
    script.reset();
}

void TstDemo::startDemo(const QString &executable)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.remove(QStringLiteral("XDG_CACHE_HOME"));
    env.insert(QStringLiteral("HOME"), home->path());
    env.insert(QStringLiteral("TMPDIR"), tmp->path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VT_EXECUTABLE"), executable);

    script.reset(new QProcess);
    script->setProcessEnvironment(env);
    script->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A session of its own, so a signal can reach the whole group as from a terminal.
    script->start(QStringLiteral("setsid"),
        { QStringLiteral("bash"), QStringLiteral(VT_SOURCE_DIR "/scripts/run"),
            QStringLiteral("--demo") });
    QVERIFY(script->waitForStarted());
}

void TstDemo::waitForDemoFolder(QString *folder)
{
    static const QRegularExpression line(
        QStringLiteral("^Demo folder: (.+)$"), QRegularExpression::MultilineOption);
    QRegularExpressionMatch match;
    QTRY_VERIFY_WITH_TIMEOUT((output += script->readAllStandardOutput(),
                                 (match = line.match(QString::fromLocal8Bit(output))).hasMatch()
                                     || script->state() == QProcess::NotRunning),
        60000);
    QVERIFY2(match.hasMatch(), output.constData());
    *folder = match.captured(1);
}

void TstDemo::echoesThroughComNameAndLeavesNothingBehind_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("toGroup");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGTERM to the script") << int(SIGTERM) << false << 143;
    QTest::newRow("Ctrl-C (SIGINT to the group)") << int(SIGINT) << true << 130;
    QTest::newRow("terminal closed (SIGHUP to the group)") << int(SIGHUP) << true << 129;
    // The program ending by itself: the script passes its exit status on.
    QTest::newRow("the program ends") << 0 << false << 143;
}

void TstDemo::echoesThroughComNameAndLeavesNothingBehind()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, toGroup);
    QFETCH(int, exitCode);

    startDemo(QStringLiteral(VT_EXECUTABLE));
    if (QTest::currentTestFailed())
        return;
    QString folder;
    waitForDemoFolder(&folder);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(QFileInfo(folder).absolutePath(), tmp->path());
    const QString data = folder + QStringLiteral("/VerantisTerminal");

    // The saved device and command read back through the INI facility as the program reads them.
    QSettings names(data + QStringLiteral("/devicenamelist.ini"), QSettings::IniFormat);
    QtCompat::useUtf8Ini(names);
    QCOMPARE(names.allKeys(), QStringList { QStringLiteral("Demo echo") });
    QSettings devices(data + QStringLiteral("/devicelist.ini"), QSettings::IniFormat);
    QtCompat::useUtf8Ini(devices);
    QCOMPARE(
        devices.value(QStringLiteral("Demo echo_comport")).toString(), QStringLiteral("COM100"));
    QCOMPARE(devices.value(QStringLiteral("Demo echo_baudrate")).toInt(), 9600);
    QCOMPARE(devices.value(QStringLiteral("Demo echo_stopbits"), -1).toInt(), 0);
    QCOMPARE(devices.value(QStringLiteral("Demo echo_databits")).toInt(), 8);
    QCOMPARE(devices.value(QStringLiteral("Demo echo_parity"), -1).toInt(), 0);
    QCOMPARE(devices.value(QStringLiteral("Demo echo_flowcontrol"), -1).toInt(), 0);
    QSettings commands(data + QStringLiteral("/commandlist.ini"), QSettings::IniFormat);
    QtCompat::useUtf8Ini(commands);
    QCOMPARE(commands.allKeys(), QStringList { QStringLiteral("Hello") });
    QCOMPARE(commands.value(QStringLiteral("Hello")).toByteArray(), QByteArray("Hello"));

    // The program runs with the demo folder as its data home.
    qint64 program = 0;
    QTRY_VERIFY_WITH_TIMEOUT((program = programOf(folder)) != 0, 30000);

    // COM100 resolves, as in the program, to the simulated device, which sends every byte back.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder));
    const QString portPath = resolvePortName(QStringLiteral("COM100"));
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(portPath, data + QStringLiteral("/ports/COM100"));
    {
        QSerialPort port;
        port.setPortName(portPath);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        QByteArray sent;
        for (int round = 0; round < 4; ++round)
            for (int b = 0; b < 256; ++b)
                sent.append(char(b));
        QByteArray received;
        connect(&port, &QSerialPort::readyRead, &port, [&] { received += port.readAll(); });
        QCOMPARE(port.write(sent), qint64(sent.size()));
        QTRY_VERIFY_WITH_TIMEOUT(received.size() >= sent.size(), 20000);
        QCOMPARE(received, sent);
        port.close();
    }

    // The detection below finds this run's processes while they live: the device and the program.
    const QList<qint64> running = processesMentioning(QFile::encodeName(folder));
    QVERIFY(running.contains(program));
    QVERIFY2(running.size() >= 2, "the simulated device's process was not found");

    const pid_t scriptPid = pid_t(script->processId());
    if (signalNumber == 0)
        QCOMPARE(::kill(pid_t(program), SIGTERM), 0);
    else
        QCOMPARE(::kill(toGroup ? -scriptPid : scriptPid, signalNumber), 0);
    QVERIFY(script->waitForFinished(30000));
    QCOMPARE(script->exitStatus(), QProcess::NormalExit);
    QCOMPARE(script->exitCode(), exitCode);

    QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    QTRY_COMPARE_WITH_TIMEOUT(
        processesMentioning(QFile::encodeName(folder)), QList<qint64>(), 10000);
    QCOMPARE(entriesBelow(tmp->path()), QStringList());
    QCOMPARE(snapshot(userData()), userDataBefore);
    QCOMPARE(strayEntries(home->path(), userData()), QStringList());
}

void TstDemo::missingExecutableIsReportedAndLeavesNothingBehind()
{
    startDemo(tmp->path() + QStringLiteral("/no-such-program"));
    if (QTest::currentTestFailed())
        return;
    QVERIFY(script->waitForFinished(30000));
    QCOMPARE(script->exitStatus(), QProcess::NormalExit);
    QCOMPARE(script->exitCode(), 1);
    QCOMPARE(entriesBelow(tmp->path()), QStringList());
    QCOMPARE(snapshot(userData()), userDataBefore);
    QCOMPARE(strayEntries(home->path(), userData()), QStringList());
}

QTEST_GUILESS_MAIN(TstDemo)
#include "tst_demo.moc"
