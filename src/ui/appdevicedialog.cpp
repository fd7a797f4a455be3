#include "ui/appdevicedialog.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/appdevicemanager.h"
#include "serial/serialsettings.h"
#include "ui/appdevicedialogform.h"
#include "ui/appmainwin.h"
#include "ui/bytefields.h"
#include "util/conversion.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStringListModel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

namespace {

QString lineBreakText(QChar c)
{
    return c == QLatin1Char('\r') ? QStringLiteral("\\r") : QStringLiteral("\\n");
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

// Blocks dropped from the top of the log at once, beyond the bound, so that dropping (which
// moves every remaining block up) happens now and then rather than on every frame.
const int TrimSlackBlocks = AppDeviceDialog::MaxShownBlocks / 10;

} // namespace

AppDeviceDialog::AppDeviceDialog(AppMainWin *parent, AppDevice *device)
    : QDialog(parent)
    , ui(new Ui::AppDeviceDialog)
    , device(device)
    , mainWin(parent)
    , shownEntries(0)
    , layoutCharsPerMs(1000)
    , logFrame(new QTimer(this))
    , shownCommandGoes(false)
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
    logFrame->setObjectName(QStringLiteral("logFrame"));
    logFrame->setSingleShot(true);
    connect(logFrame, &QTimer::timeout, this, &AppDeviceDialog::flushLog);
    // A window of its own, with its own task-bar entry, that the main window can cover; it is
    // still the main window's child, so it goes when the program quits, and it never keeps the
    // program running on its own.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);

    const AppDeviceData *record = device->deviceData();
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
    connect(ui->hexEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onHEXChanged);
    connect(ui->asciiEdit, &QLineEdit::editingFinished, this, &AppDeviceDialog::onASCIIChanged);
    connect(ui->hexEdit, &QLineEdit::textEdited, this, &AppDeviceDialog::onHEXEdited);
    connect(ui->asciiEdit, &QLineEdit::textEdited, this, &AppDeviceDialog::onASCIIEdited);
    connect(ui->sendBtn, &QPushButton::clicked, this, &AppDeviceDialog::onSendBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &AppDeviceDialog::close);
    connect(ui->clearBtn, &QPushButton::clicked, this, &AppDeviceDialog::onClearBtnClicked);
    connect(ui->clipBoardBtn, &QPushButton::clicked, this, &AppDeviceDialog::onCopyToClipBoard);
    connect(ui->loadCommandBtn, &QPushButton::clicked, this, &AppDeviceDialog::onLoadBtnClicked);

    loadSavedCommands();
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
    AppDevice *released = device;
    device = nullptr;
    // The device announces its disconnection again while it is closed and once more when the
    // registry destroys it later; none of that may close a port a second time.
    disconnect(released, nullptr, this, nullptr);
    VerantisTerminalApp::app()->deviceManager()->closeDevice(released->deviceData()->portName());
}

void AppDeviceDialog::onDeviceDisconnected()
{
    close();
}

void AppDeviceDialog::onDeviceError()
{
    appendToLog({ QByteArray(), QStringLiteral("Error") });
    flushWholeLog();
}

void AppDeviceDialog::onDeviceFullToRead(QByteArray buf)
{
    appendToLog({ buf, QString() });
    addHistory(QStringLiteral("Received"), buf);
}

void AppDeviceDialog::onSendBtnClicked()
{
    // Only a closing dialog has no device; it is hidden and about to go.
    if (!device)
        return;
    // The HEX field as it stands, also while it is being edited. Text that is not HEX is never
    // sent as made-up bytes; it stays in the field for the operator to correct.
    QByteArray bytes;
    if (!hexFieldBytes(ui->hexEdit, &bytes))
        return;
    // Return with nothing typed is not a block to send.
    if (bytes.isEmpty())
        return;
    // The log shows what is written, not the text it was read from.
    appendToLog({ QByteArray(),
        QStringLiteral("Sent:") + bytesToHex(bytes) + QStringLiteral("-------")
            + bytesToAscii(bytes) });
    addHistory(QStringLiteral("Sent"), bytes);
    // The operator's own action shows at once, behind whatever arrived before it.
    flushWholeLog();
    mainWin->flushHistory();
    device->write(bytes);
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
    logFrame->stop();
    logEntries.clear();
    logEntries.squeeze();
    shownEntries = 0;
    ui->logText->clear();
}

void AppDeviceDialog::onCopyToClipBoard()
{
    QGuiApplication::clipboard()->setText(logPlainText(), QClipboard::Clipboard);
}

void AppDeviceDialog::onLoadBtnClicked()
{
    const QByteArray bytes = VerantisTerminalApp::app()->settingsManager()->commandBytes(
        ui->savedCommandsCombo->currentText());
    showBytes(ui->hexEdit, ui->asciiEdit, bytes);
}

void AppDeviceDialog::appendToLog(const LogEntry &entry)
{
    logEntries.append(entry);
    if (!logFrame->isActive())
        logFrame->start(LogFrameMs);
}

void AppDeviceDialog::flushLog()
{
    // The rest of a long backlog follows shortly, once the events that waited meanwhile (the
    // port's data, the operator's input) have been handled.
    if (showLogSlice())
        logFrame->start(SliceGapMs);
}

void AppDeviceDialog::flushWholeLog()
{
    while (showLogSlice()) { }
}

bool AppDeviceDialog::showLogSlice()
{
    logFrame->stop();
    QTextEdit *log = ui->logText;
    QScrollBar *bar = log->verticalScrollBar();
    // Keep showing the newest block while the operator is at the end, and only then.
    const bool follow = bar->value() >= bar->maximum();
    // Dropping old blocks is a slice of its own: it costs about as much as laying out one.
    if (trimLog(follow)) {
        if (follow)
            bar->setValue(bar->maximum());
        return shownEntries < logEntries.size();
    }
    if (shownEntries >= logEntries.size())
        return false;

    // Inserted as text, so bytes that look like markup are shown as they are. A text document
    // turns CR and LF into paragraph breaks, which would split one block over several lines;
    // they are shown as \r and \n in grey instead.
    QTextDocument *document = log->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    const QTextCharFormat plain;
    QTextCharFormat lineBreak;
    lineBreak.setForeground(QColor(0x90, 0x90, 0x90));
    bool first = document->isEmpty();
    // A backlog of more than half the bound is a burst nobody can read as it passes: only its
    // newest blocks are laid out, in place of what the log showed before, so a frame stays short.
    const auto newest = [this](int budget) {
        int from = logEntries.size();
        int characters = 0;
        while (from > shownEntries && logEntries.size() - from < MaxShownBlocks) {
            const LogEntry &entry = logEntries.at(from - 1);
            const int length
                = entry.text.isNull() ? entry.bytes.size() * 3 + 16 : entry.text.size();
            if (characters + length > budget && from < logEntries.size())
                break;
            characters += length;
            --from;
        }
        return from;
    };
    int from = newest(MaxShownCharacters / 2);
    if (from > shownEntries) {
        from = newest(FrameCharacters);
        if (!first) {
            cursor.endEditBlock();
            log->clear();
            cursor = QTextCursor(document);
            cursor.beginEditBlock();
            first = true;
        }
    }
    // Laying out is the dear part and happens when the edit ends; a slice of it at a time, sized
    // by how fast the last slices went, keeps the window responsive.
    QElapsedTimer slice;
    slice.start();
    const qint64 budget = qMax<qint64>(1024, qint64(layoutCharsPerMs * SliceMs));
    qint64 laidOut = 0;
    int e = from;
    for (; e < logEntries.size() && (e == from || laidOut < budget); ++e) {
        const QString paragraph = paragraphText(logEntries.at(e));
        laidOut += paragraph.size();
        if (!first)
            cursor.insertBlock(QTextBlockFormat(), plain);
        first = false;
        int start = 0;
        for (int i = 0; i < paragraph.size(); ++i) {
            const QChar c = paragraph.at(i);
            if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
                continue;
            cursor.insertText(paragraph.mid(start, i - start), plain);
            cursor.insertText(lineBreakText(c), lineBreak);
            start = i + 1;
        }
        cursor.insertText(paragraph.mid(start), plain);
    }
    cursor.endEditBlock();
    shownEntries = e;
    const double ms = slice.nsecsElapsed() / 1e6;
    if (laidOut >= 1024 && ms > 0.1)
        layoutCharsPerMs = 0.7 * layoutCharsPerMs + 0.3 * (laidOut / ms);

    if (follow)
        bar->setValue(bar->maximum());
    return shownEntries < logEntries.size() || logTooLong();
}

bool AppDeviceDialog::logTooLong() const
{
    // A single block longer than the bound stays: it is the newest.
    const QTextDocument *document = ui->logText->document();
    return document->blockCount() > MaxShownBlocks + TrimSlackBlocks
        || (document->characterCount() > MaxShownCharacters && document->blockCount() > 1);
}

bool AppDeviceDialog::trimLog(bool following)
{
    if (!logTooLong())
        return false;
    QTextDocument *document = ui->logText->document();
    const int blocks = document->blockCount();
    // Well below the bounds, so that dropping (which moves every remaining block up) is rare,
    // and never the newest block.
    int drop = qMax(0, blocks - MaxShownBlocks);
    int characters = document->characterCount();
    QTextBlock block = document->begin();
    for (int i = 0; i < drop; ++i) {
        characters -= block.length();
        block = block.next();
    }
    while (characters > MaxShownCharacters * 3 / 4 && block.next().isValid()) {
        characters -= block.length();
        block = block.next();
        ++drop;
    }
    if (drop == 0)
        return false;

    QScrollBar *bar = ui->logText->verticalScrollBar();
    // Where the first kept block begins, so a reader's place can be kept.
    const int removedHeight
        = following ? 0 : qRound(document->documentLayout()->blockBoundingRect(block).top());
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(0);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
    if (!following)
        bar->setValue(qMax(0, bar->value() - removedHeight));
    return true;
}

QString AppDeviceDialog::paragraphText(const LogEntry &entry)
{
    if (!entry.text.isNull())
        return entry.text;
    return QStringLiteral("Received:") + bytesToHex(entry.bytes) + QStringLiteral("-------")
        + bytesToAscii(entry.bytes);
}

QString AppDeviceDialog::logPlainText() const
{
    // From what was logged, not from the widget: it shows only the newest blocks, and the bytes
    // are given back exactly, CR and LF included.
    QString text;
    for (int e = 0; e < logEntries.size(); ++e) {
        if (e > 0)
            text += QLatin1Char('\n');
        text += paragraphText(logEntries.at(e));
    }
    return text;
}

void AppDeviceDialog::addHistory(const QString &direction, const QByteArray &bytes)
{
    const AppDeviceData *record = device->deviceData();
    mainWin->addHistory(new AppHistoryData(
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")), direction,
        bytes, record->portName(), record->baudRate(), record->dataBits(), record->stopBits(),
        record->parity(), record->flowControl()));
}
