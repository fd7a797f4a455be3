// A terminal's log file on real files and ptys: Raw and Lines against the stream and the history,
// the markers, the daily file, appending, failures told once, and the stored choice.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/logfile.h"
#include "data/logline.h"
#include "data/logpath.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "scratchmount.h"
#include "testapp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace AppWindows;

namespace {

AppSettingsManager *store()
{
    return VerantisTerminalApp::app()->settingsManager();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// A terminal of the device `name` on a pty mapped to COM7, opened as the Open button does.
struct Terminal
{
    PtyPeer peer { QStringLiteral("COM7") };
    AppDeviceData record;
    QPointer<AppDeviceDialog> dialog;

    explicit Terminal(const QString &name)
        : record(name, QStringLiteral("COM7"), 9600, 8, 0, 0, 0)
    {
        const auto before = snapshot();
        if (peer.isValid() && VerantisTerminalApp::app()->openDevice(&record))
            dialog = newTerminal(before);
    }
    ~Terminal()
    {
        if (dialog)
            dialog->close();
    }
    template<typename T> T *child(const char *name) const { return widget<T>(dialog, name); }
    // Sends the bytes to the terminal and waits until its history has them.
    bool receive(const QByteArray &bytes)
    {
        const int rows = tableModel("historyTable")->rowCount();
        if (!peer.write(bytes))
            return false;
        return QTest::qWaitFor([&] {
            mainWindow()->flushHistory();
            return tableModel("historyTable")->rowCount() > rows;
        });
    }
};

} // namespace

class TstTerminalLogFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rawHoldsTheReceivedBytesAlone();
    void linesParseBackToTheHistoryWithMarkers();
    void dailyFileStartsAtMidnightAndAppends();
    void failuresAreToldOnceAndTheTerminalGoesOn_data();
    void failuresAreToldOnceAndTheTerminalGoesOn();
    void choiceIsStoredAndFollowsTheDevice();

private:
    QScopedPointer<QTemporaryDir> dir;
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstTerminalLogFile::init()
{
    dir.reset(new QTemporaryDir);
    catcher.reset(new MessageBoxCatcher);
    mainWidget<QPushButton>("clearHistoryBtn")->click();
}

void TstTerminalLogFile::cleanup()
{
    QTRY_VERIFY_WITH_TIMEOUT(terminals().isEmpty(), 10000);
    store()->setAppOption(QStringLiteral("logfolderon"), false);
    catcher.reset();
}

void TstTerminalLogFile::rawHoldsTheReceivedBytesAlone()
{
    // The device's stored choice is taken as the terminal opens.
    const QString path = dir->filePath(QStringLiteral("%port%.bin"));
    store()->setDeviceOptions(QStringLiteral("Raw rig"),
        { { "logfile", true }, { "logpath", path }, { "logformat", "Raw" } });
    QByteArray stream;
    for (int i = 0; i < 4096; ++i)
        stream += char(i * 7 % 256);
    {
        Terminal t(QStringLiteral("Raw rig"));
        QVERIFY(t.dialog);
        QVERIFY(t.child<QCheckBox>("logFileCheck")->isChecked());
        QVERIFY(t.receive(stream.left(1000)));
        t.child<QLineEdit>("hexEdit")->setText(QStringLiteral("41 42"));
        t.child<QPushButton>("sendBtn")->click();
        t.child<QPushButton>("clearBtn")->click();
        QVERIFY(t.receive(stream.mid(1000)));
        // Within a frame or two, before the terminal closes.
        QTRY_COMPARE_WITH_TIMEOUT(contents(dir->filePath("COM7.bin")), stream, 5000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(terminals().isEmpty(), 10000);
    QCOMPARE(contents(dir->filePath("COM7.bin")), stream);
}

void TstTerminalLogFile::linesParseBackToTheHistoryWithMarkers()
{
    // A terminal without a choice of its own follows the main window's folder.
    store()->setAppOption(QStringLiteral("logfolder"), dir->path());
    store()->setAppOption(QStringLiteral("logfolderon"), true);
    const QString path = dir->filePath(
        QStringLiteral("COM7-%1.log").arg(QDate::currentDate().toString(Qt::ISODate)));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("earlier run\n") > 0);
    old.close();
    {
        Terminal t { QString() };
        QVERIFY(t.dialog);
        QVERIFY(t.receive("boot\r\n\x01\\"));
        t.child<QLineEdit>("hexEdit")->setText(QStringLiteral("41 2D 42"));
        t.child<QPushButton>("sendBtn")->click();
        t.child<QPushButton>("clearBtn")->click();
        QVERIFY(t.receive("after clear"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(terminals().isEmpty(), 10000);
    mainWindow()->flushHistory();

    QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.takeFirst(), QByteArray("earlier run"));
    auto *history = tableModel("historyTable");
    QList<QByteArray> expected;
    for (int row = 0; row < history->rowCount(); ++row)
        expected << logLine(*static_cast<AppHistoryData *>(history->getData(row)));
    QCOMPARE(history->rowCount(), 3);
    QCOMPARE(lines.size(), expected.size() + 3);
    expected.insert(2, lines.at(3)); // Cleared, after the Send
    expected.prepend(lines.first()); // Opened
    expected.append(lines.last()); // Closed
    QCOMPARE(lines, expected);
    // Markers are Event rows with their word in the ASCII field, in the same ten fields.
    const QList<QByteArray> words { "Opened", "Cleared", "Closed" };
    for (int i : { 0, 3, 5 }) {
        const QList<QByteArray> fields = lines.at(i).split('-');
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields.at(1), QByteArray("Event"));
        QCOMPARE(fields.at(2), QByteArray());
        QCOMPARE(fields.at(3), words.at(i == 0 ? 0 : i == 3 ? 1 : 2));
        QCOMPARE(fields.at(4), QByteArray("COM7"));
    }
}

void TstTerminalLogFile::dailyFileStartsAtMidnightAndAppends()
{
    const QDateTime evening(QDate(2026, 3, 1), QTime(23, 59, 59, 900));
    QCOMPARE(expandLogPath(QStringLiteral("/l/%port%-%date%-%time%.log"),
                 QStringLiteral("/dev/ttyUSB0"), evening),
        QStringLiteral("/l/dev_ttyUSB0-2026-03-01-235959.log"));
    QFile first(dir->filePath(QStringLiteral("COM7-2026-03-01.log")));
    QVERIFY(first.open(QIODevice::WriteOnly) && first.write("kept\n") > 0);
    first.close();

    qint64 now = evening.toMSecsSinceEpoch();
    LogFile log(LogFile::Format::Lines);
    log.setClock([&now] { return now; });
    QVERIFY(log.openPattern(dir->filePath(QStringLiteral("%port%-%date%.log")), "COM7"));
    log.appendLine("before midnight");
    now += 200;
    log.appendLine("after midnight");
    QVERIFY(log.flush());
    QCOMPARE(contents(first.fileName()), QByteArray("kept\nbefore midnight\n"));
    QCOMPARE(contents(dir->filePath(QStringLiteral("COM7-2026-03-02.log"))),
        QByteArray("after midnight\n"));
}

void TstTerminalLogFile::failuresAreToldOnceAndTheTerminalGoesOn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder in the way") << "folder";
    QTest::newRow("read-only folder") << "readonly";
    QTest::newRow("full disk") << "full";
}

void TstTerminalLogFile::failuresAreToldOnceAndTheTerminalGoesOn()
{
    QFETCH(QString, kind);
    const QString folder = dir->filePath(QStringLiteral("disk"));
    QString path = folder + QStringLiteral("/run.log");
    QScopedPointer<ScratchMount> disk;
    QScopedPointer<ReadOnlyFolder> locked;
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("readonly")) {
        locked.reset(new ReadOnlyFolder(folder));
        if (locked->skipReason())
            QSKIP(locked->skipReason());
        QVERIFY(locked->lock());
    } else {
        disk.reset(new ScratchMount(folder, "64k"));
        if (!disk->isMounted())
            QSKIP(disk->skipReason());
        disk->fill();
    }
    Terminal t(QStringLiteral("Failing rig"));
    QVERIFY(t.dialog);
    t.child<QLineEdit>("logFileEdit")->setText(path);
    t.child<QCheckBox>("logFileCheck")->click();
    QVERIFY(t.receive("first"));
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QVERIFY(catcher->texts().first().startsWith(
        QStringLiteral("Could not write the log file %1: ").arg(path)));
    QVERIFY(!t.child<QCheckBox>("logFileCheck")->isChecked());
    // The terminal goes on, and the fault is not told again.
    QVERIFY(t.receive("second"));
    QVERIFY(t.receive("third"));
    QCOMPARE(catcher->count(), 1);
    catcher->clear();
    store()->removeDevice(QStringLiteral("Failing rig"));
}

void TstTerminalLogFile::choiceIsStoredAndFollowsTheDevice()
{
    const QString name = QStringLiteral("Stored rig");
    QVERIFY(store()->addDevice(name, QStringLiteral("COM7"), 9600, 0, 8, 0, 0));
    const QString path = dir->filePath(QStringLiteral("stored.log"));
    {
        Terminal t(name);
        QVERIFY(t.dialog);
        t.child<QLineEdit>("logFileEdit")->setText(path);
        t.child<QCheckBox>("logFileCheck")->click();
    }
    QCOMPARE(store()->deviceOption(name, "logfile").toBool(), true);
    QCOMPARE(store()->deviceOption(name, "logpath").toString(), path);
    QVERIFY(store()->changeDeviceName(name, QStringLiteral("Renamed rig")));
    QVERIFY(!store()->hasDeviceOption(name, "logpath"));
    QCOMPARE(store()->deviceOption(QStringLiteral("Renamed rig"), "logpath").toString(), path);
    QVERIFY(store()->removeDevice(QStringLiteral("Renamed rig")));
    QVERIFY(!store()->hasDeviceOption(QStringLiteral("Renamed rig"), "logfile"));
}

VT_TEST_MAIN(TstTerminalLogFile)
#include "tst_terminallogfile.moc"
