// The terminal dialog end to end: opened from the main window, talking to a real pty peer,
// logging, recording history, loading saved commands, clearing and copying its log.
#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "ui/ansirenderer.h"
#include "util/conversion.h"

#include "appwindows.h"
#include "messageboxcatcher.h"
#include "ptypeer.h"
#include "testapp.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringListModel>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <cerrno>

using namespace AppWindows;

namespace {

VerantisTerminalApp *app()
{
    return VerantisTerminalApp::app();
}

AppHistoryData *historyRow(int row)
{
    return static_cast<AppHistoryData *>(tableModel("historyTable")->getData(row));
}

int historyRows()
{
    return tableModel("historyTable")->rowCount();
}

// Everything received so far, joined over the batches in which it came.
QByteArray receivedBytes()
{
    QByteArray bytes;
    for (int row = 0; row < historyRows(); ++row) {
        if (historyRow(row)->direction() == QLatin1String("Received"))
            bytes += historyRow(row)->bytes();
    }
    return bytes;
}

QString log(const AppDeviceDialog *dialog)
{
    return widget<QTextEdit>(dialog, "logText")->toPlainText();
}

int paragraphs(const AppDeviceDialog *dialog)
{
    const QTextDocument *document = widget<QTextEdit>(dialog, "logText")->document();
    return document->isEmpty() ? 0 : document->blockCount();
}

void click(const AppDeviceDialog *dialog, const char *button)
{
    QTest::mouseClick(widget<QPushButton>(dialog, button), Qt::LeftButton);
}

QStringList labelTexts(const AppDeviceDialog *dialog)
{
    QStringList texts;
    for (const char *name : { "deviceNameLabel", "portNumLabel", "baudRateLabel", "dataBitsLabel",
             "stopBitsLabel", "parityLabel", "flowControlLabel" })
        texts << widget<QLabel>(dialog, name)->text();
    return texts;
}

// What the log shows for one block.
QString paragraph(const QString &direction, const QByteArray &bytes)
{
    return direction + QLatin1Char(':') + bytesToHex(bytes) + QStringLiteral("-------")
        + bytesToAscii(bytes);
}

void verifyHistoryRow(int row, const QString &direction, const QByteArray &bytes,
    const AppDeviceData &device, const QDateTime &notBefore, const QDateTime &notAfter)
{
    AppHistoryData *record = historyRow(row);
    QVERIFY(record);
    QCOMPARE(record->direction(), direction);
    QCOMPARE(record->bytes(), bytes);
    QCOMPARE(record->portName(), device.portName());
    QCOMPARE(record->baudRate(), device.baudRate());
    QCOMPARE(record->dataBits(), device.dataBits());
    QCOMPARE(record->stopBits(), device.stopBits());
    QCOMPARE(record->parity(), device.parity());
    QCOMPARE(record->flowControl(), device.flowControl());
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$"))
                 .match(record->time())
                 .hasMatch(),
        qPrintable(record->time()));
    const QDateTime time
        = QDateTime::fromString(record->time(), QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
    QVERIFY(time.isValid());
    QVERIFY(time >= notBefore);
    QVERIFY(time <= notAfter);
}

// The device form of the main window, filled as the operator would.
void fillDeviceForm(const AppDeviceData &device)
{
    mainWidget<QLineEdit>("deviceNameEdit")->setText(device.name());
    mainWidget<QComboBox>("portCombo")->setCurrentText(device.portName());
    mainWidget<QComboBox>("baudRateCombo")->setCurrentText(QString::number(device.baudRate()));
    mainWidget<QComboBox>("dataBitsCombo")->setCurrentText(QString::number(device.dataBits()));
    mainWidget<QComboBox>("stopBitsCombo")->setCurrentIndex(device.stopBits());
    mainWidget<QComboBox>("parityCombo")->setCurrentIndex(device.parity());
    mainWidget<QComboBox>("flowControlCombo")->setCurrentIndex(device.flowControl());
}

// The "Open" button that the device table shows in the given row, if any (alone in its cell or
// inside a cell widget).
QPushButton *rowOpenButton(int row)
{
    auto *view = mainWidget<QTableView>("deviceTable");
    for (int column = 0; column < view->model()->columnCount(); ++column) {
        QWidget *cell = view->indexWidget(view->model()->index(row, column));
        if (!cell)
            continue;
        QList<QPushButton *> buttons = cell->findChildren<QPushButton *>();
        if (auto *button = qobject_cast<QPushButton *>(cell))
            buttons.prepend(button);
        for (QPushButton *button : qAsConst(buttons)) {
            if (button->text() == QLatin1String("Open"))
                return button;
        }
    }
    return nullptr;
}

} // namespace

class TstTerminalDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openFromEntryFormShowsTheDevice();
    void openFromSavedRowShowsTheDevice();
    void openDeviceShowsOneModelessTerminalPerDevice();
    void failedOpenShowsNoTerminal();
    void sendLogsRecordsAndWritesTheHexBytes();
    void receivedBatchIsLoggedAndRecorded();
    void twoBatchesGiveTwoParagraphsAndTwoRows();
    void sendWhileHexIsBeingEditedUsesTheTextAsTyped();
    void sendRefusesTextThatIsNotHex();
    void hexFieldHasTheFocusWhenTheTerminalOpens();
    void sendWithEmptyHexDoesNothing();
    void returnInAFieldBringsBothInStepAndSends();
    void loadWithEmptyComboEmptiesBothFields();
    void loadFillsBothFieldsAndSendsNothing();
    void savedCommandChoiceFollowsTheMainWindow();
    void clearEmptiesTheLogButNotTheHistory();
    void copyPutsTheLogOnTheClipboard();
    void markupIsLoggedAsText();
    void controlBytesStayInTheirParagraph_data();
    void controlBytesStayInTheirParagraph();
    void portErrorLogsOneErrorAfterItsMessage();
    void lostLineLogsItsEventAndNoError();
    void viewsShowAndCopyWhatTheyShow();

private:
    // Opens the record through the application object; returns its new terminal.
    AppDeviceDialog *open(AppDeviceData *device);

    QScopedPointer<MessageBoxCatcher> catcher;
    QScopedPointer<PtyPeer> peer;
    AppDeviceData device { QStringLiteral("Lab 1"), QStringLiteral("COM5"), 19200, 7, 2, 1, 1 };
};

void TstTerminalDialog::init()
{
    catcher.reset(new MessageBoxCatcher);
    peer.reset(new PtyPeer);
    QVERIFY(peer->mapTo("COM5"));
    // The button, so rows still waiting for their frame go as well.
    mainWidget<QPushButton>("clearHistoryBtn")->click();
}

void TstTerminalDialog::cleanup()
{
    for (AppDeviceDialog *dialog : terminals())
        dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(mainWindow()->findChildren<AppDeviceDialog *>().isEmpty(), 10000);
    // Whatever a failed test left registered is released, so the next test starts clean.
    const bool wasFree = app()->deviceManager()->isPortFree("COM5");
    app()->deviceManager()->closeDevice("COM5");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    peer.reset();
    catcher.reset();
    app()->settingsManager()->setDeviceOption(device.name(), "logview", QVariant());
    QVERIFY(wasFree);
}

AppDeviceDialog *TstTerminalDialog::open(AppDeviceData *record)
{
    const TerminalSnapshot before = snapshot();
    app()->openDevice(record);
    return newTerminal(before);
}

void TstTerminalDialog::openFromEntryFormShowsTheDevice()
{
    fillDeviceForm(device);
    const TerminalSnapshot before = snapshot();
    QTest::mouseClick(mainWidget<QPushButton>("deviceOpenBtn"), Qt::LeftButton);
    AppDeviceDialog *dialog = newTerminal(before);
    QVERIFY(dialog);
    QCOMPARE(labelTexts(dialog),
        QStringList({ "Lab 1", "Port Name:COM5", "BaudRate:19200", "Data Bits:7",
            "Stop Bits:TwoStop", "Parity:Even", "Flow Control:RTS/CTS" }));
    QVERIFY(!app()->deviceManager()->isPortFree("COM5"));

    // The record built from the form reaches the history with the dialog's traffic.
    widget<QLineEdit>(dialog, "hexEdit")->setText("3041");
    const QDateTime sendTime = QDateTime::currentDateTime();
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(2), QByteArray("0A"));
    QCOMPARE(historyRows(), 1);
    verifyHistoryRow(0, "Sent", "0A", device, sendTime, QDateTime::currentDateTime());
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::openFromSavedRowShowsTheDevice()
{
    AppAbstractTableModel *devices = tableModel("deviceTable");
    const int row = devices->rowCount();
    devices->addData(new AppDeviceData("Saved rig", "COM5", 57600, 8, 1, 2, 0));
    QPushButton *openButton = rowOpenButton(row);
    QVERIFY(openButton);

    const TerminalSnapshot before = snapshot();
    QTest::mouseClick(openButton, Qt::LeftButton);
    AppDeviceDialog *dialog = newTerminal(before);
    QVERIFY(dialog);
    QCOMPARE(labelTexts(dialog),
        QStringList({ "Saved rig", "Port Name:COM5", "BaudRate:57600", "Data Bits:8",
            "Stop Bits:OneAndHalfStop", "Parity:Odd", "Flow Control:OFF" }));

    // The row may go while its device is open; the terminal keeps working with its settings.
    devices->removeData(row);
    QVERIFY(peer->write("hi"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 1, 10000);
    QCOMPARE(historyRow(0)->portName(), QStringLiteral("COM5"));
    QCOMPARE(historyRow(0)->baudRate(), 57600);
    QCOMPARE(historyRow(0)->stopBits(), 1);
    QCOMPARE(historyRow(0)->parity(), 2);
    QCOMPARE(log(dialog), QStringLiteral("Received:6869-------hi"));
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::openDeviceShowsOneModelessTerminalPerDevice()
{
    AppDeviceData unnamed("", "COM5", 9600, 8, 0, 0, 0);
    AppDeviceDialog *dialog = open(&unnamed);
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), static_cast<QWidget *>(mainWindow()));
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(widget<QLabel>(dialog, "deviceNameLabel")->text(), QStringLiteral("No device name"));
    // Modeless: the main window still takes input while the terminal is shown.
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(terminals().size(), 1);
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::failedOpenShowsNoTerminal()
{
    AppDeviceData missing("Nothing there", "COM9", 9600, 8, 0, 0, 0);
    QVERIFY(!open(&missing));
    QVERIFY(terminals().isEmpty());
    QCOMPARE(catcher->count(), 1);
    QVERIFY(catcher->texts().first().startsWith(
        "Could not open COM9 (/dev/COM9): " + qt_error_string(ENOENT) + ".\n"));
}

void TstTerminalDialog::sendLogsRecordsAndWritesTheHexBytes()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");
    hex->setText("3041");
    ascii->setText("0A");

    const QDateTime before = QDateTime::currentDateTime();
    click(dialog, "sendBtn");
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(log(dialog), QStringLiteral("Sent:3041-------0A"));
    QCOMPARE(historyRows(), 1);
    verifyHistoryRow(0, "Sent", "0A", device, before, after);
    QCOMPARE(peer->read(2), QByteArray("\x30\x41"));

    // Exactly those two: the next send arrives right behind them.
    hex->setText("FF");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(1), QByteArray("\xFF"));
    QCOMPARE(peer->readAvailable(), QByteArray());
    QCOMPARE(log(dialog), QStringLiteral("Sent:3041-------0A\nSent:FF-------\u00FF"));
    QCOMPARE(historyRows(), 2);
    QCOMPARE(historyRow(1)->bytes(), QByteArray("\xFF"));
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::receivedBatchIsLoggedAndRecorded()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(peer->write("\x30\x41"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 1, 10000);
    QCOMPARE(log(dialog), QStringLiteral("Received:3041-------0A"));
    verifyHistoryRow(0, "Received", "0A", device, before, QDateTime::currentDateTime());
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::twoBatchesGiveTwoParagraphsAndTwoRows()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    QVERIFY(peer->write("\x30"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 1, 10000);
    QVERIFY(peer->write("\x41"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 2, 10000);
    QCOMPARE(log(dialog), QStringLiteral("Received:30-------0\nReceived:41-------A"));
    QCOMPARE(paragraphs(dialog), 2);
    QCOMPARE(historyRow(0)->bytes(), QByteArray("0"));
    QCOMPARE(historyRow(1)->bytes(), QByteArray("A"));
    QCOMPARE(historyRow(1)->direction(), QStringLiteral("Received"));
}

void TstTerminalDialog::sendWhileHexIsBeingEditedUsesTheTextAsTyped()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog, 10000));
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");

    hex->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hex), 10000);
    QTest::keyClicks(hex, "3041");
    // Leaving the field finishes the edit: both fields in step.
    QTest::keyClick(hex, Qt::Key_Tab);
    QCOMPARE(hex->text(), QStringLiteral("3041"));
    QCOMPARE(ascii->text(), QStringLiteral("0A"));

    hex->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hex), 10000);
    QTest::keyClick(hex, Qt::Key_End);
    QTest::keyClicks(hex, "b");
    click(dialog, "sendBtn");

    // The log and the history show the bytes written, whatever the field looks like.
    const QByteArray typed("\x03\x04\x1B");
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(hex));
    QCOMPARE(log(dialog), QStringLiteral("Sent:03041B-------\x03\x04\u241B"));
    QCOMPARE(hex->text(), QStringLiteral("3041b"));
    QCOMPARE(ascii->text(), bytesToAscii(typed));
    QCOMPARE(historyRow(0)->bytes(), typed);
    QCOMPARE(peer->read(3), typed);

    // Separated pairs, sent before the edit is finished.
    hex->selectAll();
    QTest::keyClicks(hex, "AA BB CC");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(3), QByteArray("\xAA\xBB\xCC"));
    QCOMPARE(historyRow(1)->bytes(), QByteArray("\xAA\xBB\xCC"));
    QCOMPARE(log(dialog).split('\n').last(),
        QStringLiteral("Sent:AABBCC-------") + bytesToAscii("\xAA\xBB\xCC"));
    QCOMPARE(hex->text(), QStringLiteral("AA BB CC"));
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::sendRefusesTextThatIsNotHex()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    for (const char *typed : { "zz", "41 g1", "4-1" }) {
        hex->setText(typed);
        click(dialog, "sendBtn");
        QCOMPARE(hex->text(), QString(typed));
    }
    QCOMPARE(catcher->texts(),
        QStringList({ "HEX can only hold hex digits: zz", "HEX can only hold hex digits: g1",
            "HEX can only hold hex digits: 4-1" }));
    QCOMPARE(log(dialog), QString());
    QCOMPARE(historyRows(), 0);

    // Nothing went out: the next bytes arrive first.
    hex->setText("0x41,0x42");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(2), QByteArray("AB"));
    QCOMPARE(peer->readAvailable(), QByteArray());
    QCOMPARE(log(dialog), QStringLiteral("Sent:4142-------AB"));
    QCOMPARE(catcher->count(), 3);
}

void TstTerminalDialog::hexFieldHasTheFocusWhenTheTerminalOpens()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    QCOMPARE(dialog->focusWidget(), static_cast<QWidget *>(hex));
    QVERIFY(QTest::qWaitForWindowActive(dialog, 10000));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hex), 10000);

    // What the operator types first lands in the field and goes out with Return.
    QTest::keyClicks(QApplication::focusWidget(), "68 69");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(peer->read(2), QByteArray("hi"));
    QCOMPARE(widget<QLineEdit>(dialog, "asciiEdit")->text(), QStringLiteral("hi"));
}

void TstTerminalDialog::sendWithEmptyHexDoesNothing()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    // Nothing to send is not an empty block: nothing is logged or recorded.
    click(dialog, "sendBtn");
    QCOMPARE(log(dialog), QString());
    QCOMPARE(historyRows(), 0);

    widget<QLineEdit>(dialog, "hexEdit")->setText("7E");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(1), QByteArray("~"));
    QCOMPARE(peer->readAvailable(), QByteArray());
}

void TstTerminalDialog::returnInAFieldBringsBothInStepAndSends()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog, 10000));
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");

    // Send is the dialog's default button: Return finishes the edit first, then sends.
    hex->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(hex), 10000);
    QTest::keyClicks(hex, "a");
    QTest::keyClick(hex, Qt::Key_Return);
    QCOMPARE(hex->text(), QStringLiteral("0A"));
    QCOMPARE(ascii->text(), QStringLiteral("\n"));
    QCOMPARE(peer->read(1), QByteArray("\n"));

    ascii->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), static_cast<QWidget *>(ascii), 10000);
    ascii->selectAll();
    QTest::keyClicks(ascii, "hi");
    QTest::keyClick(ascii, Qt::Key_Return);
    QCOMPARE(hex->text(), QStringLiteral("6869"));
    QCOMPARE(peer->read(2), QByteArray("hi"));
    QCOMPARE(log(dialog), QStringLiteral("Sent:0A-------\u240A\nSent:6869-------hi"));
    QVERIFY(dialog->isVisible());
}

void TstTerminalDialog::loadWithEmptyComboEmptiesBothFields()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    QCOMPARE(widget<QComboBox>(dialog, "savedCommandsCombo")->count(), 0);
    auto *hex = widget<QLineEdit>(dialog, "hexEdit");
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");
    hex->setText("3041");
    ascii->setText("0A");
    click(dialog, "loadCommandBtn");
    QCOMPARE(hex->text(), QString());
    QCOMPARE(ascii->text(), QString());
    QCOMPARE(log(dialog), QString());
    QCOMPARE(historyRows(), 0);
}

void TstTerminalDialog::loadFillsBothFieldsAndSendsNothing()
{
    AppSettingsManager *store = app()->settingsManager();
    store->addCommand("Hello", "Hi\n");
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    auto *combo = widget<QComboBox>(dialog, "savedCommandsCombo");
    QCOMPARE(combo->count(), 1);
    combo->setCurrentText("Hello");
    click(dialog, "loadCommandBtn");
    QCOMPARE(widget<QLineEdit>(dialog, "hexEdit")->text(), QStringLiteral("48690A"));
    QCOMPARE(widget<QLineEdit>(dialog, "asciiEdit")->text(), QStringLiteral("Hi\n"));
    QCOMPARE(log(dialog), QString());
    QCOMPARE(historyRows(), 0);

    // Had Load written anything, it would arrive before the command sent now.
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(3), QByteArray("Hi\n"));
    QCOMPARE(peer->readAvailable(), QByteArray());

    // A command deleted in the main window leaves the choice; Load then has nothing to load.
    store->removeCommand("Hello");
    QCOMPARE(combo->count(), 0);
    click(dialog, "loadCommandBtn");
    QCOMPARE(widget<QLineEdit>(dialog, "hexEdit")->text(), QString());
}

void TstTerminalDialog::savedCommandChoiceFollowsTheMainWindow()
{
    AppSettingsManager *store = app()->settingsManager();
    AppAbstractTableModel *commands = tableModel("commandTable");
    // Saved the way the main window saves: a row and the store.
    const auto save = [&](const QString &name, const QByteArray &bytes) {
        commands->addData(new AppCommandData(name, bytes));
        store->addCommand(name, bytes);
    };
    save("Zeta", "\x01");
    save("Alpha", "\x02");
    save("Mid", "\x03");
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    auto *combo = widget<QComboBox>(dialog, "savedCommandsCombo");
    const auto items = [combo] {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts;
    };
    QCOMPARE(items(), QStringList({ "Alpha", "Mid", "Zeta" }));
    combo->setCurrentText("Mid");

    // Saved from the main window's command form: in its place by name.
    mainWidget<QLineEdit>("commandNameEdit")->setText("Beta");
    mainWidget<QLineEdit>("hexEdit")->setText("04");
    QTest::mouseClick(mainWidget<QPushButton>("commandSaveBtn"), Qt::LeftButton);
    QCOMPARE(items(), QStringList({ "Alpha", "Beta", "Mid", "Zeta" }));
    QCOMPARE(combo->currentText(), QStringLiteral("Mid"));

    // Renamed in the table: moves to its new place and stays the chosen one.
    int row = -1;
    for (int r = 0; r < commands->rowCount(); ++r) {
        if (commands->index(r, 0).data().toString() == QLatin1String("Mid"))
            row = r;
    }
    QVERIFY(row >= 0);
    QVERIFY(commands->setData(commands->index(row, 0), "Apex", Qt::EditRole));
    QCOMPARE(items(), QStringList({ "Alpha", "Apex", "Beta", "Zeta" }));
    QCOMPARE(combo->currentText(), QStringLiteral("Apex"));
    click(dialog, "loadCommandBtn");
    QCOMPARE(widget<QLineEdit>(dialog, "hexEdit")->text(), QStringLiteral("03"));
    QVERIFY(commands->setData(commands->index(row, 0), "Zz", Qt::EditRole));
    QCOMPARE(items(), QStringList({ "Alpha", "Beta", "Zeta", "Zz" }));
    QCOMPARE(combo->currentText(), QStringLiteral("Zz"));

    // Deleted with its row's button in the main window: gone from the choice.
    commands->removeData(row);
    QCOMPARE(items(), QStringList({ "Alpha", "Beta", "Zeta" }));

    for (const char *name : { "Zeta", "Alpha", "Beta" }) {
        for (int r = 0; r < commands->rowCount(); ++r) {
            if (commands->index(r, 0).data().toString() == QLatin1String(name))
                commands->removeData(r);
        }
    }
    QCOMPARE(items(), QStringList());
    QCOMPARE(store->commandNameModel()->rowCount(), 0);
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::clearEmptiesTheLogButNotTheHistory()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    widget<QLineEdit>(dialog, "hexEdit")->setText("01");
    click(dialog, "sendBtn");
    QVERIFY(peer->write("x"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 2, 10000);

    click(dialog, "clearBtn");
    QCOMPARE(log(dialog), QString());
    QCOMPARE(historyRows(), 2);
    QGuiApplication::clipboard()->setText("before");
    click(dialog, "clipBoardBtn");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());

    // The log starts afresh: no empty line above the next block.
    QVERIFY(peer->write("y"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 3, 10000);
    QCOMPARE(log(dialog), QStringLiteral("Received:79-------y"));
    QCOMPARE(paragraphs(dialog), 1);
}

void TstTerminalDialog::copyPutsTheLogOnTheClipboard()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    widget<QLineEdit>(dialog, "hexEdit")->setText("3041");
    widget<QLineEdit>(dialog, "asciiEdit")->setText("0A");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(2), QByteArray("0A"));
    QVERIFY(peer->write("0A"));
    QTRY_COMPARE_WITH_TIMEOUT(historyRows(), 2, 10000);

    QGuiApplication::clipboard()->setText("something else");
    click(dialog, "clipBoardBtn");
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard),
        QStringLiteral("Sent:3041-------0A\nReceived:3041-------0A"));
}

void TstTerminalDialog::markupIsLoggedAsText()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    const QByteArray markup
        = "<b>bold</b><img src=\"/nonexistent/probe.png\"><a href=\"x\">link</a>&lt;";
    QVERIFY(peer->write(markup));
    QTRY_COMPARE_WITH_TIMEOUT(receivedBytes(), markup, 10000);

    // The operator's own text is taken as text too.
    auto *ascii = widget<QLineEdit>(dialog, "asciiEdit");
    ascii->setText("<i>a</i>");
    widget<QLineEdit>(dialog, "hexEdit")->setText(bytesToHex("<i>a</i>"));
    click(dialog, "sendBtn");

    QStringList expected;
    for (int row = 0; row < historyRows() - 1; ++row)
        expected << paragraph("Received", historyRow(row)->bytes());
    expected << QStringLiteral("Sent:3C693E613C2F693E-------<i>a</i>");
    QCOMPARE(log(dialog), expected.join('\n'));

    // Nothing was formatted, linked or embedded.
    const QTextDocument *document = widget<QTextEdit>(dialog, "logText")->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QVERIFY(!format.isImageFormat());
            QVERIFY(!format.isAnchor());
            QCOMPARE(format.fontWeight(), int(QFont::Normal));
            QVERIFY(!format.fontItalic());
        }
    }
    QVERIFY(!document->toHtml().contains("<img"));

    click(dialog, "clipBoardBtn");
    QCOMPARE(QGuiApplication::clipboard()->text(), expected.join('\n'));
}

void TstTerminalDialog::controlBytesStayInTheirParagraph_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("NUL in the middle") << QByteArray("A\0B", 3);
    QTest::newRow("CR LF") << QByteArray("OK\r\n");
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc");
    QTest::newRow("backslashes beside them") << QByteArray("\\r\r\\\n\\n");
    QTest::newRow("no-break space") << QByteArray("\xA0x");
    QByteArray every(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        every[i] = char(i);
    QTest::newRow("every byte") << every;
}

void TstTerminalDialog::controlBytesStayInTheirParagraph()
{
    QFETCH(QByteArray, bytes);
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    QVERIFY(peer->write(bytes));
    QTRY_COMPARE_WITH_TIMEOUT(receivedBytes(), bytes, 10000);

    // Text after the block is not lost.
    widget<QLineEdit>(dialog, "hexEdit")->setText("21");
    click(dialog, "sendBtn");

    // One paragraph per batch, each exactly as the port delivered it.
    QStringList expected;
    for (int row = 0; row < historyRows() - 1; ++row)
        expected << paragraph("Received", historyRow(row)->bytes());
    expected << QStringLiteral("Sent:21-------!");
    QCOMPARE(paragraphs(dialog), historyRows());
    click(dialog, "clipBoardBtn");
    QCOMPARE(QGuiApplication::clipboard()->text(), expected.join('\n'));

    // What the log shows: every character as received, except that CR, LF and ESC appear as the
    // symbols of their own, so one block stays one line (and toPlainText() gives a no-break space
    // as a space).
    QStringList shownParagraphs;
    for (const QString &line : expected) {
        QString text = line;
        text.replace(QLatin1Char('\r'), QChar(0x240D))
            .replace(QLatin1Char('\n'), QChar(0x240A))
            .replace(QChar(0xA0), QLatin1Char(' '))
            .replace(QChar(0x1B), QChar(0x241B));
        shownParagraphs << text;
    }
    QCOMPARE(log(dialog), shownParagraphs.join('\n'));

    // Painting such text is harmless.
    QVERIFY(!dialog->grab().isNull());
    QCOMPARE(catcher->count(), 0);
}

void TstTerminalDialog::portErrorLogsOneErrorAfterItsMessage()
{
    // As openDevice does it, keeping hold of the device to reach its port.
    auto *opened = new AppDevice(&device);
    QVERIFY(opened->open());
    QVERIFY(app()->deviceManager()->registerDevice(opened));
    auto *dialog = new AppDeviceDialog(mainWindow(), opened);
    dialog->show();

    QString logWhileBoxShown = QStringLiteral("<no box>");
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, dialog,
        [&](const QString &) { logWhileBoxShown = log(dialog); });

    // A pty has no modem lines: asking for them fails for real, and the port stays usable.
    QSerialPort *port = opened->findChild<QSerialPort *>();
    QVERIFY(port);
    QCOMPARE(port->pinoutSignals(), QSerialPort::NoSignal);

    QCOMPARE(catcher->texts(), QStringList({ qt_error_string(ENOTTY) }));
    QCOMPARE(logWhileBoxShown, QString());
    QCOMPARE(log(dialog), QStringLiteral("Error"));
    QCOMPARE(historyRows(), 0);
    QVERIFY(dialog->isVisible());

    widget<QLineEdit>(dialog, "hexEdit")->setText("01");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(1), QByteArray("\x01"));
    QCOMPARE(log(dialog), QStringLiteral("Error\nSent:01-------\x01"));
    QCOMPARE(catcher->count(), 1);
}

void TstTerminalDialog::lostLineLogsItsEventAndNoError()
{
    auto *opened = new AppDevice(&device);
    QVERIFY(opened->open());
    QVERIFY(app()->deviceManager()->registerDevice(opened));
    QPointer<AppDeviceDialog> dialog = new AppDeviceDialog(mainWindow(), opened);
    dialog->show();
    QSerialPort *port = opened->findChild<QSerialPort *>();
    QVERIFY(port);

    QStringList logAtEachBox;
    bool acted = false;
    connect(catcher.data(), &MessageBoxCatcher::aboutToAccept, this, [&](const QString &) {
        logAtEachBox << (dialog && dialog->isVisible() ? log(dialog) : QStringLiteral("<closed>"));
        if (acted)
            return;
        acted = true;
        // Behind the first box another error waits (the port will not drive RTS under
        // RTS/CTS flow control), then the line goes.
        QVERIFY(!port->setRequestToSend(true));
        QSignalSpy portErrors(port, &QSerialPort::errorOccurred);
        peer->hangUp();
        QVERIFY(portErrors.wait(10000));
    });

    QCOMPARE(port->pinoutSignals(), QSerialPort::NoSignal);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog, 10000);
    // The lost line's box comes next; no error is logged for a port that has gone, only the
    // loss itself, as an event.
    QCOMPARE(catcher->texts(),
        QStringList({ qt_error_string(ENOTTY), peer->lostLineText("COM5", "Lab 1") }));
    QCOMPARE(logAtEachBox, QStringList({ QString(), QStringLiteral("Event:Lost") }));
    QVERIFY(app()->deviceManager()->isPortFree("COM5"));
    QCOMPARE(historyRows(), 1);
}

VT_TEST_MAIN(TstTerminalDialog)
#include "tst_terminaldialog.moc"

void TstTerminalDialog::viewsShowAndCopyWhatTheyShow()
{
    AppDeviceDialog *dialog = open(&device);
    QVERIFY(dialog);
    widget<QSpinBox>(dialog, "lineGapSpin")->setValue(0);
    widget<QLineEdit>(dialog, "hexEdit")->setText("41");
    click(dialog, "sendBtn");
    QCOMPARE(peer->read(1), QByteArray("A"));
    const QByteArray received = "\x1b[32mok\x1b[0m\r\n> ";
    QVERIFY(peer->write(received));
    QTRY_COMPARE_WITH_TIMEOUT(receivedBytes(), received, 10000);

    auto *view = widget<QComboBox>(dialog, "logViewCombo");
    const auto choose = [view](int index) {
        view->setCurrentIndex(index);
        emit view->activated(index);
    };
    const auto shown = [&dialog] {
        return log(dialog).replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d{3}"), "T");
    };
    const QStringList views { "T > A\nT < ok\nT < > \u2026",
        "T > Sent\n00000000  41" + QString(48, ' ')
            + "A\nT < Received\n00000000  1B 5B 33 32 6D 6F "
              "6B 1B  5B 30 6D 0D 0A 3E 20     \u241B[32mok\u241B[0m\u240D\u240A> " };
    for (int index : { 1, 2 }) {
        choose(index);
        QCOMPARE(shown(), views.at(index - 1));
        click(dialog, "copyViewBtn");
        QCOMPARE(QGuiApplication::clipboard()->text(), log(dialog));
    }
    // Copy To Clipboard still gives the blocks, byte-exact.
    QStringList blocks;
    for (int row = 0; row < historyRows(); ++row)
        blocks << paragraph(historyRow(row)->direction(), historyRow(row)->bytes());
    click(dialog, "clipBoardBtn");
    QCOMPARE(QGuiApplication::clipboard()->text(), blocks.join('\n'));
    // The device keeps its view: the next terminal opens in it, colours rendered in Lines.
    choose(1);
    dialog->close();
    QTRY_VERIFY_WITH_TIMEOUT(terminals().isEmpty(), 10000);
    dialog = open(&device);
    QVERIFY(dialog);
    QCOMPARE(widget<QComboBox>(dialog, "logViewCombo")->currentIndex(), 1);
    QCOMPARE(widget<QSpinBox>(dialog, "lineGapSpin")->value(), 0);
    QVERIFY(peer->write(received));
    QTRY_COMPARE_WITH_TIMEOUT(receivedBytes(), received + received, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QString("T < ok\nT < > \u2026"), 10000);
    // A pending line ends once the line has been quiet for the gap.
    widget<QSpinBox>(dialog, "lineGapSpin")->setValue(50);
    QTRY_COMPARE_WITH_TIMEOUT(shown(), QString("T < ok\nT < > "), 10000);
    const QTextDocument *document = widget<QTextEdit>(dialog, "logText")->document();
    const QTextBlock green = document->findBlockByNumber(0);
    QTextCursor cursor(green);
    cursor.setPosition(green.position() + green.length() - 2);
    QCOMPARE(cursor.charFormat().foreground().color().rgb(), AnsiRenderer::paletteColour(2));
}
