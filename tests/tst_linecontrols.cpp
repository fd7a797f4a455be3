// The line itself: control lines through the seam, events in every record, a terminal that waits
// for its lost line, and a bound adapter found wherever it is.
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevicemanager.h"
#include "serial/modemlines.h"
#include "serial/portlist.h"
#include "serial/portpath.h"

#include "appwindows.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "testapp.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include <ctime>

using namespace AppWindows;

namespace {

// What a real adapter does and a pty cannot.
class FakeLines : public ModemLines
{
public:
    int bits = Dtr | Rts;
    Counts errorCounts;
    QStringList calls;

    std::optional<int> lines(QSerialPort *) override { return bits; }
    bool setLine(QSerialPort *, Line line, bool on) override
    {
        calls << QString::fromLatin1(line == Dtr ? "DTR " : "RTS ") + (on ? "on" : "off");
        bits = on ? bits | line : bits & ~line;
        return true;
    }
    bool setBreak(QSerialPort *, bool on) override
    {
        calls << (on ? "break on" : "break off");
        return true;
    }
    std::optional<Counts> counts(QSerialPort *) override { return errorCounts; }
};

AppSettingsManager *store()
{
    return VerantisTerminalApp::app()->settingsManager();
}

AppDeviceDialog *openTerminal(const QString &name, const QString &port)
{
    AppDeviceData record(name, port, 9600, 8, 0, 0, 0);
    const TerminalSnapshot before = snapshot();
    VerantisTerminalApp::app()->openDevice(&record);
    return newTerminal(before);
}

QStringList events(const AppDeviceDialog *dialog)
{
    QStringList found;
    const QStringList lines = widget<QTextEdit>(dialog, "logText")->toPlainText().split('\n');
    for (const QString &line : lines) {
        if (line.startsWith("Event:"))
            found << line.mid(6);
    }
    return found;
}

qint64 cpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

class TstLineControls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ptyDisablesTheControlsWithoutAWord();
    void linesThroughTheSeamAreEventsEverywhere();
    void lostLineComesBackUnderItsName();
    void closeWhileWaitingReleasesEverything();
    void boundAdapterIsFoundWhereverItIs();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
    QScopedPointer<PtyPeer> peer;
    FakeLines fake;
};

void TstLineControls::init()
{
    catcher.reset(new MessageBoxCatcher);
    peer.reset(new PtyPeer("COM5"));
    QVERIFY(peer->isValid());
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    fake.calls.clear();
}

void TstLineControls::cleanup()
{
    ModemLines::substitute(nullptr);
    setFoundPortsSource(nullptr);
    for (AppDeviceDialog *dialog : terminals())
        dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow()->findChildren<AppDeviceDialog *>().isEmpty(), 10000);
    QVERIFY(VerantisTerminalApp::app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(store()->setDeviceOptions("Rig",
        { { "dtr", {} }, { "reconnect", {} }, { "bindadapter", {} }, { "adapterserial", {} } }));
    peer.reset();
    catcher.reset();
}

void TstLineControls::ptyDisablesTheControlsWithoutAWord()
{
    // A stored DTR the pty cannot take is let go quietly too.
    QVERIFY(store()->setDeviceOption("Rig", "dtr", true));
    AppDeviceDialog *dialog = openTerminal("Rig", "COM5");
    QVERIFY(dialog);
    for (const char *name : { "dtrCheck", "rtsCheck", "breakBtn", "ctsLabel", "riLabel" }) {
        QWidget *control = widget<QWidget>(dialog, name);
        QVERIFY2(!control->isEnabled() && control->toolTip().contains("cannot"), name);
    }
    QVERIFY(!widget<QLabel>(dialog, "lineErrorsLabel")->isVisibleTo(dialog));
    QVERIFY(!widget<QCheckBox>(dialog, "bindAdapterCheck")->isEnabled());
    widget<QLineEdit>(dialog, "hexEdit")->setText("41");
    QTest::mouseClick(widget<QPushButton>(dialog, "sendBtn"), Qt::LeftButton);
    QCOMPARE(peer->read(1), QByteArray("A"));
    QCOMPARE(catcher->count(), 0);
}

void TstLineControls::linesThroughTheSeamAreEventsEverywhere()
{
    ModemLines::substitute(&fake);
    QVERIFY(store()->setDeviceOption("Rig", "dtr", false));
    AppDeviceData record("Rig", "COM5", 9600, 8, 0, 0, 0);
    const TerminalSnapshot before = snapshot();
    VerantisTerminalApp::app()->openDevice(&record);
    // Set in the open's own turn, before the event loop could read a byte.
    QCOMPARE(fake.calls, QStringList({ "DTR off" }));
    AppDeviceDialog *dialog = newTerminal(before);
    QVERIFY(dialog);
    auto *dtr = widget<QCheckBox>(dialog, "dtrCheck");
    QVERIFY(dtr->isEnabled() && !dtr->isChecked());
    QVERIFY(widget<QLabel>(dialog, "lineErrorsLabel")->isVisibleTo(dialog));

    QTest::mouseClick(dtr, Qt::LeftButton);
    QCOMPARE(store()->deviceOption("Rig", "dtr").toBool(), true);
    QTest::mouseClick(widget<QPushButton>(dialog, "breakBtn"), Qt::LeftButton);
    fake.bits |= ModemLines::Cts;
    fake.errorCounts.frame = 3;
    const QStringList expected { "DTR on", "Break 250 ms", "CTS on", "Framing errors 3" };
    QTRY_COMPARE(events(dialog), expected);
    QTRY_COMPARE(fake.calls, QStringList({ "DTR off", "DTR on", "break on", "break off" }));
    QCOMPARE(widget<QLabel>(dialog, "ctsLabel")->toolTip(), QString("CTS on"));

    QTemporaryDir chosen;
    FolderDialogDriver driver;
    driver.chooseFolder(chosen.path());
    mainWidget<QPushButton>("saveHistoryBtn")->click();
    QFile saved(chosen.filePath("app.log"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    for (const QString &event : expected)
        QVERIFY2(text.contains("-Event--" + event + "-COM5-9600-8-"), qPrintable(event));
    QCOMPARE(catcher->count(), 0);
}

void TstLineControls::lostLineComesBackUnderItsName()
{
    QVERIFY(store()->setDeviceOption("Rig", "reconnect", true));
    AppDeviceDialog *dialog = openTerminal("Rig", "COM5");
    QVERIFY(dialog && widget<QCheckBox>(dialog, "reconnectCheck")->isChecked());
    auto *waiting = widget<QLabel>(dialog, "lineWaitLabel");
    peer->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(waiting->text().endsWith("waiting for it to come back"), 10000);
    QVERIFY(waiting->text().startsWith("COM5 (" + peer->slavePath().mid(5) + ", Rig) lost at "));
    QVERIFY(!widget<QPushButton>(dialog, "sendBtn")->isEnabled());
    QVERIFY(dialog->minimumSizeHint().width() <= 1260);

    // A plain file under the name is no line; waiting on it costs next to nothing.
    QTemporaryFile notALine;
    QVERIFY(notALine.open());
    QFile::remove(portMappingFolder() + "/COM5");
    QVERIFY(QFile::link(notALine.fileName(), portMappingFolder() + "/COM5"));
    const qint64 cpuBefore = cpuMs();
    QTest::qWait(2000);
    const qint64 cpuSpent = cpuMs() - cpuBefore;
    qInfo("CPU while waiting 2 s: %lld ms", cpuSpent);
    QVERIFY(cpuSpent < 100);
    QVERIFY(dialog->isVisible() && !waiting->text().isEmpty());

    PtyPeer back("COM5");
    QElapsedTimer sinceBack;
    sinceBack.start();
    QTRY_VERIFY_WITH_TIMEOUT(waiting->text().isEmpty(), 5000);
    qInfo("Reopened %lld ms after the line came back", sinceBack.elapsed());
    QCOMPARE(events(dialog), QStringList({ "Lost", "Reconnected" }));
    widget<QLineEdit>(dialog, "hexEdit")->setText("42");
    QTest::mouseClick(widget<QPushButton>(dialog, "sendBtn"), Qt::LeftButton);
    QCOMPARE(back.read(1), QByteArray("B"));
    QCOMPARE(catcher->count(), 0);
    dialog->close();
}

void TstLineControls::closeWhileWaitingReleasesEverything()
{
    QVERIFY(store()->setDeviceOption("Rig", "reconnect", true));
    QPointer<AppDeviceDialog> dialog = openTerminal("Rig", "COM5");
    QVERIFY(dialog);
    peer->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!widget<QLabel>(dialog, "lineWaitLabel")->text().isEmpty(), 10000);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QTRY_VERIFY(!dialog);
    QVERIFY(VerantisTerminalApp::app()->deviceManager()->isPortFree("COM5"));
    // Nothing is left watching: the port's return opens nothing.
    PtyPeer back("COM5");
    AppDeviceDialog *again = openTerminal("Rig", "COM5");
    QVERIFY(again);
    QCOMPARE(catcher->count(), 0);
}

void TstLineControls::boundAdapterIsFoundWhereverItIs()
{
    PtyPeer other;
    setFoundPortsSource([&] {
        return QList<FoundPort> { { "ttyUSB7", peer->slavePath(), {}, {}, "A1", 0x0403, 0x6001 },
            { "ttyUSB8", other.slavePath(), "Other", {}, "B2", 0x1a86, 0x7523 } };
    });
    QVERIFY(other.mapTo("COM6"));
    AppDeviceDialog *dialog = openTerminal("Rig", "COM5");
    QVERIFY(dialog);
    QTest::mouseClick(widget<QCheckBox>(dialog, "bindAdapterCheck"), Qt::LeftButton);
    QCOMPARE(store()->deviceOption("Rig", "adapterserial").toString(), QString("A1"));
    dialog->close();

    // Saved on COM6 now, where another adapter sits, it still opens on its own adapter.
    dialog = openTerminal("Rig", "COM6");
    QVERIFY(dialog);
    widget<QLineEdit>(dialog, "hexEdit")->setText("43");
    QTest::mouseClick(widget<QPushButton>(dialog, "sendBtn"), Qt::LeftButton);
    QCOMPARE(peer->read(1), QByteArray("C"));
    dialog->close();
    QTRY_VERIFY(VerantisTerminalApp::app()->deviceManager()->isPortFree("COM6"));

    // Gone, with another adapter at the saved name: the message names both.
    setFoundPortsSource([&] {
        return QList<FoundPort> { { "ttyUSB8", other.slavePath(), {}, {}, "B2", 0x1a86, 0x7523 } };
    });
    QVERIFY(!openTerminal("Rig", "COM6"));
    QCOMPARE(catcher->count(), 1);
    QVERIFY(catcher->texts().first().contains("0403:6001 serial A1"));
    QVERIFY(catcher->texts().first().contains("1a86:7523 serial B2"));
}

VT_TEST_MAIN(TstLineControls)
#include "tst_linecontrols.moc"
