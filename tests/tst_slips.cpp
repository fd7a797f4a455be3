// Slips that lose nothing, a window that fits, names for every control: on the real windows,
// with real files in the test's data folder and a pty peer for the terminal.
#include "appwindows.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "diskini.h"
#include "folderdialogdriver.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "serial/appdevicemanager.h"
#include "testapp.h"

#include <QAccessible>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleHints>
#include <QTableView>
#include <QTextEdit>
#include <QWindow>

using namespace AppWindows;

namespace {

AppSettingsManager *store()
{
    return VerantisTerminalApp::app()->settingsManager();
}

// The first row's Delete in the device table, once it is shown.
QPushButton *firstDelete()
{
    auto *view = mainWidget<QTableView>("deviceTable");
    QWidget *cell = view->indexWidget(view->model()->index(0, 7));
    return cell && cell->isVisible() ? cell->findChild<QPushButton *>() : nullptr;
}

QStringList deviceNames()
{
    QStringList names;
    for (int row = 0; row < tableModel("deviceTable")->rowCount(); ++row)
        names << tableModel("deviceTable")->index(row, 0).data().toString();
    return names;
}

void addDevice(const QString &name, int baudRate = 9600, int dataBits = 8, int stopBits = 0)
{
    store()->addDevice(name, "COM12", baudRate, stopBits, dataBits, 2, 1);
    tableModel("deviceTable")
        ->addData(new AppDeviceData(name, "COM12", baudRate, dataBits, stopBits, 2, 1));
}

} // namespace

class TstSlips : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void historyIsAskedForBeforeItGoes_data();
    void historyIsAskedForBeforeItGoes();
    void doubleClickOnDeleteDeletesOneRow();
    void undoRestoresADeviceWithItsSettings();
    void minimumWidthFitsA1280ScreenAt11pt();
    void everyControlHasAnAccessibleName_data();
    void everyControlHasAnAccessibleName();
    void emptyReturnSendsNothingAndADeletedCommandIsNotLoaded();

private:
    AppDeviceDialog *openTerminal();

    QScopedPointer<MessageBoxCatcher> catcher;
    QScopedPointer<PtyPeer> peer;
};

void TstSlips::init()
{
    catcher.reset(new MessageBoxCatcher);
    mainWidget<QPushButton>("clearHistoryBtn")->click();
    for (const char *table : { "deviceTable", "commandTable" }) {
        while (tableModel(table)->rowCount() > 0)
            tableModel(table)->removeData(0);
    }
    catcher->clear();
}

void TstSlips::cleanup()
{
    VerantisTerminalApp::app()->deviceManager()->closeDevice("COM5");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    peer.reset();
    catcher.reset();
}

AppDeviceDialog *TstSlips::openTerminal()
{
    peer.reset(new PtyPeer);
    const TerminalSnapshot before = snapshot();
    AppDeviceData record("Bench", "COM5", 9600, 8, 0, 0, 0);
    if (peer->mapTo("COM5"))
        VerantisTerminalApp::app()->openDevice(&record);
    return newTerminal(before);
}

void TstSlips::historyIsAskedForBeforeItGoes_data()
{
    QTest::addColumn<bool>("quit");
    QTest::addColumn<bool>("savedBefore");
    QTest::addColumn<int>("answer");
    for (const bool quit : { true, false }) {
        const QByteArray what = quit ? "quit, " : "clear, ";
        QTest::newRow(what + "all saved") << quit << true << int(QMessageBox::Cancel);
        QTest::newRow(what + "Save") << quit << false << int(QMessageBox::Save);
        QTest::newRow(what + "Discard") << quit << false << int(QMessageBox::Discard);
        QTest::newRow(what + "Cancel") << quit << false << int(QMessageBox::Cancel);
    }
}

void TstSlips::historyIsAskedForBeforeItGoes()
{
    QFETCH(bool, quit);
    QFETCH(bool, savedBefore);
    QFETCH(int, answer);
    QTemporaryDir chosen;
    FolderDialogDriver driver;
    driver.chooseFolder(chosen.path());
    for (int i = 0; i < 3; ++i)
        mainWindow()->addHistory(
            new AppHistoryData("07.12.2026", "Sent", "A", "COM5", 1, 8, 0, 0, 0));
    mainWindow()->flushHistory();
    if (savedBefore)
        mainWidget<QPushButton>("saveHistoryBtn")->click();
    catcher->answerQuestionsWith(QMessageBox::StandardButton(answer));

    // As the window manager's close button sends it; accepted, the program quits.
    QCloseEvent close;
    if (quit)
        QCoreApplication::sendEvent(mainWindow(), &close);
    else
        mainWidget<QPushButton>("clearHistoryBtn")->click();
    QCOMPARE(catcher->questions(), savedBefore ? 0 : 1);
    const bool goes = savedBefore || answer != QMessageBox::Cancel;
    QCOMPARE(quit ? close.isAccepted() : tableModel("historyTable")->rowCount() == 0, goes);
    const bool saved = savedBefore || answer == QMessageBox::Save;
    QCOMPARE(QFile::exists(chosen.filePath("app.log")), saved);
    // Asked again only while rows are still unsaved.
    const bool unsaved = !saved && (quit || !goes);
    QCloseEvent again;
    QCoreApplication::sendEvent(mainWindow(), &again);
    QCOMPARE(catcher->questions(), (savedBefore ? 0 : 1) + (unsaved ? 1 : 0));
    QCOMPARE(catcher->count(), 0);
}

void TstSlips::doubleClickOnDeleteDeletesOneRow()
{
    for (const char *name : { "Identify", "Output On", "Reset" })
        addDevice(name);
    auto *view = mainWidget<QTableView>("deviceTable");
    QVERIFY(QTest::qWaitForWindowExposed(mainWindow()));
    QTRY_VERIFY_WITH_TIMEOUT(firstDelete(), 10000);
    view->scrollTo(view->model()->index(0, 7));
    QTRY_VERIFY_WITH_TIMEOUT(
        view->viewport()->rect().contains(firstDelete()->parentWidget()->geometry()), 10000);
    const QPoint at = firstDelete()->mapTo(mainWindow(), firstDelete()->rect().center());
    QTest::mouseClick(mainWindow()->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(deviceNames(), QStringList({ "Output On", "Reset" }));
    // The next row's Delete moves under the pointer; the double-click's second click lands on it.
    QTRY_VERIFY_WITH_TIMEOUT(
        firstDelete() && firstDelete()->rect().contains(firstDelete()->mapFrom(mainWindow(), at)),
        10000);
    QTest::lastMouseTimestamp -= QGuiApplication::styleHints()->mouseDoubleClickInterval() + 2;
    QTest::mouseClick(mainWindow()->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(deviceNames(), QStringList({ "Output On", "Reset" }));
    QVERIFY(store()->deviceExists("Output On"));
}

void TstSlips::undoRestoresADeviceWithItsSettings()
{
    addDevice("Bench", 115200, 7, 1);
    addDevice("Cam");
    tableModel("deviceTable")->removeData(0);
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Cam" }), 10000);
    auto *undo = mainWindow()->findChild<QPushButton *>("undoBtn");
    QVERIFY(undo->isVisible());

    QWidget *table = mainWidget<QTableView>("deviceTable");
    mainWindow()->activateWindow();
    table->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(table->hasFocus(), 10000);
    QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(deviceNames(), QStringList({ "Bench", "Cam" }));
    QVERIFY(!undo->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(
        diskKeys("devicenamelist.ini"), QStringList({ "Bench", "Cam" }), 10000);
    QStringList settings;
    for (const char *key :
        { "comport", "baudrate", "stopbits", "databits", "parity", "flowcontrol" })
        settings << diskValue("devicelist.ini", QStringLiteral("Bench_") + key).toString();
    QCOMPARE(settings, QStringList({ "COM12", "115200", "1", "7", "2", "1" }));
}

void TstSlips::minimumWidthFitsA1280ScreenAt11pt()
{
    // An 11 pt desktop font, as the program finds it at start-up.
    const QFont before = QApplication::font();
    QApplication::setFont(QFont(before.family(), 11));
    AppMainWin window;
    QApplication::setFont(before);
    const int minimum = window.minimumSizeHint().width();
    // Room for a window frame on a 1280-pixel-wide screen; the device form on two lines then.
    auto *row = window.centralWidget()->findChild<QLayout *>("horizontalLayout_2");
    const bool wraps = row->heightForWidth(4000) < row->heightForWidth(row->minimumSize().width());
    qInfo("minimum width at 11 pt: %d, one line from %d", minimum, window.sizeHint().width());
    QVERIFY2(minimum <= 1260 && wraps, qPrintable(QString::number(minimum)));
}

void TstSlips::everyControlHasAnAccessibleName_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("names");
    QTest::newRow("main window")
        << false
        << "deviceNameEdit=Device Name,portCombo=Port,baudRateCombo=BaudRate,dataBitsCombo=Data "
           "Bits,stopBitsCombo=Stop Bits,parityCombo=Parity,flowControlCombo=Flow "
           "Control,deviceSaveBtn=Save device,commandNameEdit=Command Name,hexEdit=HEX,"
           "asciiEdit=ASCII,commandSaveBtn=Save command,deviceTable=Saved Devices,"
           "commandTable=Saved Commands,historyTable=History";
    QTest::newRow("terminal") << true
                              << "savedCommandsCombo=Saved Commands,loadCommandBtn=Load,"
                                 "hexEdit=HEX,asciiEdit=ASCII,logText=Log";
}

void TstSlips::everyControlHasAnAccessibleName()
{
    QFETCH(bool, terminal);
    QFETCH(QString, names);
    QWidget *form = terminal ? static_cast<QWidget *>(openTerminal()) : mainWindow();
    QVERIFY(form);
    // Set, or the widget's own text. (Qt on Linux reports a combo box's value as its name, and
    // its caption as its label relation.)
    const auto nameOf = [](QWidget *widget) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return widget->accessibleName().isEmpty() && accessible
            ? accessible->text(QAccessible::Name)
            : widget->accessibleName();
    };
    for (const QString &pair : names.split(',')) {
        auto *widget = form->findChild<QWidget *>(pair.section('=', 0, 0));
        QVERIFY2(widget, qPrintable(pair));
        QCOMPARE(nameOf(widget), pair.section('=', 1));
    }
    // And every other control the keyboard reaches.
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (widget->focusPolicy() != Qt::NoFocus && widget->isVisibleTo(form)
            && !qobject_cast<QComboBox *>(widget->parentWidget()))
            QVERIFY2(!nameOf(widget).isEmpty(), qPrintable(widget->objectName()));
    }
}

void TstSlips::emptyReturnSendsNothingAndADeletedCommandIsNotLoaded()
{
    for (const char *name : { "A", "B" })
        store()->addCommand(name, "\x41");
    AppDeviceDialog *dialog = openTerminal();
    QVERIFY(dialog);
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    QTest::keyClick(hex, Qt::Key_Return);
    mainWindow()->flushHistory();
    QCOMPARE(tableModel("historyTable")->rowCount(), 0);
    QVERIFY(widget<QTextEdit>(dialog, "logText")->toPlainText().isEmpty());
    QVERIFY(peer->readAvailable().isEmpty());

    // The shown command is deleted: the list shows none, not the next, and Load loads nothing.
    auto *combo = widget<QComboBox>(dialog, "savedCommandsCombo");
    combo->setCurrentText("A");
    QVERIFY(store()->removeCommand("A"));
    QCOMPARE(combo->currentIndex(), -1);
    widget<QPushButton>(dialog, "loadCommandBtn")->click();
    QCOMPARE(hex->text(), QString());
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstSlips)
#include "tst_slips.moc"
