// A terminal's log file on real files and ptys.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/logfile.h"
#include "data/logline.h"
#include "data/logpath.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "scratchmount.h"
#include "testapp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <numeric>

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

// A terminal of the device `name` on a pty as COM7, opened as the Open button does.
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
        return peer.write(bytes) && QTest::qWaitFor([rows] {
            mainWindow()->flushHistory();
            return tableModel("historyTable")->rowCount() > rows;
        });
    }
    void sendAndClear(const QString &hex)
    {
        child<QLineEdit>("hexEdit")->setText(hex);
        for (const char *button : { "sendBtn", "clearBtn" })
            child<QPushButton>(button)->click();
    }
};

} // namespace

class TstTerminalLogFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { mainWidget<QPushButton>("clearHistoryBtn")->click(); }
    void rawHoldsTheReceivedBytesAloneAsTheDeviceChose();
    void linesParseBackToTheHistoryWithMarkers();
    void dailyFileStartsAtMidnightAndAppends();
    void failuresAreToldOnceAndTheTerminalGoesOn_data();
    void failuresAreToldOnceAndTheTerminalGoesOn();

private:
    QTemporaryDir dir;
    MessageBoxCatcher catcher;
};

void TstTerminalLogFile::rawHoldsTheReceivedBytesAloneAsTheDeviceChose()
{
    const QString name = QStringLiteral("Raw rig");
    QVERIFY(store()->addDevice(name, QStringLiteral("COM7"), 9600, 0, 8, 0, 0));
    const QString path = dir.filePath(QStringLiteral("COM7.bin"));
    QByteArray stream(4096, 0);
    std::iota(stream.begin(), stream.end(), char(0));
    {
        Terminal t(name);
        QVERIFY(t.dialog);
        t.child<QLineEdit>("logFileEdit")->setText(dir.filePath(QStringLiteral("%port%.bin")));
        t.child<QComboBox>("logFormatCombo")->setCurrentIndex(1); // Raw
        t.child<QCheckBox>("logFileCheck")->click();
        QVERIFY(t.receive(stream.left(1000)));
        t.sendAndClear(QStringLiteral("41 42"));
        QVERIFY(t.receive(stream.mid(1000, 1000)));
        // Within a frame or two, while the terminal is open.
        QTRY_COMPARE_WITH_TIMEOUT(contents(path), stream.left(2000), 5000);
    }
    // The stored choice is taken as the terminal opens again, before any byte is read.
    {
        Terminal t(name);
        QVERIFY(t.dialog && t.child<QCheckBox>("logFileCheck")->isChecked());
        QVERIFY(t.receive(stream.mid(2000)));
    }
    QCOMPARE(contents(path), stream);
    // The choice follows a rename and goes with a delete.
    QVERIFY(store()->changeDeviceName(name, QStringLiteral("Renamed rig")));
    QVERIFY(!store()->hasDeviceOption(name, "logfile"));
    QCOMPARE(store()->deviceOption(QStringLiteral("Renamed rig"), "logformat").toString(), "Raw");
    QVERIFY(store()->removeDevice(QStringLiteral("Renamed rig")));
    QVERIFY(!store()->hasDeviceOption(QStringLiteral("Renamed rig"), "logpath"));
    QCOMPARE(catcher.count(), 0);
}

void TstTerminalLogFile::linesParseBackToTheHistoryWithMarkers()
{
    // A terminal without a choice of its own follows the main window's folder.
    store()->setAppOption(QStringLiteral("logfolder"), dir.path());
    store()->setAppOption(QStringLiteral("logfolderon"), true);
    const QString path = dir.filePath(
        QStringLiteral("COM7-%1.log").arg(QDate::currentDate().toString(Qt::ISODate)));
    {
        Terminal t { QString() };
        QVERIFY(t.dialog);
        QVERIFY(t.receive("boot\r\n\x01\\"));
        t.sendAndClear(QStringLiteral("41 2D 42"));
        QVERIFY(t.receive("after clear"));
    }
    store()->setAppOption(QStringLiteral("logfolderon"), false);

    QList<QByteArray> lines = contents(path).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    auto *history = tableModel("historyTable");
    QList<QByteArray> expected;
    for (int row = 0; row < history->rowCount(); ++row)
        expected << logLine(*static_cast<AppHistoryData *>(history->getData(row)));
    QCOMPARE(lines.size(), 6);
    // Markers are Event rows with their word in the ASCII field, in the same ten fields.
    const QList<QPair<int, QByteArray>> markers { { 0, "Opened" }, { 3, "Cleared" },
        { 5, "Closed" } };
    for (const auto &marker : markers) {
        QCOMPARE(lines.at(marker.first).split('-').mid(1, 4),
            QList<QByteArray>({ "Event", "", marker.second, "COM7" }));
        expected.insert(marker.first, lines.at(marker.first));
    }
    QCOMPARE(lines, expected);
}

void TstTerminalLogFile::dailyFileStartsAtMidnightAndAppends()
{
    const QDateTime evening(QDate(2026, 3, 1), QTime(23, 59, 59, 900));
    QCOMPARE(expandLogPath("/l/%port%-%date%-%time%.log", "/dev/ttyUSB0", evening),
        QStringLiteral("/l/dev_ttyUSB0-2026-03-01-235959.log"));
    QFile kept(dir.filePath(QStringLiteral("COM7-2026-03-01.log")));
    QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept\n") == 5);
    kept.close();
    qint64 now = evening.toMSecsSinceEpoch();
    LogFile log(LogFile::Format::Lines);
    log.setClock([&now] { return now; });
    QVERIFY(log.openPattern(dir.filePath(QStringLiteral("%port%-%date%.log")), "COM7"));
    log.appendLine("before midnight");
    now += 200;
    log.appendLine("after midnight");
    QVERIFY(log.flush());
    QCOMPARE(contents(dir.filePath(QStringLiteral("COM7-2026-03-01.log"))),
        QByteArray("kept\nbefore midnight\n"));
    QCOMPARE(contents(dir.filePath(QStringLiteral("COM7-2026-03-02.log"))),
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
    const QString folder = dir.filePath(QStringLiteral("disk-") + kind);
    const QString path = folder + QStringLiteral("/run.log");
    QScopedPointer<ScratchMount> disk(kind == "full" ? new ScratchMount(folder, "64k") : nullptr);
    QScopedPointer<ReadOnlyFolder> locked(
        kind == "readonly" ? new ReadOnlyFolder(folder) : nullptr);
    if (const char *skip = disk && !disk->isMounted() ? disk->skipReason()
            : locked                                  ? locked->skipReason()
                                                      : nullptr)
        QSKIP(skip);
    QVERIFY(disk ? !disk->fill().isEmpty() : locked ? locked->lock() : QDir().mkpath(path));
    catcher.clear();
    Terminal t { QString() };
    QVERIFY(t.dialog);
    t.child<QLineEdit>("logFileEdit")->setText(path);
    t.child<QCheckBox>("logFileCheck")->click();
    QVERIFY(t.receive("first"));
    QTRY_COMPARE_WITH_TIMEOUT(catcher.count(), 1, 10000);
    QVERIFY(catcher.texts().first().startsWith(
        QStringLiteral("Could not write the log file %1: ").arg(path)));
    QVERIFY(!t.child<QCheckBox>("logFileCheck")->isChecked());
    // The terminal goes on, and the fault is not told again.
    QVERIFY(t.receive("second") && t.receive("third"));
    QCOMPARE(catcher.count(), 1);
}

VT_TEST_MAIN(TstTerminalLogFile)
#include "tst_terminallogfile.moc"
