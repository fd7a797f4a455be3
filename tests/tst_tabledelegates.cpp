// The delegates of the saved-devices and saved-commands tables on the application's own window:
// the real editors writing through the models into real INI files, and the row buttons.
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "diskini.h"
#include "messageboxcatcher.h"
#include "models/appabstracttablemodel.h"
#include "models/appcommandtabledelegate.h"
#include "models/appdevicetabledelegate.h"
#include "models/appdevicetablemodel.h"
#include "ptypeer.h"
#include "serial/appdevicemanager.h"
#include "serial/serialsettings.h"
#include "testapp.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopedPointer>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cerrno>

namespace {

enum DeviceColumn {
    DeviceName,
    Port,
    BaudRate,
    DataBits,
    StopBits,
    Parity,
    FlowControl,
    DeleteDevice,
    OpenDevice,
    DeviceSpacer
};
enum CommandColumn { CommandName, Hex, Ascii, DeleteCommand, CommandSpacer };

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

AppSettingsManager *store()
{
    return app()->settingsManager();
}

QTableView *deviceTable()
{
    return app()->mainWin()->findChild<QTableView *>("deviceTable");
}

QTableView *commandTable()
{
    return app()->mainWin()->findChild<QTableView *>("commandTable");
}

AppAbstractTableModel *modelOf(QTableView *view)
{
    return qobject_cast<AppAbstractTableModel *>(view->model());
}

AppDeviceData *deviceAt(int row)
{
    return static_cast<AppDeviceData *>(modelOf(deviceTable())->getData(row));
}

AppCommandData *commandAt(int row)
{
    return static_cast<AppCommandData *>(modelOf(commandTable())->getData(row));
}

QStringList deviceNames()
{
    QStringList names;
    for (int row = 0; row < modelOf(deviceTable())->rowCount(); ++row)
        names << deviceAt(row)->name();
    return names;
}

QStringList commandNames()
{
    QStringList names;
    for (int row = 0; row < modelOf(commandTable())->rowCount(); ++row)
        names << commandAt(row)->name();
    return names;
}

// A saved device, added the way the entry form adds one.
void addDevice(const QString &name, const QString &port, int baudRate = 9600, int dataBits = 8,
    int stopBits = 0, int parity = 0, int flowControl = 0)
{
    modelOf(deviceTable())
        ->addData(new AppDeviceData(name, port, baudRate, dataBits, stopBits, parity, flowControl));
    store()->addDevice(name, port, baudRate, stopBits, dataBits, parity, flowControl);
}

void addCommand(const QString &name, const QByteArray &bytes)
{
    modelOf(commandTable())->addData(new AppCommandData(name, bytes));
    store()->addCommand(name, bytes);
}

// The rows the view shows, whole or in part.
int rowsInView(QTableView *view)
{
    const int rows = view->model()->rowCount();
    if (rows == 0)
        return 0;
    const int first = qMax(0, view->rowAt(0));
    int last = view->rowAt(view->viewport()->height() - 1);
    if (last < 0)
        last = rows - 1;
    return last - first + 1;
}

// The buttons a view shows; cells of removed rows, or of rows scrolled away, wait hidden.
QList<QPushButton *> shownButtons(QTableView *view)
{
    QList<QPushButton *> shown;
    for (QPushButton *button : view->viewport()->findChildren<QPushButton *>()) {
        if (button->isVisibleTo(view->viewport()))
            shown << button;
    }
    return shown;
}

// The button of a cell, brought into view first as the operator would scroll to it.
QPushButton *buttonAt(QTableView *view, int row, int column)
{
    const QModelIndex index = view->model()->index(row, column);
    view->scrollTo(index);
    QWidget *cell = view->indexWidget(index);
    return cell ? cell->findChild<QPushButton *>() : nullptr;
}

// Opens the real editor of a cell, as a double click would.
template<typename Editor> Editor *openEditor(QTableView *view, int row, int column)
{
    // Editors closed earlier are deleted from the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QModelIndex index = view->model()->index(row, column);
    view->setCurrentIndex(index);
    view->edit(index);
    const QList<Editor *> editors
        = view->viewport()->findChildren<Editor *>(QString(), Qt::FindDirectChildrenOnly);
    return editors.size() == 1 ? editors.first() : nullptr;
}

// Enter commits the editor and closes it, as it does for the operator.
void commit(QTableView *view, QWidget *editor)
{
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(view->viewport()
                                 ->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)
                                 .count(editor)
            == 0,
        10000);
}

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }
    int paints = 0;
    int childrenAdded = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        else if (event->type() == QEvent::ChildAdded)
            ++childrenAdded;
        return false;
    }
};

} // namespace

class TstTableDelegates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingsEditorsWriteTheirValues_data();
    void settingsEditorsWriteTheirValues();
    void editorsHandTheModelTypedValues_data();
    void editorsHandTheModelTypedValues();
    void valueOutsideTheListOpensOnTheFirstEntry_data();
    void valueOutsideTheListOpensOnTheFirstEntry();
    void choiceListsAreFixed();
    void deviceNameEditorRefusesRepeatsAndEmptyNames();
    void deviceNameEditorRenamesInTheFiles();
    void commandCellsEditThroughLineEdits();
    void commandNameEditorRefusesRepeatsAndEmptyNames();
    void nameCellsCommittedUnchangedSayNothing();
    void hexCellRefusesTextThatIsNotHexAndKeepsIt();
    void deleteRemovesTheDeviceAtOnce();
    void deleteRemovesTheCommandAtOnce();
    void everyRowShowsItsButtonsAndTheyFit();
    void deviceButtonsActOnTheirOwnRowsAfterADelete();
    void commandButtonsActOnTheirOwnRowsAfterADelete();
    void openOpensThatRowsDevice();
    void secondOpenOfAnOpenRowBringsItsTerminalForward();
    void deletingTheRowOfAnOpenDeviceIsSafe();
    void buttonCellsAreReusedNotPiledUp();
    void editorsCloseOnEnterAfterRowsWereDeleted();
    void idleTablesPaintNothing_data();
    void idleTablesPaintNothing();
    void buttonAndSpacerCellsPaintNothing_data();
    void buttonAndSpacerCellsPaintNothing();
    void rowButtonsKeepTheWindowsLook();
    void rowButtonsWorkFromTheKeyboardAndAreNamed();
    void tenThousandRowsMakeAScreenfulOfButtons();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
};

void TstTableDelegates::initTestCase()
{
    // Tall enough for the handful of rows most cases use to be in view at once.
    app()->mainWin()->resize(1000, 1400);
    QVERIFY(QTest::qWaitForWindowExposed(app()->mainWin()));
    for (QTableView *view : { deviceTable(), commandTable() }) {
        QTRY_VERIFY_WITH_TIMEOUT(
            view->viewport()->height() > 5 * view->verticalHeader()->defaultSectionSize(), 10000);
    }
}

void TstTableDelegates::init()
{
    while (modelOf(deviceTable())->rowCount() > 0)
        modelOf(deviceTable())->removeData(0);
    while (modelOf(commandTable())->rowCount() > 0)
        modelOf(commandTable())->removeData(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    catcher.reset(new MessageBoxCatcher);
}

void TstTableDelegates::cleanup()
{
    for (const char *port : { "COM5", "COM6" })
        app()->deviceManager()->closeDevice(port);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    catcher.reset();
}

void TstTableDelegates::settingsEditorsWriteTheirValues_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shownFirst");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("onDisk");
    QTest::addColumn<QVariant>("inRecord");
    QTest::newRow("port") << int(Port) << "COM3"
                          << "COM42"
                          << "_comport"
                          << "COM42" << QVariant("COM42");
    QTest::newRow("baud rate") << int(BaudRate) << "9600"
                               << "115200"
                               << "_baudrate"
                               << "115200" << QVariant(115200);
    QTest::newRow("data bits") << int(DataBits) << "8"
                               << "7"
                               << "_databits"
                               << "7" << QVariant(7);
    QTest::newRow("stop bits") << int(StopBits) << "OneStop"
                               << "TwoStop"
                               << "_stopbits"
                               << "2" << QVariant(2);
    QTest::newRow("parity") << int(Parity) << "None"
                            << "Odd"
                            << "_parity"
                            << "2" << QVariant(2);
    QTest::newRow("flow control") << int(FlowControl) << "OFF"
                                  << "RTS/CTS"
                                  << "_flowcontrol"
                                  << "1" << QVariant(1);
}

void TstTableDelegates::settingsEditorsWriteTheirValues()
{
    QFETCH(int, column);
    QFETCH(QString, shownFirst);
    QFETCH(QString, choice);
    QFETCH(QString, suffix);
    QFETCH(QString, onDisk);
    QFETCH(QVariant, inRecord);
    addDevice("Other", "COM9");
    addDevice("Cam1", "COM3");

    QComboBox *editor = openEditor<QComboBox>(deviceTable(), 1, column);
    QVERIFY(editor);
    QCOMPARE(editor->currentText(), shownFirst);
    editor->setCurrentIndex(editor->findText(choice));
    commit(deviceTable(), editor);
    QCOMPARE(catcher->count(), 0);

    const AppDeviceData *record = deviceAt(1);
    const QVariantList values { record->name(), record->portName(), record->baudRate(),
        record->dataBits(), record->stopBits(), record->parity(), record->flowControl() };
    QCOMPARE(values.at(column), inRecord);
    QCOMPARE(modelOf(deviceTable())->index(1, column).data().toString(), choice);
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("devicelist.ini", "Cam1" + suffix).toString(), onDisk, 10000);
    // The other row is untouched.
    QCOMPARE(deviceAt(0)->portName(), QString("COM9"));
    QCOMPARE(diskValue("devicelist.ini", "Other_comport").toString(), QString("COM9"));
}

void TstTableDelegates::editorsHandTheModelTypedValues_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QVariant>("written");
    QTest::newRow("port as text") << int(Port) << "COM7" << QVariant(QString("COM7"));
    QTest::newRow("baud rate as number") << int(BaudRate) << "57600" << QVariant(57600);
    QTest::newRow("data bits as number") << int(DataBits) << "7" << QVariant(7);
    QTest::newRow("stop bits as position") << int(StopBits) << "OneAndHalfStop" << QVariant(1);
    QTest::newRow("parity as position") << int(Parity) << "Even" << QVariant(1);
    QTest::newRow("flow control as position") << int(FlowControl) << "Xon/Xoff" << QVariant(2);
}

void TstTableDelegates::editorsHandTheModelTypedValues()
{
    QFETCH(int, column);
    QFETCH(QString, choice);
    QFETCH(QVariant, written);
    // A model that keeps values as they are given shows the type the delegate hands over.
    QTableView view;
    AppDeviceTableDelegate delegate(&view);
    QStandardItemModel model(1, 10);
    const QModelIndex index = model.index(0, column);
    QScopedPointer<QWidget> editor(delegate.createEditor(nullptr, QStyleOptionViewItem(), index));
    auto *combo = qobject_cast<QComboBox *>(editor.data());
    QVERIFY(combo);
    combo->setCurrentIndex(combo->findText(choice));
    delegate.setModelData(combo, &model, index);
    const QVariant stored = model.data(index, Qt::EditRole);
    QCOMPARE(stored.userType(), written.userType());
    QCOMPARE(stored, written);
}

void TstTableDelegates::valueOutsideTheListOpensOnTheFirstEntry_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("firstEntry");
    QTest::addColumn<QString>("onDisk");
    // A port or a baud rate the list does not offer is kept instead (tst_portchoice).
    QTest::newRow("data bits 5") << int(DataBits) << "_databits"
                                 << "7"
                                 << "7";
    QTest::newRow("stop bits 7") << int(StopBits) << "_stopbits"
                                 << "OneStop"
                                 << "0";
    QTest::newRow("parity -1") << int(Parity) << "_parity"
                               << "None"
                               << "0";
    QTest::newRow("flow control 3") << int(FlowControl) << "_flowcontrol"
                                    << "OFF"
                                    << "0";
}

void TstTableDelegates::valueOutsideTheListOpensOnTheFirstEntry()
{
    QFETCH(int, column);
    QFETCH(QString, suffix);
    QFETCH(QString, firstEntry);
    QFETCH(QString, onDisk);
    // Values only a hand-edited file holds.
    addDevice("Odd", "COM101", 250000, 5, 7, -1, 3);

    QComboBox *editor = openEditor<QComboBox>(deviceTable(), 0, column);
    QVERIFY(editor);
    QCOMPARE(editor->currentText(), firstEntry);
    QCOMPARE(editor->currentIndex(), 0);

    // Shown again while the editor is open (the cell announced a change), the value still
    // selects the first entry rather than keeping what the editor showed.
    editor->setCurrentIndex(editor->count() - 1);
    deviceTable()->model()->setData(deviceTable()->model()->index(0, column), 0, Qt::UserRole);
    QCOMPARE(editor->currentIndex(), 0);

    commit(deviceTable(), editor);
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("devicelist.ini", "Odd" + suffix).toString(), onDisk, 10000);
    QCOMPARE(modelOf(deviceTable())->index(0, column).data().toString(), firstEntry);
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::choiceListsAreFixed()
{
    addDevice("Cam1", "COM3");
    const QList<QStringList> lists { portNameTexts(), baudRateTexts(), dataBitsTexts(),
        stopBitsTexts, parityTexts, flowControlTexts };
    QCOMPARE(lists.at(0).size(), 100);
    QCOMPARE(lists.at(0).last(), QString("COM100"));
    for (int column = Port; column <= FlowControl; ++column) {
        QComboBox *editor = openEditor<QComboBox>(deviceTable(), 0, column);
        QVERIFY(editor);
        QStringList items;
        for (int i = 0; i < editor->count(); ++i)
            items << editor->itemText(i);
        // The ports this machine has may come first, and any positive rate can be typed.
        if (column == Port)
            items = items.mid(items.size() - 100);
        QCOMPARE(items, lists.at(column - Port));
        QCOMPARE(editor->isEditable(), column == BaudRate);
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!editor->isVisible(), 10000);
    }
    QCOMPARE(lists.at(1),
        QStringList({ "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400",
            "460800", "921600", "1000000", "2000000", "3000000" }));
    QCOMPARE(lists.at(2), QStringList({ "7", "8" }));
    QCOMPARE(lists.at(3), QStringList({ "OneStop", "OneAndHalfStop", "TwoStop" }));
    QCOMPARE(lists.at(4), QStringList({ "None", "Even", "Odd" }));
    QCOMPARE(lists.at(5), QStringList({ "OFF", "RTS/CTS", "Xon/Xoff" }));

    // The name is typed; the cells that hold no setting get an empty list.
    auto *delegate = static_cast<AppDeviceTableDelegate *>(deviceTable()->itemDelegate());
    const QModelIndex name = deviceTable()->model()->index(0, DeviceName);
    QScopedPointer<QWidget> nameEditor(
        delegate->createEditor(nullptr, QStyleOptionViewItem(), name));
    QVERIFY(qobject_cast<QLineEdit *>(nameEditor.data()));
    const QModelIndex button = deviceTable()->model()->index(0, DeleteDevice);
    QScopedPointer<QWidget> other(delegate->createEditor(nullptr, QStyleOptionViewItem(), button));
    QVERIFY(qobject_cast<QComboBox *>(other.data()));
    QCOMPARE(qobject_cast<QComboBox *>(other.data())->count(), 0);
}

void TstTableDelegates::deviceNameEditorRefusesRepeatsAndEmptyNames()
{
    addDevice("Alpha", "COM3");
    addDevice("Beta", "COM4");
    const struct
    {
        QString typed;
        QString message;
    } refusals[] = {
        { "Alpha", "Device name repeated." },
        { "", "Device name can not be blank." },
        { "Lab/Beta", "Device name can not contain / or \\." },
    };
    for (const auto &refusal : refusals) {
        catcher->clear();
        QLineEdit *editor = openEditor<QLineEdit>(deviceTable(), 1, DeviceName);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString("Beta"));
        editor->clear();
        QTest::keyClicks(editor, refusal.typed);
        commit(deviceTable(), editor);
        QTRY_COMPARE_WITH_TIMEOUT(catcher->texts(), QStringList({ refusal.message }), 10000);
        QCOMPARE(deviceNames(), QStringList({ "Alpha", "Beta" }));
    }
    QVERIFY(store()->deviceExists("Beta"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskKeys("devicenamelist.ini"), QStringList({ "Alpha", "Beta" }), 10000);
    QCOMPARE(diskValue("devicelist.ini", "Beta_comport").toString(), QString("COM4"));
}

void TstTableDelegates::deviceNameEditorRenamesInTheFiles()
{
    addDevice("Cam1", "COM3", 19200, 7, 2, 1, 1);
    QLineEdit *editor = openEditor<QLineEdit>(deviceTable(), 0, DeviceName);
    QVERIFY(editor);
    editor->clear();
    QTest::keyClicks(editor, "Cam2");
    commit(deviceTable(), editor);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(deviceNames(), QStringList({ "Cam2" }));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Cam2" }), 10000);
    QCOMPARE(diskKeys("devicelist.ini"),
        QStringList({ "Cam2_baudrate", "Cam2_comport", "Cam2_databits", "Cam2_flowcontrol",
            "Cam2_parity", "Cam2_stopbits" }));
    QCOMPARE(diskValue("devicelist.ini", "Cam2_baudrate").toInt(), 19200);
    QCOMPARE(diskValue("devicelist.ini", "Cam2_stopbits").toInt(), 2);
}

void TstTableDelegates::commandCellsEditThroughLineEdits()
{
    addCommand("Ping", QByteArray("\x01\x02", 2));
    QLineEdit *editor = openEditor<QLineEdit>(commandTable(), 0, Hex);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("0102"));
    QVERIFY(!editor->validator());
    QCOMPARE(editor->inputMask(), QString());
    editor->clear();
    QTest::keyClicks(editor, "0a0b");
    commit(commandTable(), editor);
    QCOMPARE(commandAt(0)->bytes(), QByteArray("\x0A\x0B", 2));
    QCOMPARE(commandTable()->model()->index(0, Hex).data().toString(), QString("0A0B"));
    QCOMPARE(commandTable()->model()->index(0, Ascii).data().toString(), QString("\n\x0B"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("commandlist.ini", "Ping"), QVariant(QByteArray("\x0A\x0B", 2)), 10000);

    editor = openEditor<QLineEdit>(commandTable(), 0, Ascii);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("\n\x0B"));
    editor->clear();
    QTest::keyClicks(editor, "abc");
    commit(commandTable(), editor);
    QCOMPARE(commandAt(0)->bytes(), QByteArray("abc"));
    QCOMPARE(commandTable()->model()->index(0, Hex).data().toString(), QString("616263"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("commandlist.ini", "Ping"), QVariant(QByteArray("abc")), 10000);
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::commandNameEditorRefusesRepeatsAndEmptyNames()
{
    addCommand("Ping", "P");
    addCommand("Pong", "Q");
    const struct
    {
        QString typed;
        QString message;
    } refusals[] = {
        { "Ping", "Command name repeated" },
        { "", "Command name can not be blank." },
        { "a\\b", "Command name can not contain / or \\." },
    };
    for (const auto &refusal : refusals) {
        catcher->clear();
        QLineEdit *editor = openEditor<QLineEdit>(commandTable(), 1, CommandName);
        QVERIFY(editor);
        editor->clear();
        QTest::keyClicks(editor, refusal.typed);
        commit(commandTable(), editor);
        QTRY_COMPARE_WITH_TIMEOUT(catcher->texts(), QStringList({ refusal.message }), 10000);
        QCOMPARE(commandNames(), QStringList({ "Ping", "Pong" }));
    }
    QCOMPARE(store()->commandBytes("Pong"), QByteArray("Q"));

    QLineEdit *editor = openEditor<QLineEdit>(commandTable(), 1, CommandName);
    QVERIFY(editor);
    editor->clear();
    QTest::keyClicks(editor, "Pang");
    commit(commandTable(), editor);
    QCOMPARE(commandNames(), QStringList({ "Ping", "Pang" }));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("commandlist.ini"), QStringList({ "Pang", "Ping" }), 10000);
    QCOMPARE(diskValue("commandlist.ini", "Pang"), QVariant(QByteArray("Q")));
}

void TstTableDelegates::nameCellsCommittedUnchangedSayNothing()
{
    addDevice("Alpha", "COM3");
    addCommand("Ping", "P");
    // Opened and left as it was, by Enter or by clicking elsewhere: Qt commits it either way.
    for (QTableView *view : { deviceTable(), commandTable() }) {
        QLineEdit *editor = openEditor<QLineEdit>(view, 0, 0);
        QVERIFY(editor);
        commit(view, editor);
        editor = openEditor<QLineEdit>(view, 0, 0);
        QVERIFY(editor);
        view->setCurrentIndex(view->model()->index(0, 1));
        QTRY_VERIFY_WITH_TIMEOUT(
            view->viewport()
                    ->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)
                    .count(editor)
                == 0,
            10000);
    }
    QCOMPARE(catcher->texts(), QStringList());
    QCOMPARE(deviceNames(), QStringList({ "Alpha" }));
    QCOMPARE(commandNames(), QStringList({ "Ping" }));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Alpha" }), 10000);
    QCOMPARE(diskValue("devicelist.ini", "Alpha_comport").toString(), QString("COM3"));
    QCOMPARE(diskValue("commandlist.ini", "Ping"), QVariant(QByteArray("P")));
}

void TstTableDelegates::hexCellRefusesTextThatIsNotHexAndKeepsIt()
{
    addCommand("Ping", QByteArray("\x01\x02", 2));
    QLineEdit *editor = openEditor<QLineEdit>(commandTable(), 0, Hex);
    QVERIFY(editor);
    editor->clear();
    QTest::keyClicks(editor, "41 zz");
    commit(commandTable(), editor);
    QTRY_COMPARE_WITH_TIMEOUT(
        catcher->texts(), QStringList({ "HEX can only hold hex digits: zz" }), 10000);
    QCOMPARE(commandAt(0)->bytes(), QByteArray("\x01\x02", 2));
    QCOMPARE(store()->commandBytes("Ping"), QByteArray("\x01\x02", 2));

    // The cell is being edited again, with the text as typed, for the operator to correct.
    QLineEdit *again = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((again = commandTable()->viewport()->findChild<QLineEdit *>(
                                  QString(), Qt::FindDirectChildrenOnly))
            && again != editor,
        10000);
    QCOMPARE(again->text(), QString("41 zz"));
    QCOMPARE(commandTable()->currentIndex(), commandTable()->model()->index(0, Hex));
    again->setText("41 54 0d");
    commit(commandTable(), again);
    QCOMPARE(commandAt(0)->bytes(), QByteArray("AT\r"));
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("commandlist.ini", "Ping"), QVariant(QByteArray("AT\r")), 10000);
    QCOMPARE(catcher->count(), 1);

    // A cell opened afterwards shows what is stored, not the refused text.
    editor = openEditor<QLineEdit>(commandTable(), 0, Hex);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("41540D"));
    commit(commandTable(), editor);
    QCOMPARE(catcher->count(), 1);
}

void TstTableDelegates::deleteRemovesTheDeviceAtOnce()
{
    addDevice("Alpha", "COM3");
    addDevice("Beta", "COM4");
    QTRY_COMPARE_WITH_TIMEOUT(
        diskKeys("devicenamelist.ini"), QStringList({ "Alpha", "Beta" }), 10000);

    QPushButton *remove = buttonAt(deviceTable(), 0, DeleteDevice);
    QVERIFY(remove);
    QCOMPARE(remove->text(), QString("Delete"));
    QTest::mouseClick(remove, Qt::LeftButton);
    // No question asked, and the store knows at once.
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(deviceNames(), QStringList({ "Beta" }));
    QVERIFY(!store()->deviceExists("Alpha"));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList({ "Beta" }), 10000);
    QCOMPARE(diskKeys("devicelist.ini"),
        QStringList({ "Beta_baudrate", "Beta_comport", "Beta_databits", "Beta_flowcontrol",
            "Beta_parity", "Beta_stopbits" }));
}

void TstTableDelegates::deleteRemovesTheCommandAtOnce()
{
    addCommand("Ping", "P");
    addCommand("Pong", "Q");
    QPushButton *remove = buttonAt(commandTable(), 1, DeleteCommand);
    QVERIFY(remove);
    QCOMPARE(remove->text(), QString("Delete"));
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(commandNames(), QStringList({ "Ping" }));
    QVERIFY(!store()->commandExists("Pong"));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("commandlist.ini"), QStringList({ "Ping" }), 10000);
}

void TstTableDelegates::everyRowShowsItsButtonsAndTheyFit()
{
    const auto check = [](QTableView *view, QList<QPair<int, QString>> cells) {
        const int rows = view->model()->rowCount();
        for (int row = 0; row < rows; ++row) {
            for (const auto &cell : cells) {
                QPushButton *button = buttonAt(view, row, cell.first);
                if (!button || button->text() != cell.second || !button->isVisible())
                    return false;
                // The whole button lies inside its own cell.
                const QRect rect(button->mapTo(view->viewport(), QPoint(0, 0)), button->size());
                if (!view->visualRect(view->model()->index(row, cell.first)).contains(rect))
                    return false;
                if (rect.height() < button->sizeHint().height())
                    return false;
            }
        }
        // One button per cell, no strays.
        return shownButtons(view).size() == rows * cells.size();
    };
    const QList<QPair<int, QString>> deviceCells { { DeleteDevice, "Delete" },
        { OpenDevice, "Open" } };
    const QList<QPair<int, QString>> commandCells { { DeleteCommand, "Delete" } };

    for (int i = 0; i < 4; ++i) {
        addDevice(QString("Dev%1").arg(i), "COM3");
        addCommand(QString("Cmd%1").arg(i), "x");
    }
    QTRY_VERIFY_WITH_TIMEOUT(check(deviceTable(), deviceCells), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(check(commandTable(), commandCells), 10000);

    modelOf(deviceTable())->removeData(1);
    modelOf(commandTable())->removeData(0);
    QTRY_VERIFY_WITH_TIMEOUT(check(deviceTable(), deviceCells), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(check(commandTable(), commandCells), 10000);

    // A device saved from the entry form gets its buttons too.
    app()->mainWin()->findChild<QLineEdit *>("deviceNameEdit")->setText("FromForm");
    QTest::mouseClick(app()->mainWin()->findChild<QPushButton *>("deviceSaveBtn"), Qt::LeftButton);
    QCOMPARE(modelOf(deviceTable())->rowCount(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(check(deviceTable(), deviceCells), 10000);
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::deviceButtonsActOnTheirOwnRowsAfterADelete()
{
    PtyPeer peerB, peerC;
    QVERIFY(peerB.mapTo("COM5"));
    QVERIFY(peerC.mapTo("COM6"));
    addDevice("A", "COM7");
    addDevice("B", "COM5");
    addDevice("C", "COM6");

    QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
    QCOMPARE(deviceNames(), QStringList({ "B", "C" }));

    // The row shown second is C's: its Open opens C's port and nothing else.
    QTest::mouseClick(buttonAt(deviceTable(), 1, OpenDevice), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));

    // The first row's Delete is B's now, and C's Delete still finds C, once the third row is
    // long gone.
    QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
    QCOMPARE(deviceNames(), QStringList({ "C" }));
    QVERIFY(!store()->deviceExists("B"));
    QVERIFY(store()->deviceExists("C"));
    // C is open already: its terminal comes forward.
    QTest::mouseClick(buttonAt(deviceTable(), 0, OpenDevice), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(app()->mainWin()->findChildren<AppDeviceDialog *>().size(), 1);
    QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
    QCOMPARE(deviceNames(), QStringList());
    QVERIFY(!store()->deviceExists("C"));
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("devicenamelist.ini"), QStringList(), 10000);
}

void TstTableDelegates::commandButtonsActOnTheirOwnRowsAfterADelete()
{
    addCommand("A", "1");
    addCommand("B", "2");
    addCommand("C", "3");
    // Held from the start: C's button was installed in the third row.
    QPointer<QPushButton> deleteC = buttonAt(commandTable(), 2, DeleteCommand);
    QVERIFY(deleteC);

    QTest::mouseClick(buttonAt(commandTable(), 0, DeleteCommand), Qt::LeftButton);
    QCOMPARE(commandNames(), QStringList({ "B", "C" }));
    QCOMPARE(buttonAt(commandTable(), 1, DeleteCommand), deleteC.data());

    QTest::mouseClick(deleteC, Qt::LeftButton);
    QCOMPARE(commandNames(), QStringList({ "B" }));
    QVERIFY(store()->commandExists("B"));
    QVERIFY(!store()->commandExists("C"));

    QTest::mouseClick(buttonAt(commandTable(), 0, DeleteCommand), Qt::LeftButton);
    QCOMPARE(commandNames(), QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(diskKeys("commandlist.ini"), QStringList(), 10000);
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::openOpensThatRowsDevice()
{
    PtyPeer peerA, peerB;
    QVERIFY(peerA.mapTo("COM5"));
    QVERIFY(peerB.mapTo("COM6"));
    addDevice("A", "COM5");
    addDevice("B", "COM6", 115200, 7, 2, 2, 2);

    QPushButton *open = buttonAt(deviceTable(), 1, OpenDevice);
    QVERIFY(open);
    QCOMPARE(open->text(), QString("Open"));
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree("COM6"));
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    // Opening neither changes nor copies the saved device.
    QCOMPARE(deviceNames(), QStringList({ "A", "B" }));
}

void TstTableDelegates::secondOpenOfAnOpenRowBringsItsTerminalForward()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    addDevice("A", "COM5");
    QTest::mouseClick(buttonAt(deviceTable(), 0, OpenDevice), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QTest::mouseClick(buttonAt(deviceTable(), 0, OpenDevice), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(app()->mainWin()->findChildren<AppDeviceDialog *>().size(), 1);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
}

void TstTableDelegates::deletingTheRowOfAnOpenDeviceIsSafe()
{
    PtyPeer peer;
    QVERIFY(peer.mapTo("COM5"));
    addDevice("A", "COM5");
    QTest::mouseClick(buttonAt(deviceTable(), 0, OpenDevice), Qt::LeftButton);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));

    QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
    QCOMPARE(deviceNames(), QStringList());
    QVERIFY(!store()->deviceExists("A"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The device still works on its own copy: it notices the line going away and says so.
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
    peer.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(catcher->count(), 1, 10000);
    QCOMPARE(catcher->texts(), QStringList({ peer.lostLineText("COM5", "A") }));

    // Closing it later releases the port, which opens again.
    app()->deviceManager()->closeDevice("COM5");
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    PtyPeer again;
    QVERIFY(again.mapTo("COM5"));
    addDevice("A", "COM5");
    QTest::mouseClick(buttonAt(deviceTable(), 0, OpenDevice), Qt::LeftButton);
    QCOMPARE(catcher->count(), 1);
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));
}

void TstTableDelegates::buttonCellsAreReusedNotPiledUp()
{
    QWidget *viewport = deviceTable()->viewport();
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 4; ++i)
            addDevice(QString("Dev%1").arg(i), "COM3");
        QCOMPARE(shownButtons(deviceTable()).size(), 8);
        while (modelOf(deviceTable())->rowCount() > 0)
            QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
        QCOMPARE(shownButtons(deviceTable()).size(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Never more cells than rows were shown at once.
        QVERIFY(viewport->findChildren<QPushButton *>().size() <= 8);
    }
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::editorsCloseOnEnterAfterRowsWereDeleted()
{
    // Deleted rows' cells must not be mistaken for later editors, whatever memory those get.
    for (int i = 0; i < 12; ++i)
        addDevice(QString("Dev%1").arg(i, 2, 10, QChar('0')), "COM3");
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(buttonAt(deviceTable(), 0, DeleteDevice), Qt::LeftButton);
    QCOMPARE(deviceNames(), QStringList({ "Dev10", "Dev11" }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    for (int i = 0; i < 24; ++i) {
        const int row = i % 2;
        const int column = BaudRate + i % 5;
        QComboBox *editor = openEditor<QComboBox>(deviceTable(), row, column);
        QVERIFY(editor);
        editor->setCurrentIndex(i % 2);
        QPointer<QComboBox> open(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!open || !open->isVisible(), 10000);
    }
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::idleTablesPaintNothing_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("3 rows") << 3;
    QTest::newRow("30 rows") << 30;
}

void TstTableDelegates::idleTablesPaintNothing()
{
    QFETCH(int, rows);
    for (int i = 0; i < rows; ++i) {
        addDevice(QString("Dev%1").arg(i, 2, 10, QChar('0')), "COM3");
        addCommand(QString("Cmd%1").arg(i, 2, 10, QChar('0')), "x");
    }
    QWidget *devices = deviceTable()->viewport();
    QWidget *commands = commandTable()->viewport();
    PaintCounter deviceCounter(devices);
    PaintCounter commandCounter(commands);

    // Let the new rows be laid out and painted once.
    devices->update();
    commands->update();
    QTRY_VERIFY_WITH_TIMEOUT(deviceCounter.paints > 0 && commandCounter.paints > 0, 10000);
    // Buttons for the rows in view, not for every row.
    QTRY_COMPARE_WITH_TIMEOUT(
        shownButtons(deviceTable()).size(), 2 * rowsInView(deviceTable()), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        shownButtons(commandTable()).size(), rowsInView(commandTable()), 10000);
    // Everything the event loop holds is handled: an idle window has nothing left to do.
    const auto settle = [] {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    };
    settle();
    QVERIFY(rowsInView(deviceTable()) <= rows);
    const int deviceButtons = devices->findChildren<QPushButton *>().size();
    const int commandButtons = commands->findChildren<QPushButton *>().size();

    // An idle window repaints nothing, however many rows it has.
    deviceCounter.paints = commandCounter.paints = 0;
    settle();
    QCOMPARE(deviceCounter.paints, 0);
    QCOMPARE(commandCounter.paints, 0);

    // Painting creates no widgets.
    deviceCounter.childrenAdded = commandCounter.childrenAdded = 0;
    devices->repaint();
    commands->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(deviceCounter.childrenAdded, 0);
    QCOMPARE(commandCounter.childrenAdded, 0);
    QCOMPARE(devices->findChildren<QPushButton *>().size(), deviceButtons);
    QCOMPARE(commands->findChildren<QPushButton *>().size(), commandButtons);
    deviceCounter.paints = commandCounter.paints = 0;
    settle();
    QCOMPARE(deviceCounter.paints, 0);
    QCOMPARE(commandCounter.paints, 0);
}

void TstTableDelegates::buttonAndSpacerCellsPaintNothing_data()
{
    QTest::addColumn<bool>("deviceTableCell");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("paints");
    QTest::newRow("device name") << true << int(DeviceName) << true;
    QTest::newRow("device delete") << true << int(DeleteDevice) << false;
    QTest::newRow("device open") << true << int(OpenDevice) << false;
    QTest::newRow("command hex") << false << int(Hex) << true;
    QTest::newRow("command delete") << false << int(DeleteCommand) << false;
    QTest::newRow("command spacer") << false << int(CommandSpacer) << false;
}

void TstTableDelegates::buttonAndSpacerCellsPaintNothing()
{
    QFETCH(bool, deviceTableCell);
    QFETCH(int, column);
    QFETCH(bool, paints);
    addDevice("Cam1", "COM3");
    addCommand("Ping", "P");
    QTableView *view = deviceTableCell ? deviceTable() : commandTable();
    const QModelIndex index = view->model()->index(0, column);
    const int childrenBefore = view->viewport()->children().size();

    // Selected and current: the standard painting would fill and frame the cell.
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = QRect(0, 0, 80, 24);
    option.state |= QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_Active;
    option.showDecorationSelected = true;
    QImage image(80, 24, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QImage blank = image;
    {
        QPainter painter(&image);
        view->itemDelegate()->paint(&painter, option, index);
    }
    QCOMPARE(image != blank, paints);
    QCOMPARE(view->viewport()->children().size(), childrenBefore);
}

void TstTableDelegates::rowButtonsKeepTheWindowsLook()
{
    addDevice("Cam1", "COM3");
    QPushButton *open = buttonAt(deviceTable(), 0, OpenDevice);
    QVERIFY(open);
    // Inside the rounded corner, above the caption: grey, lighter under the mouse, dark pressed.
    const auto shade = [open] {
        return open->grab().toImage().pixelColor(open->width() / 2, 3);
    };
    QVERIFY(open->width() >= 60);
    QCOMPARE(shade(), QColor(0x5c, 0x5c, 0x5c));
    QTest::mouseMove(open, open->rect().center());
    QTRY_VERIFY_WITH_TIMEOUT(open->underMouse(), 10000);
    QCOMPARE(shade(), QColor(0x72, 0x72, 0x72));
    open->setDown(true);
    QCOMPARE(shade(), QColor(0x47, 0x47, 0x47));
    open->setDown(false);
    QTest::mouseMove(deviceTable()->viewport(), QPoint(1, 1));
}

void TstTableDelegates::rowButtonsWorkFromTheKeyboardAndAreNamed()
{
    addCommand("A", "1");
    addCommand("B", "2");
    addCommand("C", "3");
    QPushButton *deleteB = buttonAt(commandTable(), 1, DeleteCommand);
    QVERIFY(deleteB);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(deleteB);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::Button);
    QCOMPARE(accessible->text(QAccessible::Name), QString("Delete"));

    // Not a stop of Tab: the table is. Its current cell takes Return or Space.
    QCOMPARE(deleteB->focusPolicy(), Qt::NoFocus);
    QTableView *view = commandTable();
    app()->mainWin()->activateWindow();
    view->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY_WITH_TIMEOUT(view->hasFocus(), 10000);
    view->setCurrentIndex(view->model()->index(1, DeleteCommand));
    QTRY_VERIFY_WITH_TIMEOUT(deleteB->property("current").toBool(), 10000);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(commandNames(), QStringList({ "A", "C" }));
    QVERIFY(!store()->commandExists("B"));
    // The current cell is now C's Delete, and Return presses it.
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(commandNames(), QStringList({ "A" }));
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(commandNames(), QStringList());
    QCOMPARE(catcher->count(), 0);
}

void TstTableDelegates::tenThousandRowsMakeAScreenfulOfButtons()
{
    // A table of its own with the window's look, so the saved files are not involved.
    auto *records = new QList<AppTableData *>();
    for (int i = 0; i < 10000; ++i)
        records->append(new AppDeviceData(
            QString("Dev%1").arg(i, 5, 10, QChar('0')), "COM3", 9600, 8, 0, 0, 0));
    AppDeviceTableModel model(records);
    QTableView view;
    view.setStyleSheet(app()->mainWin()->styleSheet());
    view.setModel(&model);
    AppDeviceTableDelegate delegate(&view);
    view.setItemDelegate(&delegate);
    view.resize(900, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    // Every row in view has its two buttons, and no more cells exist than the view holds.
    const auto screenful = [&view] {
        const int inView = rowsInView(&view);
        return inView > 3 && inView < 30 && shownButtons(&view).size() == 2 * inView
            && view.viewport()->findChildren<QPushButton *>().size() <= 2 * (inView + 1);
    };
    QTRY_VERIFY_WITH_TIMEOUT(screenful(), 10000);
    // Scrolled away, the first rows must not pull the view back.
    view.scrollToBottom();
    QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    QTRY_VERIFY_WITH_TIMEOUT(screenful(), 10000);
    for (int page = 0; page < 20; ++page) {
        view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(screenful());
    }

    // The buttons of rows far down act on their own rows.
    QPushButton *last = buttonAt(&view, 9999, DeleteDevice);
    QVERIFY(last);
    QTest::mouseClick(last, Qt::LeftButton);
    QCOMPARE(model.rowCount(), 9999);
    QCOMPARE(model.index(9998, DeviceName).data().toString(), QString("Dev09998"));
    QPushButton *middle = buttonAt(&view, 5000, DeleteDevice);
    QVERIFY(middle);
    QTest::mouseClick(middle, Qt::LeftButton);
    QCOMPARE(model.index(5000, DeviceName).data().toString(), QString("Dev05001"));
    QCOMPARE(model.index(4999, DeviceName).data().toString(), QString("Dev04999"));
    QTRY_VERIFY_WITH_TIMEOUT(screenful(), 10000);
    QCOMPARE(catcher->count(), 0);
}

VT_TEST_MAIN(TstTableDelegates)
#include "tst_tabledelegates.moc"
