// Ordinary slips lose nothing, and the windows fit and answer the keyboard: the question before
// unsaved history goes, a double-click on Delete, undo, the window's width at 11 pt, an empty
// Return, accessible names and a deleted command shown in a terminal. On the real windows, with
// real files in the test's data folder and a pty peer for the terminal.
#include "appwindows.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
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

void addHistoryRows(int count)
{
    for (int i = 0; i < count; ++i)
        mainWindow()->addHistory(new AppHistoryData(
            "07.12.2026 09:00:00.125", "Received", "A", "COM5", 9600, 8, 0, 0, 0));
    mainWindow()->flushHistory();
}

QPushButton *rowButton(QTableView *view, int row, int column)
{
    QWidget *cell = view->indexWidget(view->model()->index(row, column));
    return cell && cell->isVisible() ? cell->findChild<QPushButton *>() : nullptr;
}

QStringList deviceNames()
{
    QStringList names;
    for (int row = 0; row < tableModel("deviceTable")->rowCount(); ++row)
        names << tableModel("deviceTable")->index(row, 0).data().toString();
    return names;
}

// The device table's Delete column.
const int DeleteDevice = 7;

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
    if (!peer->mapTo("COM5"))
        return nullptr;
    const TerminalSnapshot before = snapshot();
    AppDeviceData record("Bench", "COM5", 9600, 8, 0, 0, 0);
    VerantisTerminalApp::app()->openDevice(&record);
    return newTerminal(before);
}

void TstSlips::historyIsAskedForBeforeItGoes_data()
{
    QTest::addColumn<bool>("quit");
    QTest::addColumn<bool>("savedBefore");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("goes");
    for (const bool quit : { true, false }) {
        const QByteArray what = quit ? "quit" : "clear";
        QTest::newRow(what + ", all saved") << quit << true << int(QMessageBox::Cancel) << true;
        QTest::newRow(what + ", Save") << quit << false << int(QMessageBox::Save) << true;
        QTest::newRow(what + ", Discard") << quit << false << int(QMessageBox::Discard) << true;
        QTest::newRow(what + ", Cancel") << quit << false << int(QMessageBox::Cancel) << false;
    }
}

void TstSlips::historyIsAskedForBeforeItGoes()
{
    QFETCH(bool, quit);
    QFETCH(bool, savedBefore);
    QFETCH(int, answer);
    QFETCH(bool, goes);
    QTemporaryDir chosen;
    FolderDialogDriver driver;
    driver.chooseFolder(chosen.path());
    addHistoryRows(3);
    if (savedBefore)
        mainWidget<QPushButton>("saveHistoryBtn")->click();
    catcher->answerQuestionsWith(QMessageBox::StandardButton(answer));

    // A close event as the window manager's close button sends it; accepted, the program quits.
    QCloseEvent close;
    if (quit)
        QCoreApplication::sendEvent(mainWindow(), &close);
    else
        mainWidget<QPushButton>("clearHistoryBtn")->click();
    QCOMPARE(catcher->questions(), savedBefore ? 0 : 1);
    QCOMPARE(catcher->count(), 0);
    if (quit)
        QCOMPARE(close.isAccepted(), goes);
    else
        QCOMPARE(tableModel("historyTable")->rowCount(), goes ? 0 : 3);
    const bool saved = savedBefore || answer == QMessageBox::Save;
    QCOMPARE(QFile::exists(chosen.filePath("app.log")), saved);
    // Saved, nothing is lost any more: no second question.
    if (saved) {
        QCloseEvent again;
        QCoreApplication::sendEvent(mainWindow(), &again);
        QVERIFY(again.isAccepted());
        QCOMPARE(catcher->questions(), savedBefore ? 0 : 1);
    }
}

void TstSlips::doubleClickOnDeleteDeletesOneRow()
{
    for (const char *name : { "Identify", "Output On", "Reset" }) {
        store()->addDevice(name, "COM3", 9600, 0, 8, 0, 0);
        tableModel("deviceTable")->addData(new AppDeviceData(name, "COM3", 9600, 8, 0, 0, 0));
    }
    auto *view = mainWidget<QTableView>("deviceTable");
    QVERIFY(QTest::qWaitForWindowExposed(mainWindow()));
    QTRY_VERIFY_WITH_TIMEOUT(rowButton(view, 0, DeleteDevice), 10000);
    // The column in view, and its cells moved there.
    view->scrollTo(view->model()->index(0, DeleteDevice));
    QTRY_VERIFY_WITH_TIMEOUT(view->viewport()->rect().contains(
                                 rowButton(view, 0, DeleteDevice)->parentWidget()->geometry()),
        10000);
    QPushButton *first = rowButton(view, 0, DeleteDevice);
    const QPoint at = first->mapTo(mainWindow(), first->rect().center());
    QWindow *window = mainWindow()->windowHandle();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(deviceNames(), QStringList({ "Output On", "Reset" }));
    // The next row's Delete moves under the pointer; the second click of the double-click
    // lands on it.
    QTRY_VERIFY_WITH_TIMEOUT(rowButton(view, 0, DeleteDevice)
            && rowButton(view, 0, DeleteDevice)
                   ->geometry()
                   .contains(
                       rowButton(view, 0, DeleteDevice)->parentWidget()->mapFrom(mainWindow(), at)),
        10000);
    QTest::lastMouseTimestamp -= QGuiApplication::styleHints()->mouseDoubleClickInterval() + 2;
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(deviceNames(), QStringList({ "Output On", "Reset" }));
    QVERIFY(store()->deviceExists("Output On"));
}

void TstSlips::undoRestoresADeviceWithItsSettings()
{
    store()->addDevice("Bench", "COM12", 115200, 1, 7, 2, 1);
    tableModel("deviceTable")->addData(new AppDeviceData("Bench", "COM12", 115200, 7, 1, 2, 1));
    store()->addDevice("Cam", "COM3", 9600, 0, 8, 0, 0);
    tableModel("deviceTable")->addData(new AppDeviceData("Cam", "COM3", 9600, 8, 0, 0, 0));
    tableModel("deviceTable")->removeData(0);
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Cam" }), 10000);
    auto *undo = mainWindow()->findChild<QPushButton *>("undoBtn");
    QVERIFY(undo && undo->isVisible());

    QWidget *table = mainWidget<QTableView>("deviceTable");
    mainWindow()->activateWindow();
    table->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(table->hasFocus(), 10000);
    QTest::keyClick(table, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(deviceNames(), QStringList({ "Bench", "Cam" }));
    QVERIFY(!undo->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(
        diskKeys("devicenamelist.ini"), QStringList({ "Bench", "Cam" }), 10000);
    const QList<QPair<const char *, QVariant>> settings { { "Bench_comport", "COM12" },
        { "Bench_baudrate", 115200 }, { "Bench_stopbits", 1 }, { "Bench_databits", 7 },
        { "Bench_parity", 2 }, { "Bench_flowcontrol", 1 } };
    for (const auto &setting : settings)
        QCOMPARE(diskValue("devicelist.ini", setting.first).toString(), setting.second.toString());
    QCOMPARE(catcher->count(), 0);
}

void TstSlips::minimumWidthFitsA1280ScreenAt11pt()
{
    const QFont before = QApplication::font();
    QFont font = before;
    font.setPointSizeF(11);
    QApplication::setFont(font);
    mainWindow()->layout()->activate();
    const int minimum = mainWindow()->minimumSizeHint().width();
    // At the narrowest the device form takes two lines, wide enough one again.
    auto *row = mainWindow()->centralWidget()->findChild<QLayout *>("horizontalLayout_2");
    const bool wraps = row->heightForWidth(4000) < row->heightForWidth(row->minimumSize().width());
    QApplication::setFont(before);
    // Room for a window frame on a 1280-pixel-wide screen.
    QVERIFY2(minimum <= 1260, qPrintable(QString::number(minimum)));
    QVERIFY(wraps);
}

void TstSlips::everyControlHasAnAccessibleName_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("main window") << false
                                 << QStringList({ "deviceNameEdit=Device Name", "portCombo=Port",
                                        "baudRateCombo=BaudRate", "dataBitsCombo=Data Bits",
                                        "stopBitsCombo=Stop Bits", "parityCombo=Parity",
                                        "flowControlCombo=Flow Control",
                                        "deviceSaveBtn=Save device", "commandNameEdit=Command Name",
                                        "hexEdit=HEX", "asciiEdit=ASCII",
                                        "commandSaveBtn=Save command", "deviceTable=Saved Devices",
                                        "commandTable=Saved Commands", "historyTable=History" });
    QTest::newRow("terminal") << true
                              << QStringList(
                                     { "savedCommandsCombo=Saved Commands", "loadCommandBtn=Load",
                                         "hexEdit=HEX", "asciiEdit=ASCII", "logText=Log" });
}

void TstSlips::everyControlHasAnAccessibleName()
{
    QFETCH(bool, terminal);
    QFETCH(QStringList, names);
    QWidget *form = terminal ? static_cast<QWidget *>(openTerminal()) : mainWindow();
    QVERIFY(form);
    // Set, or given by the widget's own text. (Qt on Linux reports a combo box's value as its
    // name and its caption as the label relation, whatever the name set.)
    const auto nameOf = [](QWidget *widget) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return !widget->accessibleName().isEmpty() || !accessible
            ? widget->accessibleName()
            : accessible->text(QAccessible::Name);
    };
    for (const QString &pair : names) {
        const QStringList parts = pair.split('=');
        auto *widget = form->findChild<QWidget *>(parts.first());
        QVERIFY2(widget, qPrintable(pair));
        QCOMPARE(nameOf(widget), parts.last());
    }
    // Every control the keyboard reaches is named, none by the value it shows.
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(form)
            || qobject_cast<QComboBox *>(widget->parentWidget()))
            continue;
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

    // The shown command is deleted: the list shows none rather than the next, and Load has
    // nothing to load.
    auto *combo = widget<QComboBox>(dialog, "savedCommandsCombo");
    combo->setCurrentText("A");
    QVERIFY(store()->removeCommand("A"));
    QCOMPARE(combo->currentIndex(), -1);
    hex->setText("FF");
    widget<QPushButton>(dialog, "loadCommandBtn")->click();
    QCOMPARE(hex->text(), QString());
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstSlips)
#include "tst_slips.moc"
