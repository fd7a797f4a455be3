// Opening devices as the operator sees it: what a failed open says, a second open of an open
// port, and terminals that can be told apart by their titles and places.
#include "appwindows.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "messageboxcatcher.h"
#include "models/appabstracttablemodel.h"
#include "ptypeer.h"
#include "serial/appdevicemanager.h"
#include "serial/portlist.h"
#include "serial/portpath.h"
#include "testapp.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include <cerrno>

using namespace AppWindows;

namespace {

enum DeviceColumn { OpenColumn = 8 };

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

AppAbstractTableModel *devices()
{
    return tableModel("deviceTable");
}

void addDevice(const QString &name, const QString &port)
{
    devices()->addData(new AppDeviceData(name, port, 9600, 8, 0, 0, 0));
    app()->settingsManager()->addDevice(name, port, 9600, 0, 8, 0, 0);
}

QPushButton *openButton(int row)
{
    auto *view = mainWidget<QTableView>("deviceTable");
    QWidget *cell = view->indexWidget(view->model()->index(row, OpenColumn));
    return cell ? cell->findChild<QPushButton *>() : nullptr;
}

QString linkHint(const QString &com, const QString &example, QString folder = QString())
{
    if (folder.isEmpty())
        folder = portMappingFolder();
    return QStringLiteral("\n\nOn Linux a COM name opens the device it is linked to in %1:\n\n"
                          "    mkdir -p %1\n    ln -s %2 %1/%3\n\n"
                          "Or pick the port itself from the list.")
        .arg(folder, example, com);
}

} // namespace

class TstTerminalWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failedOpenSaysWhichPortAndWhatToDo_data();
    void failedOpenSaysWhichPortAndWhatToDo();
    void openingAnOpenPortBringsItsTerminalForward();
    void titlesNameTheDeviceAndThePort_data();
    void titlesNameTheDeviceAndThePort();
    void newTerminalsCascadeFromTheLast();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
    QList<FoundPort> found;
};

void TstTerminalWindows::initTestCase()
{
    QVERIFY(QTest::qWaitForWindowExposed(mainWindow()));
    setFoundPortsSource([this] { return found; });
}

void TstTerminalWindows::init()
{
    found.clear();
    while (devices()->rowCount() > 0)
        devices()->removeData(0);
    QDir(portMappingFolder()).removeRecursively();
    catcher.reset(new MessageBoxCatcher);
}

void TstTerminalWindows::cleanup()
{
    for (AppDeviceDialog *terminal : terminals())
        terminal->close();
    for (const char *port : { "COM5", "COM6", "COM7", "COM8" })
        QVERIFY(app()->deviceManager()->isPortFree(port));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    catcher.reset();
}

void TstTerminalWindows::failedOpenSaysWhichPortAndWhatToDo_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("foundNames");
    QTest::addColumn<QString>("dangling"); // a mapping entry to a device that is not there
    QTest::addColumn<QByteArray>("home"); // HOME for this case, when set
    QTest::addColumn<QByteArray>("dataHome"); // XDG_DATA_HOME for this case, when set
    QTest::addColumn<QString>("expected");
    const QString missing = qt_error_string(ENOENT);
    const QString notFound = "Could not open COM7 (/dev/COM7): " + missing + ".";
    const QString dataFolder = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    const QString appFolder = QCoreApplication::applicationName();
    const QByteArray unchanged;

    QTest::newRow("COM name, adapters found")
        << "COM7" << QStringList({ "ttyUSB1", "ttyACM0" }) << QString() << unchanged << unchanged
        << notFound + linkHint("COM7", "/dev/ttyACM0") + " Ports found: ttyACM0, ttyUSB1.";
    QTest::newRow("COM name, nothing found")
        << "COM7" << QStringList() << QString() << unchanged << unchanged
        << notFound + linkHint("COM7", "/dev/ttyUSB0") + " No serial ports were found.";
    QTest::newRow("a system name")
        << "ttyUSB9" << QStringList({ "ttyUSB0" }) << QString() << unchanged << unchanged
        << "Could not open ttyUSB9 (/dev/ttyUSB9): " + missing + ".";
    QTest::newRow("a link to an unplugged adapter")
        << "COM3" << QStringList() << "/dev/ttyUSB9" << unchanged << unchanged
        << "Could not open COM3 (" + portMappingFolder() + "/COM3 \u2192 /dev/ttyUSB9): " + missing
            + ".";
    // The commands can be pasted into a shell as they are.
    QTest::newRow("data folder in the home folder")
        << "COM7" << QStringList() << QString() << QFile::encodeName(QFileInfo(dataFolder).path())
        << unchanged
        << notFound
            + linkHint("COM7", "/dev/ttyUSB0",
                "~/" + QFileInfo(dataFolder).fileName() + "/" + appFolder + "/ports")
            + " No serial ports were found.";
    QTest::newRow("data folder with a space") << "COM7" << QStringList() << QString() << unchanged
                                              << QFile::encodeName(dataFolder + "/My data")
                                              << notFound
            + linkHint(
                "COM7", "/dev/ttyUSB0", "'" + dataFolder + "/My data/" + appFolder + "/ports'")
            + " No serial ports were found.";
}

void TstTerminalWindows::failedOpenSaysWhichPortAndWhatToDo()
{
    QFETCH(QString, port);
    QFETCH(QStringList, foundNames);
    QFETCH(QString, dangling);
    QFETCH(QByteArray, home);
    QFETCH(QByteArray, dataHome);
    QFETCH(QString, expected);
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    if (!home.isEmpty())
        qputenv("HOME", home);
    if (!dataHome.isEmpty())
        qputenv("XDG_DATA_HOME", dataHome);
    for (const QString &name : foundNames)
        found << FoundPort { name, "/dev/" + name, QString(), QString(), QString() };
    if (!dangling.isEmpty()) {
        QVERIFY(QDir().mkpath(portMappingFolder()));
        QVERIFY(QFile::link(dangling, portMappingFolder() + "/" + port));
    }

    AppDeviceData record("Missing", port, 9600, 8, 0, 0, 0);
    app()->openDevice(&record);
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldDataHome);
    QCOMPARE(catcher->texts(), QStringList({ expected }));
    QVERIFY(terminals().isEmpty());
    QVERIFY(app()->deviceManager()->isPortFree(port));
}

void TstTerminalWindows::openingAnOpenPortBringsItsTerminalForward()
{
    PtyPeer peerA, peerB;
    QVERIFY(peerA.mapTo("COM5"));
    QVERIFY(peerB.mapTo("COM6"));
    addDevice("A", "COM5");
    addDevice("B", "COM6");

    QTest::mouseClick(openButton(0), Qt::LeftButton);
    QTest::mouseClick(openButton(1), Qt::LeftButton);
    QCOMPARE(terminals().size(), 2);
    AppDeviceDialog *a = terminals().at(0);
    AppDeviceDialog *b = terminals().at(1);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), b, 10000);

    // A row's Open.
    QTest::mouseClick(openButton(0), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), a, 10000);

    // The entry form's Open, also from under another name and on a minimized terminal.
    b->showMinimized();
    mainWidget<QLineEdit>("deviceNameEdit")->setText("Other name");
    mainWidget<QComboBox>("portCombo")->setCurrentText("COM6");
    QTest::mouseClick(mainWidget<QPushButton>("deviceOpenBtn"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), b, 10000);
    QVERIFY(!b->isMinimized());

    QCOMPARE(catcher->count(), 0);
    QCOMPARE(terminals(), QList<AppDeviceDialog *>({ a, b }));
    mainWidget<QComboBox>("portCombo")->setCurrentText("COM1");
}

void TstTerminalWindows::titlesNameTheDeviceAndThePort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("named") << "Demo echo"
                           << "Demo echo \u2014 COM5";
    QTest::newRow("unnamed") << ""
                             << "COM5";
}

void TstTerminalWindows::titlesNameTheDeviceAndThePort()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    AppDeviceData record(name, "COM5", 9600, 8, 0, 0, 0);
    app()->openDevice(&record);
    QCOMPARE(terminals().size(), 1);
    QCOMPARE(terminals().first()->windowTitle(), title);
}

void TstTerminalWindows::newTerminalsCascadeFromTheLast()
{
    PtyPeer peers[4];
    const QStringList ports { "COM5", "COM6", "COM7", "COM8" };
    for (int i = 0; i < 4; ++i)
        QVERIFY(peers[i].mapTo(ports.at(i)));
    const auto open = [&](int i) {
        AppDeviceData record(QStringLiteral("T%1").arg(i), ports.at(i), 9600, 8, 0, 0, 0);
        app()->openDevice(&record);
        return terminals().last();
    };

    // The offscreen screen is small: start in its corner so that the steps fit.
    AppDeviceDialog *first = open(0);
    const QRect area = first->screen()->availableGeometry();
    first->move(area.topLeft());
    AppDeviceDialog *second = open(1);
    AppDeviceDialog *third = open(2);
    for (const auto &pair : { qMakePair(first, second), qMakePair(second, third) }) {
        const QPoint step = pair.second->pos() - pair.first->pos();
        // A second step may not fit a wide terminal on this small screen: then the corner.
        const bool corner = pair.first == second && third->pos() == area.topLeft()
            && second->x() + 24 + third->width() > area.right() + 1;
        QVERIFY2((step.x() >= 20 && step.y() >= 20 && step.x() == step.y()) || corner,
            qPrintable(QStringLiteral("%1,%2").arg(step.x()).arg(step.y())));
    }

    // After the last one closes, the next opens where it was: below the one now on top.
    const QPoint thirdPlace = third->pos();
    third->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    third = open(2);
    QCOMPARE(third->pos(), thirdPlace);

    // Near the screen's edge the next one starts again at the top left, not off the screen.
    third->move(area.right() - third->width() / 2, area.bottom() - third->height() / 2);
    AppDeviceDialog *fourth = open(3);
    QCOMPARE(fourth->pos(), area.topLeft());
    QCOMPARE(terminals().size(), 4);
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstTerminalWindows)
#include "tst_terminalwindows.moc"
