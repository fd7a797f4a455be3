// Choosing a port and a line speed: the ports the system has next to COM1 to COM100, typed and
// high baud rates in the entry form and the device table, and a main window that shows every
// choice in full at its first size.
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "diskini.h"
#include "messageboxcatcher.h"
#include "models/appabstracttablemodel.h"
#include "models/settingcombos.h"
#include "ptypeer.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/portlist.h"
#include "serial/serialsettings.h"
#include "testapp.h"
#include "ui/appdevicedialog.h"
#include "ui/appmainwin.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QToolTip>

#include <termios.h>

namespace {

enum DeviceColumn { DeviceName, Port, BaudRate };

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

template<typename T> T *child(const char *name)
{
    return app()->mainWin()->centralWidget()->findChild<T *>(QString::fromLatin1(name));
}

QTableView *deviceTable()
{
    return child<QTableView>("deviceTable");
}

AppAbstractTableModel *devices()
{
    return qobject_cast<AppAbstractTableModel *>(deviceTable()->model());
}

AppDeviceData *deviceAt(int row)
{
    return static_cast<AppDeviceData *>(devices()->getData(row));
}

void addDevice(const QString &name, const QString &port, int baudRate = 9600)
{
    devices()->addData(new AppDeviceData(name, port, baudRate, 8, 0, 0, 0));
    app()->settingsManager()->addDevice(name, port, baudRate, 0, 8, 0, 0);
}

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

FoundPort adapter(const QString &name, const QString &description = QString())
{
    return { name, QStringLiteral("/dev/") + name, description, QString(), QString() };
}

// Opens the real editor of a cell, as a double click would.
template<typename Editor> Editor *openEditor(int row, int column)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QModelIndex index = devices()->index(row, column);
    deviceTable()->setCurrentIndex(index);
    deviceTable()->edit(index);
    const QList<Editor *> editors
        = deviceTable()->viewport()->findChildren<Editor *>(QString(), Qt::FindDirectChildrenOnly);
    return editors.size() == 1 ? editors.first() : nullptr;
}

void commit(QWidget *editor)
{
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!deviceTable()
                                  ->viewport()
                                  ->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)
                                  .contains(editor),
        10000);
}

// The width a combo gives its text: its edit field, less what an editable combo's line edit
// keeps for itself.
int textRoom(QComboBox *combo, const QString &text)
{
    if (QLineEdit *edit = combo->lineEdit()) {
        edit->setText(text);
        edit->setCursorPosition(0);
        const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
        edit->setCursorPosition(text.size());
        // A text that does not fit scrolls, and its end comes closer than its full width.
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() - start
                >= combo->fontMetrics().horizontalAdvance(text)
            ? combo->fontMetrics().horizontalAdvance(text)
            : 0;
    }
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.currentText = text;
    return combo->style()
        ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
        .width();
}

} // namespace

class TstPortChoice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    // First, while the window still has the size it opened with.
    void firstSizeShowsEveryChoiceInFull();
    void historyShowsWholeStampsAndCutTextsOnHover();
    void init();
    void cleanup();

    void foundPortsComeFirstAndAreNotListedTwice_data();
    void foundPortsComeFirstAndAreNotListedTwice();
    void toolTipSaysWhatThePortIs();
    void typedBaudRatesAreRead_data();
    void typedBaudRatesAreRead();
    void formOffersFoundPortsAboveCom1();
    void listIsAskedAgainWhenOpenedNeverWhileIdle();
    void foundPortIsSavedAndOpenedByItsName();
    void tableEditorOffersFoundPortsAndKeepsAnUnlistedOne();
    void tableEditorTakesAnyPositiveRate_data();
    void tableEditorTakesAnyPositiveRate();
    void formTakesAnyPositiveRate();
    void highRatesTalkOnAPty_data();
    void highRatesTalkOnAPty();

private:
    QScopedPointer<MessageBoxCatcher> catcher;
    int sourceCalls = 0;
    QList<FoundPort> found;
};

void TstPortChoice::initTestCase()
{
    QVERIFY(QTest::qWaitForWindowExposed(app()->mainWin()));
}

void TstPortChoice::firstSizeShowsEveryChoiceInFull()
{
    const QWidget *window = app()->mainWin();
    QVERIFY2(window->frameGeometry().width() <= 1280, qPrintable(QString::number(window->width())));
    const QList<QPair<const char *, QString>> longest {
        { "portCombo", "COM100" },
        { "baudRateCombo", "3000000" },
        { "dataBitsCombo", "8" },
        { "stopBitsCombo", "OneAndHalfStop" },
        { "parityCombo", "None" },
        { "flowControlCombo", "Xon/Xoff" },
    };
    for (const auto &entry : longest) {
        auto *combo = child<QComboBox>(entry.first);
        QVERIFY(combo);
        const QString before = combo->currentText();
        const int needed = combo->fontMetrics().horizontalAdvance(entry.second);
        QVERIFY2(textRoom(combo, entry.second) >= needed,
            qPrintable(QStringLiteral("%1: %2 px for %3 px of \"%4\"")
                           .arg(entry.first)
                           .arg(textRoom(combo, entry.second))
                           .arg(needed)
                           .arg(entry.second)));
        combo->setCurrentText(before);
    }
}

void TstPortChoice::historyShowsWholeStampsAndCutTextsOnHover()
{
    auto *history = child<QTableView>("historyTable");
    const int stamp = history->fontMetrics().horizontalAdvance("07.12.2026 10:44:07.123");
    QVERIFY2(history->horizontalHeader()->sectionSize(0) > stamp,
        qPrintable(QString::number(history->horizontalHeader()->sectionSize(0))));

    // A long block in the narrow Bytes column shows whole on hover.
    QWidget *window = app()->mainWin();
    AppDeviceData record("Hover", "COM9", 9600, 8, 0, 0, 0);
    const QByteArray bytes(40, 'A');
    app()->mainWin()->addHistory(new AppHistoryData(QStringLiteral("07.12.2026 10:44:07.123"),
        QStringLiteral("Sent"), bytes, record.portName(), record.baudRate(), record.dataBits(),
        record.stopBits(), record.parity(), record.flowControl()));
    window->activateWindow();
    // Rows reach the table a frame at a time.
    QTRY_COMPARE_WITH_TIMEOUT(history->model()->rowCount(), 1, 10000);
    const QModelIndex cell = history->model()->index(0, 2);
    const QRect rect = history->visualRect(cell);
    QVERIFY(rect.isValid());
    QHelpEvent help(
        QEvent::ToolTip, rect.center(), history->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(history->viewport(), &help);
    QTRY_COMPARE_WITH_TIMEOUT(QToolTip::text(), QString(bytes.toHex().toUpper()), 10000);
    qobject_cast<AppAbstractTableModel *>(history->model())->clearData();
}

void TstPortChoice::init()
{
    found.clear();
    sourceCalls = 0;
    setFoundPortsSource([this] {
        ++sourceCalls;
        return found;
    });
    while (devices()->rowCount() > 0)
        devices()->removeData(0);
    child<PortCombo>("portCombo")->setCurrentText("COM1");
    child<QComboBox>("baudRateCombo")->setCurrentText("9600");
    catcher.reset(new MessageBoxCatcher);
}

void TstPortChoice::cleanup()
{
    const auto terminals = app()->mainWin()->findChildren<AppDeviceDialog *>();
    for (AppDeviceDialog *terminal : terminals)
        terminal->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    setFoundPortsSource(nullptr);
    catcher.reset();
}

void TstPortChoice::foundPortsComeFirstAndAreNotListedTwice_data()
{
    QTest::addColumn<QStringList>("foundNames");
    QTest::addColumn<QStringList>("head");
    QTest::addColumn<QStringList>("withToolTip");

    QTest::newRow("none") << QStringList() << QStringList({ "COM1", "COM2" }) << QStringList();
    QTest::newRow("Linux adapters, in natural order")
        << QStringList({ "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyUSB2" })
        << QStringList({ "ttyACM0", "ttyUSB2", "ttyUSB10", "COM1" })
        << QStringList({ "ttyACM0", "ttyUSB2", "ttyUSB10" });
    QTest::newRow("Windows names are not listed twice")
        << QStringList({ "COM3", "COM101" }) << QStringList({ "COM101", "COM1", "COM2", "COM3" })
        << QStringList({ "COM101", "COM3" });
}

void TstPortChoice::foundPortsComeFirstAndAreNotListedTwice()
{
    QFETCH(QStringList, foundNames);
    QFETCH(QStringList, head);
    QFETCH(QStringList, withToolTip);
    QList<FoundPort> ports;
    for (const QString &name : foundNames)
        ports << adapter(name, "USB Serial");

    const QList<PortChoice> choices = portChoices(ports);
    QStringList names;
    QStringList tipped;
    for (const PortChoice &choice : choices) {
        names << choice.name;
        if (!choice.toolTip.isEmpty())
            tipped << choice.name;
    }
    QCOMPARE(names.mid(0, head.size()), head);
    QCOMPARE(names.removeDuplicates(), 0);
    QCOMPARE(names.size(), 100 + withToolTip.size() - (withToolTip.contains("COM3") ? 1 : 0));
    QCOMPARE(names.last(), QString("COM100"));
    QCOMPARE(tipped, withToolTip);
}

void TstPortChoice::toolTipSaysWhatThePortIs()
{
    QCOMPARE(foundPortToolTip({ "ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1B2C3" }),
        QString("FT232R USB UART\nManufacturer: FTDI\nSerial number: A1B2C3\n/dev/ttyUSB0"));
    // What the system does not know is left out.
    QCOMPARE(foundPortToolTip({ "ttyS0", "/dev/ttyS0", QString(), QString(), QString() }),
        QString("/dev/ttyS0"));
}

void TstPortChoice::typedBaudRatesAreRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rate");
    QTest::newRow("listed") << "921600" << 921600;
    QTest::newRow("not listed") << "250000" << 250000;
    QTest::newRow("spaces around") << " 74880 " << 74880;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-9600" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "fast" << 0;
    QTest::newRow("beyond 32 bits") << "99999999999" << 0;
}

void TstPortChoice::typedBaudRatesAreRead()
{
    QFETCH(QString, text);
    QFETCH(int, rate);
    QCOMPARE(baudRateFromText(text), rate);
    QCOMPARE(baudRateTexts().mid(8),
        QStringList({ "230400", "460800", "921600", "1000000", "2000000", "3000000" }));
}

void TstPortChoice::formOffersFoundPortsAboveCom1()
{
    found = { { "ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1B2C3" },
        adapter("ttyACM0") };
    auto *ports = child<PortCombo>("portCombo");
    QVERIFY(ports);
    ports->setCurrentText("COM1");
    ports->showPopup();
    // Opened at the top, where the found ports are, whatever the style does with COM1.
    QCOMPARE(ports->view()->indexAt(QPoint(1, 1)).row(), 0);
    ports->hidePopup();

    const QStringList items = itemsOf(ports);
    // The found ports, a separator line, then COM1 to COM100.
    QCOMPARE(items.mid(0, 4), QStringList({ "ttyACM0", "ttyUSB0", QString(), "COM1" }));
    QCOMPARE(items.size(), 103);
    QCOMPARE(ports->currentText(), QString("COM1"));
    QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(),
        QString("FT232R USB UART\nManufacturer: FTDI\nSerial number: A1B2C3\n/dev/ttyUSB0"));
    QVERIFY(ports->itemData(3, Qt::ToolTipRole).isNull());
}

void TstPortChoice::listIsAskedAgainWhenOpenedNeverWhileIdle()
{
    auto *ports = child<PortCombo>("portCombo");
    found = { adapter("ttyUSB0") };
    ports->showPopup();
    ports->hidePopup();
    ports->setCurrentText("ttyUSB0");
    QCOMPARE(ports->currentText(), QString("ttyUSB0"));

    // Nothing asks the system while the window is idle.
    sourceCalls = 0;
    QTest::qWait(500);
    QCOMPARE(sourceCalls, 0);

    // Plugged in meanwhile: listed at the next opening. Unplugged: the chosen name stays.
    found = { adapter("ttyUSB1") };
    ports->showPopup();
    ports->hidePopup();
    QCOMPARE(sourceCalls, 1);
    const QStringList items = itemsOf(ports);
    QVERIFY(items.contains("ttyUSB1"));
    QCOMPARE(ports->currentText(), QString("ttyUSB0"));
    QCOMPARE(ports->itemData(ports->currentIndex(), Qt::ToolTipRole).toString(),
        QString("Not found on this system right now"));
    QCOMPARE(items.count("ttyUSB0"), 1);
}

void TstPortChoice::foundPortIsSavedAndOpenedByItsName()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    // A pty is not listed by the system; offered as found, it opens through /dev like an adapter.
    const QString name = peer.slavePath().mid(QStringLiteral("/dev/").size());
    found = { { name, peer.slavePath(), "USB Serial", "Maker", "42" } };
    auto *ports = child<PortCombo>("portCombo");
    ports->showPopup();
    ports->hidePopup();
    ports->setCurrentIndex(ports->findText(name));
    child<QLineEdit>("deviceNameEdit")->setText("Adapter");
    child<QComboBox>("baudRateCombo")->setCurrentText("921600");
    QTest::mouseClick(child<QPushButton>("deviceSaveBtn"), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(deviceAt(0)->portName(), name);
    QTRY_COMPARE_WITH_TIMEOUT(
        diskValue("devicelist.ini", "Adapter_comport").toString(), name, 10000);
    QCOMPARE(diskValue("devicelist.ini", "Adapter_baudrate").toInt(), 921600);

    QTest::mouseClick(child<QPushButton>("deviceOpenBtn"), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QVERIFY(!app()->deviceManager()->isPortFree(name));
    QVERIFY(peer.write("ping"));
    auto *terminal = app()->mainWin()->findChild<AppDeviceDialog *>();
    QVERIFY(terminal && terminal->servedDevice());
    QSignalSpy received(terminal->servedDevice(), &AppDevice::onDataFull);
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
}

void TstPortChoice::tableEditorOffersFoundPortsAndKeepsAnUnlistedOne()
{
    found = { adapter("ttyUSB0", "USB Serial") };
    addDevice("Gone", "ttyUSB7");
    addDevice("Odd", "COM101");

    for (int row = 0; row < 2; ++row) {
        const QString stored = deviceAt(row)->portName();
        auto *editor = openEditor<PortCombo>(row, Port);
        QVERIFY(editor);
        QVERIFY(itemsOf(editor).contains("ttyUSB0"));
        QCOMPARE(editor->itemData(editor->findText("ttyUSB0"), Qt::ToolTipRole).toString(),
            QString("USB Serial\n/dev/ttyUSB0"));
        // An unplugged adapter's name is neither lost nor replaced by COM1 on leaving the cell.
        QCOMPARE(editor->currentText(), stored);
        commit(editor);
        QCOMPARE(deviceAt(row)->portName(), stored);
        QTRY_COMPARE_WITH_TIMEOUT(
            diskValue("devicelist.ini", deviceAt(row)->name() + "_comport").toString(), stored,
            10000);
    }

    // Picking a found port stores its name as it is.
    auto *editor = openEditor<PortCombo>(0, Port);
    editor->setCurrentIndex(editor->findText("ttyUSB0"));
    commit(editor);
    QCOMPARE(deviceAt(0)->portName(), QString("ttyUSB0"));
    QCOMPARE(catcher->count(), 0);
}

void TstPortChoice::tableEditorTakesAnyPositiveRate_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("unlisted rate left alone") << 250000 << QString() << 250000 << QStringList();
    QTest::newRow("high rate typed") << 9600 << "3000000" << 3000000 << QStringList();
    QTest::newRow("other rate typed") << 9600 << "1500000" << 1500000 << QStringList();
    QTest::newRow("zero refused") << 74880 << "0" << 74880
                                  << QStringList({ "BaudRate must be a positive whole number." });
    QTest::newRow("nothing refused")
        << 74880 << "" << 74880 << QStringList({ "BaudRate must be a positive whole number." });
    // Letters cannot be typed at all.
    QTest::newRow("letters ignored") << 9600 << "12ab3" << 123 << QStringList();
}

void TstPortChoice::tableEditorTakesAnyPositiveRate()
{
    QFETCH(int, stored);
    QFETCH(QString, typed);
    QFETCH(int, kept);
    QFETCH(QStringList, messages);
    addDevice("Board", "COM3", stored);

    auto *editor = openEditor<QComboBox>(0, BaudRate);
    QVERIFY(editor);
    QVERIFY(editor->isEditable());
    QCOMPARE(editor->currentText(), QString::number(stored));
    if (!typed.isNull()) {
        editor->lineEdit()->selectAll();
        QTest::keyClick(editor->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(editor->lineEdit(), typed);
    }
    commit(editor);
    QCOMPARE(catcher->texts(), messages);
    QCOMPARE(deviceAt(0)->baudRate(), kept);
    QTRY_COMPARE_WITH_TIMEOUT(diskValue("devicelist.ini", "Board_baudrate").toInt(), kept, 10000);

    // Shown again as it is, and kept when the cell is left once more.
    editor = openEditor<QComboBox>(0, BaudRate);
    QCOMPARE(editor->currentText(), QString::number(kept));
    commit(editor);
    QCOMPARE(deviceAt(0)->baudRate(), kept);
}

void TstPortChoice::formTakesAnyPositiveRate()
{
    auto *rates = child<QComboBox>("baudRateCombo");
    QVERIFY(rates->isEditable());
    QCOMPARE(rates->currentText(), QString("9600"));
    rates->lineEdit()->clear();
    QTest::keyClicks(rates->lineEdit(), "25x0000");
    QCOMPARE(rates->currentText(), QString("250000"));
    child<QLineEdit>("deviceNameEdit")->setText("Typed");
    QTest::mouseClick(child<QPushButton>("deviceSaveBtn"), Qt::LeftButton);
    QCOMPARE(catcher->count(), 0);
    QCOMPARE(deviceAt(0)->baudRate(), 250000);
    QTRY_COMPARE_WITH_TIMEOUT(diskValue("devicelist.ini", "Typed_baudrate").toInt(), 250000, 10000);
    // The typed rate is used, not added to the list.
    QVERIFY(!itemsOf(rates).contains("250000"));

    for (const char *text : { "", "0" }) {
        rates->setCurrentText(text);
        child<QLineEdit>("deviceNameEdit")->setText(QStringLiteral("Refused %1").arg(text));
        QTest::mouseClick(child<QPushButton>("deviceSaveBtn"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>("deviceOpenBtn"), Qt::LeftButton);
    }
    QCOMPARE(catcher->texts(),
        QStringList(QVector<QString>(4, "BaudRate must be a positive whole number.").toList()));
    QCOMPARE(devices()->rowCount(), 1);
    QVERIFY(app()->mainWin()->findChildren<AppDeviceDialog *>().isEmpty());
}

void TstPortChoice::highRatesTalkOnAPty_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("termiosSpeed"); // -1: not a termios constant
    QTest::newRow("921600") << 921600 << int(B921600);
    QTest::newRow("3000000") << 3000000 << int(B3000000);
    // Not a termios constant: a custom speed, which a pty accepts.
    QTest::newRow("250000") << 250000 << -1;
}

void TstPortChoice::highRatesTalkOnAPty()
{
    QFETCH(int, rate);
    QFETCH(int, termiosSpeed);
    PtyPeer peer;
    QVERIFY(peer.isValid());
    const QString name = peer.slavePath().mid(QStringLiteral("/dev/").size());
    addDevice("Fast", name, rate);

    app()->openDevice(deviceAt(0));
    QCOMPARE(catcher->texts(), QStringList());
    auto *terminal = app()->mainWin()->findChild<AppDeviceDialog *>();
    QVERIFY(terminal && terminal->servedDevice());
    auto *port = terminal->servedDevice()->findChild<QSerialPort *>();
    QVERIFY(port && port->isOpen());
    QCOMPARE(port->baudRate(QSerialPort::Input), rate);
    QCOMPARE(port->baudRate(QSerialPort::Output), rate);
    QCOMPARE(port->error(), QSerialPort::NoError);
    termios settings {};
    QCOMPARE(tcgetattr(peer.masterFd(), &settings), 0);
    // Other rates are set as a custom speed (BOTHER, 0010000 in the kernel's headers, which
    // clash with <termios.h>).
    QCOMPARE(int(settings.c_cflag & CBAUD), termiosSpeed >= 0 ? termiosSpeed : 0010000);

    // Both directions work at that rate.
    QSignalSpy received(terminal->servedDevice(), &AppDevice::onDataFull);
    QVERIFY(peer.write("\x01\x02\x03"));
    QTRY_VERIFY_WITH_TIMEOUT(!received.isEmpty(), 10000);
    QCOMPARE(received.first().first().toByteArray(), QByteArray("\x01\x02\x03"));
    terminal->servedDevice()->write("back");
    QCOMPARE(peer.read(4), QByteArray("back"));
}

// As VT_TEST_MAIN, but with the font a desktop session gives the program (9 point) instead of
// the offscreen platform's 12 point, before the main window takes its first size.
int main(int argc, char **argv)
{
    QTemporaryDir dataHome;
    if (!dataHome.isValid())
        return 2;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    VerantisTerminalApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TstPortChoice tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_portchoice.moc"
