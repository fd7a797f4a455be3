#include "ui/appdevicedialog.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/serialsettings.h"
#include "ui/appdevicedialogform.h"
#include "ui/appmainwin.h"
#include "ui/bytefields.h"
#include "ui/findbar.h"
#include "ui/linecontrols.h"
#include "ui/logview.h"
#include "ui/logviewcontrols.h"
#include "ui/sendrecall.h"
#include "ui/sendtools.h"
#include "ui/terminallogfile.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringListModel>
#include <QTextEdit>
#include <QWindow>

#include <limits>

namespace {

// The time stamp of a block, "dd.MM.yyyy hh:mm:ss.zzz" in local time. Formatting a date costs
// a local-time conversion and a pattern parse; at hundreds of blocks a second only the
// milliseconds change, so the rest is formatted once a second.
QString timeStamp()
{
    static qint64 second = std::numeric_limits<qint64>::min();
    static QString prefix;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 thisSecond = now >= 0 ? now / 1000 : (now - 999) / 1000;
    if (thisSecond != second) {
        second = thisSecond;
        prefix = QDateTime::fromSecsSinceEpoch(thisSecond)
                     .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss."));
    }
    return prefix + QString::number(now - thisSecond * 1000).rightJustified(3, QLatin1Char('0'));
}

// Return in the read-only log would reach the dialog's default button and send a command; a
// key pressed while reading the traffic must not talk to the device.
class ReturnSwallower : public QObject
{
public:
    explicit ReturnSwallower(QObject *parent)
        : QObject(parent)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Each terminal of the run logs under its own number.
int lastTerminal = 0;

} // namespace

AppDeviceDialog::AppDeviceDialog(AppMainWin *parent, AppDevice *device)
    : QDialog(parent)
    , ui(new Ui::AppDeviceDialog)
    , device(device)
    , mainWin(parent)
    , terminal(++lastTerminal)
    , log(nullptr)
    , logFile(nullptr)
    , shownCommandGoes(false)
    , sendTools(nullptr)
    , recall(nullptr)
{
    ui->setupUi(this);
    // HEX runs have no word boundaries; breaking them anywhere keeps laying out a long block
    // cheap instead of searching each line for a boundary that is not there.
    ui->logText->setWordWrapMode(QTextOption::WrapAnywhere);
    // The log is a record of the traffic: it can be read, selected and copied, not edited, and
    // it keeps no undo steps (an editable log let Ctrl+Z erase received data). Tab moves on to
    // the buttons below it.
    ui->logText->setReadOnly(true);
    ui->logText->setUndoRedoEnabled(false);
    ui->logText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    ui->logText->setTabChangesFocus(true);
    ui->logText->installEventFilter(new ReturnSwallower(ui->logText));
    // A scroll bar that came and went as the log filled or was cleared would change the width
    // of the text, and every change of width lays out the whole log again.
    ui->logText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log follows the history's frames: both show what the capture store took.
    log = new LogView(ui->logText, VerantisTerminalApp::app()->captureStore(), terminal);
    connect(mainWin, &AppMainWin::historyStored, log, &LogView::refresh);
    // Blocks, Lines or Hex dump, as this device was last read; Copy View copies what it shows.
    new LogViewControls(this, ui->viewRow, ui->sendBtn, log, device->deviceData());
    connect(ui->copyViewBtn, &QPushButton::clicked, this, &AppDeviceDialog::onCopyView);
    // Ctrl+F: find in the whole log, laid out or not.
    FindBar::overLog(this, ui->findRow, VerantisTerminalApp::app()->captureStore(), terminal, log);
    // A window of its own, with its own task-bar entry, that the main window can cover; it is
    // still the main window's child, so it goes when the program quits, and it never keeps the
    // program running on its own.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);

    const AppDeviceData *record = device->deviceData();
    // Before any byte is read, so a log file starts with the port.
    logFile = new TerminalLogFile(this, ui->logFileRow, record);
    // Several terminals can be told apart in the task bar: "Demo echo — COM100".
    setWindowTitle(record->name().isEmpty()
            ? record->portName()
            : record->name() + QStringLiteral(" \u2014 ") + record->portName());
    ui->deviceNameLabel->setText(
        record->name().isEmpty() ? QStringLiteral("No device name") : record->name());
    ui->portNumLabel->setText(QStringLiteral("Port Name:") + record->portName());
    ui->baudRateLabel->setText(QStringLiteral("BaudRate:") + QString::number(record->baudRate()));
    ui->dataBitsLabel->setText(QStringLiteral("Data Bits:") + QString::number(record->dataBits()));
    ui->stopBitsLabel->setText(
        QStringLiteral("Stop Bits:") + settingText(stopBitsTexts, record->stopBits()));
    ui->parityLabel->setText(
        QStringLiteral("Parity:") + settingText(parityTexts, record->parity()));
    ui->flowControlLabel->setText(
        QStringLiteral("Flow Control:") + settingText(flowControlTexts, record->flowControl()));

    connect(device, &AppDevice::onDeviceDisconnected, this, &AppDeviceDialog::onDeviceDisconnected);
    connect(device, &AppDevice::onDeviceError, this, &AppDeviceDialog::onDeviceError);
    connect(device, &AppDevice::onDataFull, this, &AppDeviceDialog::onDeviceFullToRead);
    connect(device, &AppDevice::lineLost, this, [this] { addEvent(QStringLiteral("Lost")); });
    // The line itself: its controls and events, and Send held back while a lost line is awaited.
    auto *lineControls = new LineControls(device, this);
    ui->lineRow->addWidget(lineControls);
    connect(lineControls, &LineControls::lineEvent, this, &AppDeviceDialog::addEvent);
    connect(device, &AppDevice::waitingForLine, ui->sendBtn,
        [this] { ui->sendBtn->setEnabled(false); });
    connect(
        device, &AppDevice::reconnected, ui->sendBtn, [this] { ui->sendBtn->setEnabled(true); });
    connect(ui->hexEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onHEXChanged);
    connect(ui->asciiEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onASCIIChanged);
    connect(ui->hexEdit, &QLineEdit::textEdited, this, &AppDeviceDialog::onHEXEdited);
    connect(ui->asciiEdit, &QLineEdit::textEdited, this, &AppDeviceDialog::onASCIIEdited);
    connect(ui->sendBtn, &QPushButton::clicked, this, &AppDeviceDialog::onSendBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &AppDeviceDialog::close);
    connect(ui->clearBtn, &QPushButton::clicked, this, &AppDeviceDialog::onClearBtnClicked);
    connect(ui->clipBoardBtn, &QPushButton::clicked, this, &AppDeviceDialog::onCopyToClipBoard);
    connect(ui->loadCommandBtn, &QPushButton::clicked, this, &AppDeviceDialog::onLoadBtnClicked);

    // Sending tools: line ending, repeat and files in their row; Up, Down and Return in the
    // fields.
    sendTools = new SendTools(
        ui, device, [this](const QByteArray &bytes) { return send(bytes); }, this);
    recall = new SendRecall(ui->hexEdit, ui->asciiEdit, this);
    connect(recall, &SendRecall::sendRequested, this, &AppDeviceDialog::onSendBtnClicked);

    loadSavedCommands();
    // The tools' rows take their room from the log; it opens showing about a dozen lines, as far
    // as the screen allows with room left to cascade the next terminal.
    const int wanted = minimumSizeHint().height() + 12 * ui->logText->fontMetrics().lineSpacing();
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().height() * 3 / 4 : wanted;
    resize(width(), qMax(height(), qMin(wanted, room)));
    // Keys typed right after the terminal opens go to the bytes to send.
    ui->hexEdit->setFocus();
}

AppDeviceDialog::~AppDeviceDialog()
{
    // QDialog hides itself after this destructor has run; a field losing the focus then must not
    // call back into the half-destroyed dialog.
    disconnect(ui->hexEdit, nullptr, this, nullptr);
    disconnect(ui->asciiEdit, nullptr, this, nullptr);
    delete ui;
}

// The choice shows the store's own list of names rather than a copy: commands saved, renamed or
// deleted later in the main window show up here at once, and opening a terminal copies nothing.
void AppDeviceDialog::loadSavedCommands()
{
    QStringListModel *names = VerantisTerminalApp::app()->settingsManager()->commandNameModel();
    QComboBox *combo = ui->savedCommandsCombo;
    // Wide enough for the longest name, up to a limit, as when the box measured every item on
    // first show; measuring them took 0.15 s with ten thousand saved commands.
    int longest = 0;
    const QStringList texts = names->stringList();
    for (const QString &text : texts)
        longest = qMax(longest, text.size());
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(qMin(longest, 40));
    combo->setModel(names);
    // When the shown command is deleted the box would move on to the next one, and Load would
    // load a command nobody chose; it shows none instead.
    connect(names, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [this](const QModelIndex &, int first, int last) {
            const int shown = ui->savedCommandsCombo->currentIndex();
            shownCommandGoes = shown >= first && shown <= last;
        });
    connect(names, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (shownCommandGoes)
            ui->savedCommandsCombo->setCurrentIndex(-1);
        shownCommandGoes = false;
    });
}

void AppDeviceDialog::showEvent(QShowEvent *event)
{
    // Qt makes a window with a parent transient for it, which keeps it above the main window
    // and, under some window managers, out of the task bar and minimized with it.
    if (QWindow *window = windowHandle())
        window->setTransientParent(nullptr);
    QDialog::showEvent(event);
}

void AppDeviceDialog::reject()
{
    close();
}

void AppDeviceDialog::closeEvent(QCloseEvent *ev)
{
    Q_UNUSED(ev) // left accepted: the dialog closes and deletes itself
    if (!device)
        return;
    // Nothing more is sent once the operator closes the terminal.
    sendTools->stopAll();
    AppDevice *released = device;
    device = nullptr;
    // The device announces its disconnection again while it is closed and once more when the
    // registry destroys it later; none of that may close a port a second time.
    disconnect(released, nullptr, this, nullptr);
    logFile->finish();
    VerantisTerminalApp::app()->deviceManager()->closeDevice(released->deviceData()->portName());
}

void AppDeviceDialog::onDeviceDisconnected()
{
    close();
}

void AppDeviceDialog::onDeviceError()
{
    // After everything that arrived before it.
    mainWin->flushHistory();
    log->addError();
}

void AppDeviceDialog::onDeviceFullToRead(QByteArray buf)
{
    addHistory(QStringLiteral("Received"), buf);
}

void AppDeviceDialog::onSendBtnClicked()
{
    // Only a closing dialog has no device; it is hidden and about to go. While a file goes,
    // Send is off and Return in the fields sends nothing either.
    if (!device || !ui->sendBtn->isEnabled())
        return;
    // The HEX field as it stands, also while it is being edited. Text that is not HEX is never
    // sent as made-up bytes; it stays in the field for the operator to correct.
    QByteArray bytes;
    if (!hexFieldBytes(ui->hexEdit, &bytes))
        return;
    // Return with nothing typed is not a block to send.
    if (bytes.isEmpty())
        return;
    recall->remember(bytes);
    send(bytes + sendTools->lineEnding());
}

bool AppDeviceDialog::send(const QByteArray &bytes)
{
    if (!device || !device->isOpen())
        return false;
    // A block the port refused is not logged as sent.
    if (!device->write(bytes))
        return false;
    // The log shows what was written, not the text it was read from; the operator's own action
    // shows at once, behind whatever arrived before it.
    addHistory(QStringLiteral("Sent"), bytes);
    mainWin->flushHistory();
    return true;
}

void AppDeviceDialog::onHEXChanged()
{
    finishHexEdit(ui->hexEdit, ui->asciiEdit);
}

void AppDeviceDialog::onASCIIChanged()
{
    finishAsciiEdit(ui->hexEdit, ui->asciiEdit);
}

void AppDeviceDialog::onHEXEdited()
{
    asciiFollowsHex(ui->hexEdit, ui->asciiEdit);
}

void AppDeviceDialog::onASCIIEdited()
{
    hexFollowsAscii(ui->hexEdit, ui->asciiEdit);
}

void AppDeviceDialog::onClearBtnClicked()
{
    // Paragraphs that arrived before the click go too, even if they were not shown yet.
    mainWin->flushHistory();
    log->clear();
    logFile->addMarker(QStringLiteral("Cleared"));
}

void AppDeviceDialog::onCopyToClipBoard()
{
    copyLog(false);
}

void AppDeviceDialog::onCopyView()
{
    copyLog(true);
}

void AppDeviceDialog::copyLog(bool asShown)
{
    mainWin->flushHistory();
    QString text;
    qint64 length = 0;
    if (!(asShown ? log->viewText(&text, &length) : log->plainText(&text, &length))) {
        const qint64 megabytes = (length + 1024 * 1024 - 1) / (1024 * 1024);
        VerantisTerminalApp::app()->showMessage(asShown
                ? tr("The log since the last Clear is about %L1 MB of text as this view shows "
                     "it, more than Copy View takes (%L2 MB). Use Save History in the main "
                     "window to save it to a file.")
                      .arg(megabytes)
                      .arg(LogView::CopyLimit / (1024 * 1024))
                : tr("The log since the last Clear is about %L1 MB of text, more than Copy To "
                     "Clipboard takes (%L2 MB). Use Save History in the main window to save it "
                     "to a file.")
                      .arg(megabytes)
                      .arg(LogView::CopyLimit / (1024 * 1024)));
        return;
    }
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void AppDeviceDialog::onLoadBtnClicked()
{
    const QByteArray bytes = VerantisTerminalApp::app()->settingsManager()->commandBytes(
        ui->savedCommandsCombo->currentText());
    showBytes(ui->hexEdit, ui->asciiEdit, bytes);
}

void AppDeviceDialog::addEvent(const QString &text)
{
    // A closing terminal has released its device and records nothing more.
    if (!device)
        return;
    addHistory(QLatin1String(AppHistoryData::EventDirection), text.toUtf8());
    mainWin->flushHistory();
}

void AppDeviceDialog::addHistory(const QString &direction, const QByteArray &bytes)
{
    const AppDeviceData *record = device->deviceData();
    auto *row
        = new AppHistoryData(timeStamp(), direction, bytes, record->portName(), record->baudRate(),
            record->dataBits(), record->stopBits(), record->parity(), record->flowControl());
    row->setTerminal(terminal);
    logFile->addRecord(*row);
    mainWin->addHistory(row);
}
