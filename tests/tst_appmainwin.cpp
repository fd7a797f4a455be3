// The main window's actions on the application's own window: saving devices and commands from
// the entry forms, keeping HEX and ASCII in step, opening devices on real pty peers, and the
// history buttons. Everything ends up in real INI files in the test's data folder.
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "diskini.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "models/appabstracttablemodel.h"
#include "ptypeer.h"
#include "serial/appdevicemanager.h"
#include "testapp.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedPointer>
#include <QSettings>
#include <QStringListModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cerrno>

namespace {

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

AppMainWin *window()
{
    return app()->mainWin();
}

template<typename T> T *child(const char *name)
{
    return window()->findChild<T *>(QLatin1String(name));
}

AppAbstractTableModel *modelOf(const char *table)
{
    return qobject_cast<AppAbstractTableModel *>(child<QTableView>(table)->model());
}

AppAbstractTableModel *devices()
{
    return modelOf("deviceTable");
}

AppAbstractTableModel *commands()
{
    return modelOf("commandTable");
}

AppAbstractTableModel *history()
{
    return modelOf("historyTable");
}

AppDeviceData *deviceAt(int row)
{
    return static_cast<AppDeviceData *>(devices()->getData(row));
}

AppCommandData *commandAt(int row)
{
    return static_cast<AppCommandData *>(commands()->getData(row));
}

QStringList deviceNames()
{
    QStringList names;
    for (int row = 0; row < devices()->rowCount(); ++row)
        names << deviceAt(row)->name();
    return names;
}

QStringList commandNames()
{
    QStringList names;
    for (int row = 0; row < commands()->rowCount(); ++row)
        names << commandAt(row)->name();
    return names;
}

AppSettingsManager *store()
{
    return app()->settingsManager();
}

void click(const char *button)
{
    QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
}

AppHistoryData *historyRecord(const QByteArray &bytes)
{
    return new AppHistoryData(
        "07.12.2026 09:00:00.125", "Received", bytes, "COM5", 9600, 8, 0, 0, 0);
}

} // namespace

class TstAppMainWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveDeviceRefusesEmptyName();
    void saveDeviceAcceptsNameOfSpaces();
    void saveDeviceRefusesRepeatedNameAndKeepsOneRow();
    void saveDeviceRefusesSeparators_data();
    void saveDeviceRefusesSeparators();
    void savedDeviceReachesTableAndBothFiles();
    void savedDeviceSurvivesARestart();
    void saveCommandRefusalsComeInOrder_data();
    void saveCommandRefusalsComeInOrder();
    void saveCommandWithInvalidHexIsRefused();
    void asciiFollowsHexAsTheOperatorTypes();
    void savedCommandReachesTableAndFile();
    void hexFieldIsNormalisedOnReturn_data();
    void hexFieldIsNormalisedOnReturn();
    void asciiFieldIsNormalisedWhenLeft_data();
    void asciiFieldIsNormalisedWhenLeft();
    void saveAfterTypingAsciiSavesTheUpdatedHex();
    void openFromFormOpensAndRegisters();
    void secondOpenOnTheSamePortBringsItsTerminalForward();
    void openOnAMissingPortShowsThePortsText();
    void openWithAnEmptyNameStillOpens();
    void addHistoryAppendsTheLastRow();
    void clearHistoryEmptiesTheHistory();
    void saveHistoryExportsTheRows();

private:
    void typeInto(const char *edit, const QString &text);
    void saveDevice(const QString &name, const QString &port = QStringLiteral("COM1"));
    void focusAndWait(QWidget *widget);

    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstAppMainWin::initTestCase()
{
    QVERIFY(window());
    QVERIFY(QTest::qWaitForWindowExposed(window()));
    window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window()));
}

void TstAppMainWin::init()
{
    // Every test starts from an empty store and a form at its defaults.
    catcher.reset(new MessageBoxCatcher);
    while (devices()->rowCount() > 0)
        devices()->removeData(0);
    while (commands()->rowCount() > 0)
        commands()->removeData(0);
    // The button, so rows still waiting for their frame go as well.
    click("clearHistoryBtn");
    QCOMPARE(history()->rowCount(), 0);
    QVERIFY(!store()->deviceExists(QString()));
    for (const char *edit : { "deviceNameEdit", "commandNameEdit", "hexEdit", "asciiEdit" })
        child<QLineEdit>(edit)->clear();
    child<QComboBox>("portCombo")->setCurrentIndex(0);
    child<QComboBox>("baudRateCombo")->setCurrentText("9600");
    child<QComboBox>("dataBitsCombo")->setCurrentText("8");
    child<QComboBox>("stopBitsCombo")->setCurrentIndex(0);
    child<QComboBox>("parityCombo")->setCurrentIndex(0);
    child<QComboBox>("flowControlCombo")->setCurrentIndex(0);
    catcher->clear();
}

void TstAppMainWin::cleanup()
{
    for (const char *port : { "COM5", "COM6", "COM7" })
        app()->deviceManager()->closeDevice(port);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    catcher.reset();
}

void TstAppMainWin::typeInto(const char *edit, const QString &text)
{
    QLineEdit *field = child<QLineEdit>(edit);
    field->clear();
    // One key press per character, also for characters that have no key of their own.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void TstAppMainWin::saveDevice(const QString &name, const QString &port)
{
    typeInto("deviceNameEdit", name);
    child<QComboBox>("portCombo")->setCurrentText(port);
    click("deviceSaveBtn");
}

void TstAppMainWin::focusAndWait(QWidget *widget)
{
    // A message box of an earlier test may have taken the activation with it.
    QApplication::setActiveWindow(window());
    QVERIFY(QTest::qWaitForWindowActive(window()));
    widget->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY_WITH_TIMEOUT(widget->hasFocus(), 10000);
}

void TstAppMainWin::saveDeviceRefusesEmptyName()
{
    click("deviceSaveBtn");
    QCOMPARE(catcher->texts(), QStringList({ "Device name can not be blank." }));
    QCOMPARE(catcher->titles(), QStringList({ "VerantisTerminal" }));
    QCOMPARE(devices()->rowCount(), 0);
    QVERIFY(!store()->deviceExists(QString()));
}

void TstAppMainWin::saveDeviceAcceptsNameOfSpaces()
{
    saveDevice("   ");
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(deviceNames(), QStringList({ "   " }));
    QVERIFY(store()->deviceExists("   "));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "   " }), 10000);
}

void TstAppMainWin::saveDeviceRefusesRepeatedNameAndKeepsOneRow()
{
    saveDevice("Cam1", "COM3");
    saveDevice("Cam2", "COM4");
    QCOMPARE(catcher->count(), 0);

    saveDevice("Cam1", "COM9");
    QCOMPARE(catcher->texts(), QStringList({ "Device name repeated. Please use another name." }));
    QCOMPARE(deviceNames(), QStringList({ "Cam1", "Cam2" }));
    // The saved device keeps its own port.
    QCOMPARE(deviceAt(0)->portName(), QString("COM3"));
    QTRY_COMPARE_WITH_TIMEOUT(diskValue("devicelist.ini", "Cam1_comport"), QVariant("COM3"), 10000);

    // Names differ in letter case: that is another device.
    saveDevice("cam1");
    QCOMPARE(catcher->count(), 1);
    QCOMPARE(deviceNames(), QStringList({ "Cam1", "Cam2", "cam1" }));
}

void TstAppMainWin::saveDeviceRefusesSeparators_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << "Lab/Cam";
    QTest::newRow("backslash") << "Lab\\Cam";
    QTest::newRow("only a slash") << "/";
}

void TstAppMainWin::saveDeviceRefusesSeparators()
{
    QFETCH(QString, name);
    saveDevice(name);
    QCOMPARE(catcher->texts(), QStringList({ "Device name can not contain / or \\." }));
    QCOMPARE(devices()->rowCount(), 0);
    QVERIFY(!store()->deviceExists(name));
}

void TstAppMainWin::savedDeviceReachesTableAndBothFiles()
{
    typeInto("deviceNameEdit", "Bench");
    child<QComboBox>("portCombo")->setCurrentText("COM12");
    child<QComboBox>("baudRateCombo")->setCurrentText("115200");
    child<QComboBox>("dataBitsCombo")->setCurrentText("7");
    child<QComboBox>("stopBitsCombo")->setCurrentText("OneAndHalfStop");
    child<QComboBox>("parityCombo")->setCurrentText("Odd");
    child<QComboBox>("flowControlCombo")->setCurrentText("RTS/CTS");
    click("deviceSaveBtn");
    QCOMPARE(catcher->count(), 0);

    // The table: one new last row with the form's values.
    QCOMPARE(devices()->rowCount(), 1);
    const AppDeviceData *record = deviceAt(0);
    QCOMPARE(record->name(), QString("Bench"));
    QCOMPARE(record->portName(), QString("COM12"));
    QCOMPARE(record->baudRate(), 115200);
    QCOMPARE(record->dataBits(), 7);
    QCOMPARE(record->stopBits(), 1);
    QCOMPARE(record->parity(), 2);
    QCOMPARE(record->flowControl(), 1);

    // Both device files, with stop bits and data bits each under its own key.
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Bench" }), 10000);
    QCOMPARE(diskValue("devicenamelist.ini", "Bench").toInt(), 1);
    QCOMPARE(diskValue("devicelist.ini", "Bench_comport"), QVariant("COM12"));
    QCOMPARE(diskValue("devicelist.ini", "Bench_baudrate").toInt(), 115200);
    QCOMPARE(diskValue("devicelist.ini", "Bench_stopbits").toInt(), 1);
    QCOMPARE(diskValue("devicelist.ini", "Bench_databits").toInt(), 7);
    QCOMPARE(diskValue("devicelist.ini", "Bench_parity").toInt(), 2);
    QCOMPARE(diskValue("devicelist.ini", "Bench_flowcontrol").toInt(), 1);

    // The form keeps its contents.
    QCOMPARE(child<QLineEdit>("deviceNameEdit")->text(), QString("Bench"));
    QCOMPARE(child<QComboBox>("portCombo")->currentText(), QString("COM12"));
    QCOMPARE(child<QComboBox>("stopBitsCombo")->currentIndex(), 1);
}

void TstAppMainWin::savedDeviceSurvivesARestart()
{
    saveDevice("Zeta", "COM2");
    saveDevice("Alpha", "COM3");
    QTRY_COMPARE_WITH_TIMEOUT(
        diskKeys("devicenamelist.ini"), QStringList({ "Alpha", "Zeta" }), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("devicelist.ini", "Alpha_comport"), QVariant("COM3"), 10000);

    // A store built on copies of the files, as the next run would find them.
    QTemporaryDir nextRun;
    const QString folder = store()->dataFolder();
    const QByteArray ownHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(nextRun.path()));
    const QString nextFolder = store()->dataFolder();
    QVERIFY(QDir().mkpath(nextFolder));
    for (const char *file : { "devicenamelist.ini", "devicelist.ini" })
        QVERIFY(QFile::copy(folder + file, nextFolder + file));
    QScopedPointer<AppSettingsManager> restarted(new AppSettingsManager);
    QScopedPointer<QList<AppTableData *>> loaded(restarted->loadDevices());
    qputenv("XDG_DATA_HOME", ownHome);
    QCOMPARE(loaded->size(), 2);
    const auto *first = static_cast<AppDeviceData *>(loaded->at(0));
    QCOMPARE(first->name(), QString("Alpha"));
    QCOMPARE(first->portName(), QString("COM3"));
    QCOMPARE(static_cast<AppDeviceData *>(loaded->at(1))->name(), QString("Zeta"));
    qDeleteAll(*loaded);
}

void TstAppMainWin::saveCommandRefusalsComeInOrder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("message");
    // Each row breaks every rule after the one it expects to hear about.
    QTest::newRow("blank name first") << ""
                                      << ""
                                      << "Command name can not be blank.";
    QTest::newRow("blank name with bytes") << ""
                                           << "0102"
                                           << "Command name can not be blank.";
    QTest::newRow("repeated before empty") << "Ping"
                                           << ""
                                           << "Command name repeated. Please use another name.";
    QTest::newRow("repeated with bytes") << "Ping"
                                         << "0102"
                                         << "Command name repeated. Please use another name.";
    QTest::newRow("separator before empty") << "a/b"
                                            << ""
                                            << "Command name can not contain / or \\.";
    QTest::newRow("empty command") << "Pong"
                                   << ""
                                   << "Command can not be empty.";
}

void TstAppMainWin::saveCommandRefusalsComeInOrder()
{
    QFETCH(QString, name);
    QFETCH(QString, hex);
    QFETCH(QString, message);
    commands()->addData(new AppCommandData("Ping", QByteArray("\x01", 1)));
    store()->addCommand("Ping", QByteArray("\x01", 1));

    child<QLineEdit>("commandNameEdit")->setText(name);
    child<QLineEdit>("hexEdit")->setText(hex);
    click("commandSaveBtn");
    QCOMPARE(catcher->texts(), QStringList({ message }));
    QCOMPARE(commandNames(), QStringList({ "Ping" }));
    QCOMPARE(commandAt(0)->bytes(), QByteArray("\x01", 1));
    QCOMPARE(store()->commandBytes("Ping"), QByteArray("\x01", 1));
    QCOMPARE(store()->commandNameModel()->rowCount(), 1);
}

void TstAppMainWin::saveCommandWithInvalidHexIsRefused()
{
    child<QLineEdit>("commandNameEdit")->setText("Nul");
    typeInto("hexEdit", "41 zz");
    click("commandSaveBtn");
    QCOMPARE(catcher->texts(), QStringList({ "HEX can only hold hex digits: zz" }));
    QCOMPARE(commandNames(), QStringList());
    QVERIFY(!store()->commandExists("Nul"));
    // Kept for the operator to correct.
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), QString("41 zz"));

    // Corrected, the same command is saved with the bytes typed.
    typeInto("hexEdit", "41 54 0d");
    click("commandSaveBtn");
    QCOMPARE(catcher->count(), 1);
    QCOMPARE(commandNames(), QStringList({ "Nul" }));
    QCOMPARE(commandAt(0)->bytes(), QByteArray("AT\r"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("commandlist.ini", "Nul"), QVariant(QByteArray("AT\r")), 10000);
}

void TstAppMainWin::asciiFollowsHexAsTheOperatorTypes()
{
    QLineEdit *hexEdit = child<QLineEdit>("hexEdit");
    QLineEdit *asciiEdit = child<QLineEdit>("asciiEdit");
    focusAndWait(hexEdit);
    hexEdit->clear();
    asciiEdit->setText("stale");
    const struct
    {
        const char *key;
        QString ascii;
    } steps[] = {
        { "4", QString(QChar(0x04)) }, { "1", "A" }, { " ", "A" },
        { "4", QString::fromLatin1("A\x04") }, { "2", "AB" },
        { "g", "" }, // not HEX: no bytes to show
    };
    for (const auto &step : steps) {
        QTest::keyClicks(hexEdit, step.key);
        QCOMPARE(asciiEdit->text(), step.ascii);
    }
    // The field being typed in is left alone until the edit is finished.
    QCOMPARE(hexEdit->text(), QString("41 42g"));
    // Passing through the ASCII field, which shows nothing meanwhile, keeps the text too.
    focusAndWait(asciiEdit);
    focusAndWait(hexEdit);
    QCOMPARE(hexEdit->text(), QString("41 42g"));
    QTest::keyClick(hexEdit, Qt::Key_End);
    QTest::keyClick(hexEdit, Qt::Key_Backspace);
    QCOMPARE(asciiEdit->text(), QString("AB"));
    QTest::keyClick(hexEdit, Qt::Key_Return);
    QCOMPARE(hexEdit->text(), QString("4142"));

    focusAndWait(asciiEdit);
    asciiEdit->clear();
    QTest::keyClicks(asciiEdit, "Hi");
    QCOMPARE(hexEdit->text(), QString("4869"));
    // Leaving the field finishes its edit here rather than in the next test.
    focusAndWait(child<QLineEdit>("commandNameEdit"));
    QCOMPARE(catcher->count(), 0);
}

void TstAppMainWin::savedCommandReachesTableAndFile()
{
    commands()->addData(new AppCommandData("Older", QByteArray("O")));
    store()->addCommand("Older", QByteArray("O"));
    child<QLineEdit>("commandNameEdit")->setText("Reset");
    child<QLineEdit>("hexEdit")->setText("5253540D0A");
    click("commandSaveBtn");
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(commandNames(), QStringList({ "Older", "Reset" }));
    QCOMPARE(commandAt(1)->bytes(), QByteArray("RST\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("commandlist.ini", "Reset"), QVariant(QByteArray("RST\r\n")), 10000);
    QCOMPARE(child<QLineEdit>("commandNameEdit")->text(), QString("Reset"));
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), QString("5253540D0A"));
}

void TstAppMainWin::hexFieldIsNormalisedOnReturn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("ascii");
    QTest::newRow("one digit") << "a"
                               << "0A"
                               << "\n";
    QTest::newRow("lower case pairs") << "4869"
                                      << "4869"
                                      << "Hi";
    QTest::newRow("odd length") << "123"
                                << "0123" << QString::fromLatin1("\x01\x23", 2);
    QTest::newRow("spaced pairs") << "41 54 0d"
                                  << "41540D"
                                  << "AT\r";
    QTest::newRow("prefixed, comma separated") << "0x41,0x42"
                                               << "4142"
                                               << "AB";
    // Kept as typed for the operator to correct; there are no bytes to show beside it.
    QTest::newRow("not hexadecimal") << "zz"
                                     << "zz"
                                     << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TstAppMainWin::hexFieldIsNormalisedOnReturn()
{
    QFETCH(QString, typed);
    QFETCH(QString, hex);
    QFETCH(QString, ascii);
    child<QLineEdit>("asciiEdit")->setText("stale");
    typeInto("hexEdit", typed);
    QTest::keyClick(child<QLineEdit>("hexEdit"), Qt::Key_Return);
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), hex);
    QCOMPARE(child<QLineEdit>("asciiEdit")->text(), ascii);
}

void TstAppMainWin::asciiFieldIsNormalisedWhenLeft_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("ascii");
    QTest::newRow("hi") << "hi"
                        << "6869"
                        << "hi";
    QTest::newRow("latin-1") << QString::fromUtf8("\xc3\xa9") << "E9"
                             << QString::fromUtf8("\xc3\xa9");
    // Beyond Latin-1 a character has no byte of its own.
    QTest::newRow("beyond latin-1")
        << QString::fromUtf8("\xe2\x82\xac") << "00" << QString(QChar(0));
}

void TstAppMainWin::asciiFieldIsNormalisedWhenLeft()
{
    QFETCH(QString, typed);
    QFETCH(QString, hex);
    QFETCH(QString, ascii);
    QLineEdit *asciiEdit = child<QLineEdit>("asciiEdit");
    focusAndWait(asciiEdit);
    typeInto("asciiEdit", typed);
    // HEX follows as the operator types; the typed field waits for the edit to finish.
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), hex);
    QCOMPARE(asciiEdit->text(), typed);

    // Leaving the field finishes the edit.
    focusAndWait(child<QLineEdit>("commandNameEdit"));
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), hex);
    QCOMPARE(asciiEdit->text(), ascii);
}

void TstAppMainWin::saveAfterTypingAsciiSavesTheUpdatedHex()
{
    child<QLineEdit>("commandNameEdit")->setText("Hello");
    child<QLineEdit>("hexEdit")->setText("FF");
    QLineEdit *asciiEdit = child<QLineEdit>("asciiEdit");
    focusAndWait(asciiEdit);
    typeInto("asciiEdit", "hi");

    // The click takes the focus first, which finishes the ASCII edit before Save reads HEX.
    click("commandSaveBtn");
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(child<QLineEdit>("hexEdit")->text(), QString("6869"));
    QCOMPARE(commandNames(), QStringList({ "Hello" }));
    QCOMPARE(commandAt(0)->bytes(), QByteArray("hi"));
    QCOMPARE(store()->commandBytes("Hello"), QByteArray("hi"));
}

void TstAppMainWin::openFromFormOpensAndRegisters()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    typeInto("deviceNameEdit", "Unsaved");
    child<QComboBox>("portCombo")->setCurrentText("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));

    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    // Opening saves nothing.
    QCOMPARE(devices()->rowCount(), 0);
    QVERIFY(!store()->deviceExists("Unsaved"));

    // The device holds the line: the peer's hang-up reaches it.
    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts(), QStringList({ peer.lostLineText("COM5", "Unsaved") }));

    app()->deviceManager()->closeDevice("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
}

void TstAppMainWin::secondOpenOnTheSamePortBringsItsTerminalForward()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    child<QComboBox>("portCombo")->setCurrentText("COM5");
    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 0);

    // Another name, the same port: its terminal comes forward, without a message.
    typeInto("deviceNameEdit", "Other");
    const auto terminals = window()->findChildren<AppDeviceDialog *>();
    QCOMPARE(terminals.size(), 1);
    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(window()->findChildren<AppDeviceDialog *>(), terminals);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), terminals.first(), 10000);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));

    // The first device is untouched and still releases its port when closed.
    app()->deviceManager()->closeDevice("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
}

void TstAppMainWin::openOnAMissingPortShowsThePortsText()
{
    // Nothing is mapped to COM7 in this data folder.
    child<QComboBox>("portCombo")->setCurrentText("COM7");
    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 1);
    QVERIFY(catcher->texts().first().startsWith(
        "Could not open COM7 (/dev/COM7): " + qt_error_string(ENOENT) + ".\n"));
    QVERIFY(app()->deviceManager()->isPortFree("COM7"));
}

void TstAppMainWin::openWithAnEmptyNameStillOpens()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM6"));
    child<QComboBox>("portCombo")->setCurrentText("COM6");
    QVERIFY(child<QLineEdit>("deviceNameEdit")->text().isEmpty());
    click("deviceOpenBtn");
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
}

void TstAppMainWin::addHistoryAppendsTheLastRow()
{
    window()->addHistory(historyRecord("A"));
    window()->addHistory(historyRecord("BC"));
    // Both come in the next frame, as one insertion.
    QSignalSpy inserted(history(), &QAbstractItemModel::rowsInserted);
    QTRY_COMPARE(history()->rowCount(), 2);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(history()->index(1, 2).data().toString(), QString("4243"));
    QCOMPARE(child<QTableView>("historyTable")->model()->rowCount(), 2);
}

void TstAppMainWin::clearHistoryEmptiesTheHistory()
{
    for (int i = 0; i < 5; ++i)
        window()->addHistory(historyRecord(QByteArray(1, char('0' + i))));
    QTRY_COMPARE(history()->rowCount(), 5);
    click("clearHistoryBtn");
    QCOMPARE(history()->rowCount(), 0);
    QCOMPARE(catcher->count(), 0);

    // Numbering starts again from the first row.
    window()->addHistory(historyRecord("Z"));
    QTRY_COMPARE(history()->rowCount(), 1);
    QCOMPARE(history()->headerData(0, Qt::Vertical).toInt(), 1);
}

void TstAppMainWin::saveHistoryExportsTheRows()
{
    QTemporaryDir chosen;
    QVERIFY(chosen.isValid());
    FolderDialogDriver driver;
    driver.chooseFolder(chosen.path());
    window()->addHistory(historyRecord("ABC"));
    window()->addHistory(historyRecord(QByteArray("\x01", 1)));

    click("saveHistoryBtn");
    QCOMPARE(driver.count(), 1);
    QFile log(chosen.filePath("app.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(),
        QByteArray("07.12.2026 09:00:00.125-Received-414243-ABC-COM5-9600-8-OneStop-None-OFF\n"
                   "07.12.2026 09:00:00.125-Received-01-\\x01-COM5-9600-8-OneStop-None-OFF\n\n"));
    // The history keeps its rows.
    QCOMPARE(history()->rowCount(), 2);
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstAppMainWin)
#include "tst_appmainwin.moc"
