// The command line, through the real executable as a child process against pty peers, and
// --open inside the running application.
#include "app/commandline.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/logfile.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "serial/appdevice.h"
#include "testapp.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>

#include <cerrno>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The options --help and the man page list, each as "--name".
QStringList optionNames(const QString &text, const QRegularExpression &optionLine)
{
    QStringList names;
    static const QRegularExpression name(QStringLiteral("--([a-z][a-z-]*)"));
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (!optionLine.match(line).hasMatch())
            continue;
        line.remove(QRegularExpression(QStringLiteral("\\\\f[BIR]"))).remove(QLatin1Char('\\'));
        for (auto it = name.globalMatch(line); it.hasNext();)
            names << it.next().captured(0);
    }
    names.sort();
    names.removeDuplicates();
    return names;
}

} // namespace

class TstCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void captureLogsTheStreamUntilItEnds_data();
    void captureLogsTheStreamUntilItEnds();
    void badInputSaysWhatInOneLine_data();
    void badInputSaysWhatInOneLine();
    void ownTerminalIsNoPort();
    void openOpensTheNamedTerminalAndLogsIt();
    void manPageListsTheOptionsOfHelp();
    void logFileAppendsAndReportsItsFirstFailure();

private:
    QTemporaryDir dir;
};

void TstCommandLine::captureLogsTheStreamUntilItEnds_data()
{
    QTest::addColumn<bool>("raw");
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("lines, SIGTERM") << false << "term" << 0;
    QTest::newRow("raw, SIGTERM") << true << "term" << 0;
    QTest::newRow("lines, line lost") << false << "hangup" << 1;
    QTest::newRow("lines, kill -9") << false << "kill" << -1;
    // Saved device A next to one the store cannot read, which the store reports later on.
    QTest::newRow("saved, SIGTERM") << false << "saved" << 0;
}

void TstCommandLine::captureLogsTheStreamUntilItEnds()
{
    QFETCH(bool, raw);
    QFETCH(QString, end);
    const bool hangUp = end == QLatin1String("hangup");
    PtyPeer peer;
    QVERIFY(peer.isValid());
    const QString log = dir.filePath(QStringLiteral("capture-%1.log").arg(QTest::currentDataTag()));
    QStringList args { "--capture", "--port", peer.slavePath(), "--baud", "115200", "--log", log };
    QString line = peer.slavePath() + "-115200-8-OneStop-None-OFF";
    if (end == QLatin1String("saved")) {
        const QString data = qEnvironmentVariable("XDG_DATA_HOME") + "/VerantisTerminal/";
        QVERIFY(QDir().mkpath(data + "ports"));
        QVERIFY(QFile::link(peer.slavePath(), data + "ports/COM7"));
        for (const auto &file : { std::pair { "devicenamelist.ini", "A=1\nB=1\n" },
                 std::pair {
                     "devicelist.ini", "A_comport=COM7\nB_comport=@Rect(1 2 3 4)\n" } }) {
            QFile ini(data + file.first);
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(QByteArray("[General]\n") + file.second);
        }
        args = QStringList { "--capture", "--open", "A", "--log", log };
        line = "COM7-9600-8-OneAndHalfStop-None-OFF";
    }
    if (raw)
        args << "--raw";
    QProcess child;
    // No display of any kind: a capture must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        environment.remove(name);
    child.setProcessEnvironment(environment);
    child.start(VT_EXECUTABLE, args);
    // The log is opened once the port is; what it held before stays.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 10000);
    QVERIFY(peer.write("hello\r\n"));
    const QString expected
        = raw ? QStringLiteral("hello\r\n") : "-Received-68656C6C6F0D0A-hello\\r\\n-" + line + "\n";
    // Written while the capture runs, not only at its end.
    QTRY_VERIFY_WITH_TIMEOUT(readAll(log).endsWith(expected), 10000);

    if (hangUp)
        peer.hangUp();
    else if (end == QLatin1String("kill"))
        child.kill();
    else
        child.terminate();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(),
        end == QLatin1String("kill") ? QProcess::CrashExit : QProcess::NormalExit);
    if (end != QLatin1String("kill"))
        QTEST(child.exitCode(), "exitCode");
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    QCOMPARE(errors,
        hangUp
            ? "VerantisTerminal: " + peer.slavePath() + " was disconnected: Input/output error.\n"
            : QString());
    QVERIFY(raw
        || QRegularExpression("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}-")
               .match(readAll(log))
               .hasMatch());
}

void TstCommandLine::badInputSaysWhatInOneLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString log = dir.filePath("bad.log");
    QTest::newRow("bad baud") << QStringList { "--port", "x", "--baud",
        "fast" } << 2 << "Bad value for --baud: \"fast\" (expected a positive whole number).";
    QTest::newRow("bad parity") << QStringList { "--port", "x", "--parity", "3" } << 2
                                << "Bad value for --parity: \"3\" (expected none, even or odd).";
    QTest::newRow("unknown option") << QStringList { "--fast" } << 2 << "Unknown option 'fast'.";
    QTest::newRow("two logs in one file")
        << QStringList { "--capture", "--open", "A", "--port", "x", "--log", log } << 2
        << "--log needs %port% in the file name when more than one port is opened.";
    QTest::newRow("capture without log")
        << QStringList { "--capture", "--port", "x" } << 2 << "--capture needs --log.";
    QTest::newRow("missing saved name") << QStringList { "--capture", "--open", "Nope", "--log",
        log } << 1 << "No saved device is named \"Nope\".";
    QTest::newRow("missing port") << QStringList {
        "--capture", "--port", "/nonexistent/tty", "--log", log
    } << 1 << "Could not open /nonexistent/tty (/nonexistent/tty): No such file or directory.";
}

void TstCommandLine::badInputSaysWhatInOneLine()
{
    QFETCH(QStringList, args);
    QProcess child;
    child.start(VT_EXECUTABLE, args);
    QVERIFY(child.waitForFinished(10000));
    QTEST(child.exitCode(), "exitCode");
    QFETCH(QString, message);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardError()),
        "VerantisTerminal: " + message + "\n");
    QVERIFY(!QFile::exists(dir.filePath("bad.log")));
}

void TstCommandLine::ownTerminalIsNoPort()
{
    // The child's controlling terminal is a pty of ours; its standard input is that terminal.
    int master = -1;
    const QByteArray exe = VT_EXECUTABLE;
    const QByteArray log = QFile::encodeName(dir.filePath("own.log"));
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    QVERIFY(pid >= 0);
    if (pid == 0) {
        execl(exe.constData(), exe.constData(), "--capture", "--port", "/proc/self/fd/0", "--log",
            log.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    QByteArray output;
    char buf[512];
    ssize_t n;
    while ((n = ::read(master, buf, sizeof buf)) > 0)
        output.append(buf, int(n));
    ::close(master);
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 1);
    QVERIFY2(
        output.contains("It is the terminal this program was started from, not a serial port."),
        output.constData());
}

void TstCommandLine::openOpensTheNamedTerminalAndLogsIt()
{
    MessageBoxCatcher catcher;
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    QVERIFY(VerantisTerminalApp::app()->settingsManager()->addDevice(
        "Bench supply", "COM5", 57600, 0, 8, 2, 0));
    const QString log = dir.filePath("%port%-open.log");
    const CommandLine commandLine = CommandLine::parse(
        { "VerantisTerminal", "--open", "Bench supply", "--open", "Gone", "--log", log });
    QCOMPARE(int(commandLine.action), int(CommandLine::Action::Start));

    VerantisTerminalApp::app()->openFromCommandLine(commandLine.options);
    // The missing name is a message; the program runs on with the other terminal.
    QCOMPARE(catcher.texts(), QStringList({ "No saved device is named \"Gone\"." }));
    const auto terminals = VerantisTerminalApp::app()->mainWin()->findChildren<AppDeviceDialog *>();
    QCOMPARE(terminals.size(), 1);
    QVERIFY(terminals.first()->isVisible());
    QCOMPARE(
        terminals.first()->servedDevice()->deviceData()->name(), QStringLiteral("Bench supply"));

    QVERIFY(peer.write("V"));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(dir.filePath("COM5-open.log"))
                                 .endsWith("-Received-56-V-COM5-57600-8-OneStop-Odd-OFF\n"),
        10000);
    // Closed while its peer is there, so no lost line turns up later.
    terminals.first()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(catcher.count(), 1);
}

void TstCommandLine::manPageListsTheOptionsOfHelp()
{
    QProcess child;
    child.start(VT_EXECUTABLE, { "--help" });
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitCode(), 0);
    const QStringList help = optionNames(
        QString::fromLocal8Bit(child.readAllStandardOutput()), QRegularExpression("^  -"));
    const QStringList man = optionNames(
        readAll(VT_SOURCE_DIR "/dist/VerantisTerminal.1"), QRegularExpression("^\\\\fB\\\\-"));
    QVERIFY(help.size() >= 12);
    QCOMPARE(man, help);
}

void TstCommandLine::logFileAppendsAndReportsItsFirstFailure()
{
    const AppHistoryData record("01.02.2026 03:04:05.006", "Sent", "A", "COM1", 9600, 8, 0, 0, 0);
    const QString path = dir.filePath("append.log");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept\n") == 5);
    old.close();
    LogFile lines(LogFile::Format::Lines);
    QVERIFY(lines.open(path));
    lines.appendRecord(record);
    lines.appendLine("Closed");
    QVERIFY(lines.flush());
    QCOMPARE(readAll(path),
        "kept\n01.02.2026 03:04:05.006-Sent-41-A-COM1-9600-8-OneStop-None-OFF\nClosed\n");

    // A folder cannot be opened; a full device fails at the write, once, and stops the log.
    LogFile folder(LogFile::Format::Raw);
    QVERIFY(!folder.open(dir.path()));
    QVERIFY2(folder.failure().startsWith("Could not write the log file " + dir.path() + ": "),
        qPrintable(folder.failure()));
    LogFile full(LogFile::Format::Lines);
    QSignalSpy failed(&full, &LogFile::failed);
    QVERIFY(full.open("/dev/full"));
    full.appendRecord(record);
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(),
        "Could not write the log file /dev/full: " + qt_error_string(ENOSPC) + ".");
    full.appendRecord(record);
    QVERIFY(!full.flush());
    QCOMPARE(failed.count(), 1);
}

VT_TEST_MAIN(TstCommandLine)
#include "tst_commandline.moc"
