// Every way a terminal dialog ends, against real pty peers: its device is released exactly once,
// the port is free afterwards, and the other windows carry on. Also the whole program ending
// with terminals open.
#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "testapp.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QWindow>

#include <cerrno>

using namespace AppWindows;

namespace {

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

QString log(const AppDeviceDialog *dialog)
{
    return widget<QTextEdit>(dialog, "logText")->toPlainText();
}

void send(const AppDeviceDialog *dialog, const QString &hex)
{
    widget<QLineEdit>(dialog, "hexEdit")->setText(hex);
    QTest::mouseClick(widget<QPushButton>(dialog, "sendBtn"), Qt::LeftButton);
}

// Counts the close events a widget receives; outlives the widget.
class CloseCounter : public QObject
{
public:
    explicit CloseCounter(QWidget *watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

// Opens a device on the application's open path, but keeps hold of the device for watching.
struct Opened
{
    AppDevice *device = nullptr;
    AppDeviceDialog *dialog = nullptr;
};

Opened openWatched(const QString &port)
{
    AppDeviceData record(QStringLiteral("Watched"), port, 9600, 8, 0, 0, 0);
    Opened opened;
    opened.device = app()->deviceManager()->openDevice(&record);
    if (!opened.device)
        return opened;
    opened.dialog = new AppDeviceDialog(mainWindow(), opened.device);
    opened.dialog->show();
    return opened;
}

AppDeviceDialog *openTerminal(const QString &port)
{
    AppDeviceData record(QStringLiteral("Terminal"), port, 9600, 8, 0, 0, 0);
    const TerminalSnapshot before = snapshot();
    app()->openDevice(&record);
    return newTerminal(before);
}

} // namespace

class TstTerminalClose : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyWayOfClosingReleasesTheDeviceOnce_data();
    void everyWayOfClosingReleasesTheDeviceOnce();
    void lateDisconnectionsLeaveTheNextDeviceOnThePortAlone();
    void twoTerminalsWorkIndependently();
    void peerHangUpLeavesTheOtherWindowsWorking();
    void closingTheMainWindowWithTerminalsOpenExitsWithZero();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstTerminalClose::init()
{
    catcher.reset(new MessageBoxCatcher);
    // The button, so rows still waiting for their frame go as well.
    mainWidget<QPushButton>("clearHistoryBtn")->click();
}

void TstTerminalClose::cleanup()
{
    for (AppDeviceDialog *dialog : terminals())
        dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow()->findChildren<AppDeviceDialog *>().isEmpty(), 10000);
    // Whatever a failed test left registered is released, so the next test starts clean.
    QStringList held;
    for (const char *port : { "COM5", "COM6" }) {
        if (!app()->deviceManager()->isPortFree(port))
            held << port;
        app()->deviceManager()->closeDevice(port);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    catcher.reset();
    QCOMPARE(held, QStringList());
}

void TstTerminalClose::everyWayOfClosingReleasesTheDeviceOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("Close button") << "button" << QStringList();
    QTest::newRow("window's close button") << "window" << QStringList();
    QTest::newRow("Escape") << "escape" << QStringList();
    // The lost line's message, which names the peer, is filled in by the test.
    QTest::newRow("peer hangs up") << "hangup" << QStringList({ "lost" });
}

void TstTerminalClose::everyWayOfClosingReleasesTheDeviceOnce()
{
    QFETCH(QString, how);
    QFETCH(QStringList, messages);
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    messages.replaceInStrings(QRegularExpression("^lost$"), peer.lostLineText("COM5", "Watched"));
    const Opened opened = openWatched("COM5");
    QVERIFY(opened.dialog);
    QPointer<AppDeviceDialog> dialog = opened.dialog;
    QSignalSpy destroyed(opened.device, &QObject::destroyed);
    CloseCounter closes(dialog);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog, 10000));

    if (how == "button") {
        QTest::mouseClick(widget<QPushButton>(dialog, "closeBtn"), Qt::LeftButton);
    } else if (how == "window") {
        QVERIFY(dialog->windowHandle()->close());
    } else if (how == "escape") {
        auto *hex = widget<QLineEdit>(dialog, "hexEdit");
        hex->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hex), 10000);
        QTest::keyClick(hex, Qt::Key_Escape);
    } else {
        peer.hangUp();
    }

    // One close, one release: the device goes, the dialog goes, the port is free.
    QTRY_COMPARE_WITH_TIMEOUT(destroyed.count(), 1, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 10000);
    QCOMPARE(closes.count, 1);
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    QCOMPARE(catcher->texts(), messages);
    QCOMPARE(catcher->deepestStack(), messages.size());
    QVERIFY(mainWindow()->isVisible());

    // Nobody holds the line any more: it opens again at once.
    PtyPeer next("COM5");
    QVERIFY(next.isValid());
    AppDeviceDialog *again = openTerminal("COM5");
    QVERIFY(again);
    QVERIFY(next.write("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(log(again), QStringLiteral("Received:6F6B-------ok"), 10000);
    QCOMPARE(catcher->texts(), messages);
}

void TstTerminalClose::lateDisconnectionsLeaveTheNextDeviceOnThePortAlone()
{
    PtyPeer peer("COM5");
    QVERIFY(peer.isValid());
    const Opened first = openWatched("COM5");
    QVERIFY(first.dialog);
    QPointer<AppDevice> firstDevice = first.device;
    CloseCounter closes(first.dialog);

    // Closed, and the port opened again before the event loop has torn the first one down.
    QTest::mouseClick(widget<QPushButton>(first.dialog, "closeBtn"), Qt::LeftButton);
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(firstDevice);
    AppDeviceDialog *second = openTerminal("COM5");
    QVERIFY(second);

    // The first device announces its end again as it is destroyed; that must reach nobody.
    emit first.device->onDeviceDisconnected();
    QTRY_VERIFY_WITH_TIMEOUT(firstDevice.isNull(), 10000);
    QCOMPARE(closes.count, 1);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(second->isVisible());
    QVERIFY(peer.write("still"));
    QTRY_COMPARE_WITH_TIMEOUT(
        log(second), QStringLiteral("Received:7374696C6C-------still"), 10000);
    send(second, "21");
    QCOMPARE(peer.read(1), QByteArray("!"));
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalClose::twoTerminalsWorkIndependently()
{
    PtyPeer peerA, peerB;
    QVERIFY(peerA.mapTo("COM5"));
    QVERIFY(peerB.mapTo("COM6"));
    AppDeviceDialog *a = openTerminal("COM5");
    AppDeviceDialog *b = openTerminal("COM6");
    QVERIFY(a);
    QVERIFY(b);
    QVERIFY(a != b);

    send(a, "41");
    send(b, "42");
    QCOMPARE(peerA.read(1), QByteArray("A"));
    QCOMPARE(peerB.read(1), QByteArray("B"));
    QCOMPARE(peerA.readAvailable(), QByteArray());
    QVERIFY(peerB.write("b"));
    QTRY_COMPARE_WITH_TIMEOUT(
        log(b), QStringLiteral("Sent:42-------B\nReceived:62-------b"), 10000);
    QCOMPARE(log(a), QStringLiteral("Sent:41-------A"));

    AppAbstractTableModel *history = tableModel("historyTable");
    QCOMPARE(history->rowCount(), 3);
    QStringList rows;
    for (int row = 0; row < history->rowCount(); ++row) {
        auto *record = static_cast<AppHistoryData *>(history->getData(row));
        rows << record->direction() + ' ' + record->portName();
    }
    QCOMPARE(rows, QStringList({ "Sent COM5", "Sent COM6", "Received COM6" }));

    // Closing one leaves the other as it was.
    QPointer<AppDeviceDialog> closed = a;
    QTest::mouseClick(widget<QPushButton>(a, "closeBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(closed.isNull(), 10000);
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
    send(b, "43");
    QCOMPARE(peerB.read(1), QByteArray("C"));
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalClose::peerHangUpLeavesTheOtherWindowsWorking()
{
    QScopedPointer<PtyPeer> peerA(new PtyPeer);
    PtyPeer peerB;
    QVERIFY(peerA->mapTo("COM5"));
    QVERIFY(peerB.mapTo("COM6"));
    QPointer<AppDeviceDialog> a = openTerminal("COM5");
    AppDeviceDialog *b = openTerminal("COM6");
    QVERIFY(a);
    QVERIFY(b);

    peerA->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(a.isNull(), 10000);
    QCOMPARE(catcher->texts(), QStringList({ peerA->lostLineText("COM5", "Terminal") }));
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));

    // The other terminal still talks, and logged nothing about the other line.
    QVERIFY(peerB.write("up"));
    QTRY_COMPARE_WITH_TIMEOUT(log(b), QStringLiteral("Received:7570-------up"), 10000);
    send(b, "44");
    QCOMPARE(peerB.read(1), QByteArray("D"));

    // And the main window opens the port again once its device is back.
    peerA.reset(new PtyPeer);
    QVERIFY(peerA->mapTo("COM5"));
    mainWidget<QComboBox>("portCombo")->setCurrentText("COM5");
    const TerminalSnapshot before = snapshot();
    QTest::mouseClick(mainWidget<QPushButton>("deviceOpenBtn"), Qt::LeftButton);
    AppDeviceDialog *reopened = newTerminal(before);
    QVERIFY(reopened);
    send(reopened, "45");
    QCOMPARE(peerA->read(1), QByteArray("E"));
    QCOMPARE(catcher->count(), 1);
    QCOMPARE(catcher->deepestStack(), 1);
}

void TstTerminalClose::closingTheMainWindowWithTerminalsOpenExitsWithZero()
{
    QTemporaryDir dataHome;
    QVERIFY(dataHome.isValid());
    const QString ports = dataHome.path() + QStringLiteral("/VerantisTerminal/ports");
    QVERIFY(QDir().mkpath(ports));
    PtyPeer peerA, peerB;
    QVERIFY(QFile::link(peerA.slavePath(), ports + QStringLiteral("/COM5")));
    QVERIFY(QFile::link(peerB.slavePath(), ports + QStringLiteral("/COM6")));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dataHome.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(VT_SHUTDOWN_PROBE, { "COM5", "COM6" });
    QVERIFY(program.waitForStarted(10000));

    // Both terminals are up and live: each sent its byte to its own device.
    QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine() || program.state() != QProcess::Running, 30000);
    QCOMPARE(program.readLine().trimmed(), QByteArray("terminals 2"));
    QCOMPARE(peerA.read(1), QByteArray("A"));
    QCOMPARE(peerB.read(1), QByteArray("B"));

    // A block from a device makes the probe close its main window with both terminals open.
    QVERIFY(peerA.write("bye"));
    QVERIFY2(program.waitForFinished(30000), "the program did not end when its main window closed");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

VT_TEST_MAIN(TstTerminalClose)
#include "tst_terminalclose.moc"
