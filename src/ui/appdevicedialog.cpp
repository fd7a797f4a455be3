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

#include <QClipboard>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Marks the log text that stands for a CR or LF byte.
const int LineBreakProperty = QTextFormat::UserProperty + 1;

QString lineBreakText(QChar c)
{
    return c == QLatin1Char('\r') ? QStringLiteral("\\r") : QStringLiteral("\\n");
}

} // namespace

AppDeviceDialog::AppDeviceDialog(AppMainWin *parent, AppDevice *device)
    : QDialog(parent)
    , ui(new Ui::AppDeviceDialog)
    , device(device)
    , mainWin(parent)
{
    ui->setupUi(this);
    // HEX runs have no word boundaries; breaking them anywhere keeps laying out a long block
    // cheap instead of searching each line for a boundary that is not there.
    ui->logText->setWordWrapMode(QTextOption::WrapAnywhere);
    setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    const AppDeviceData *record = device->deviceData();
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
    connect(ui->sendBtn, &QPushButton::clicked, this, &AppDeviceDialog::onSendBtnClicked);
    connect(ui->closeBtn, &QPushButton::clicked, this, &AppDeviceDialog::close);
    connect(ui->clearBtn, &QPushButton::clicked, this, &AppDeviceDialog::onClearBtnClicked);
    connect(ui->clipBoardBtn, &QPushButton::clicked, this, &AppDeviceDialog::onCopyToClipBoard);
    connect(ui->loadCommandBtn, &QPushButton::clicked, this, &AppDeviceDialog::onLoadBtnClicked);

    loadSavedCommands();
}

AppDeviceDialog::~AppDeviceDialog()
{
    // QDialog hides itself after this destructor has run; a field losing the focus then must not
    // call back into the half-destroyed dialog.
    disconnect(ui->hexEdit, nullptr, this, nullptr);
    disconnect(ui->asciiEdit, nullptr, this, nullptr);
    delete ui;
}

// Read once: commands saved or deleted later in the main window do not reach an open terminal.
void AppDeviceDialog::loadSavedCommands()
{
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();
    for (int i = 0; i < store->commandCount(); ++i)
        ui->savedCommandsCombo->addItem(store->commandNameAt(i));
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
    appendToLog(QStringLiteral("Error"));
}

void AppDeviceDialog::onDeviceFullToRead(QByteArray buf)
{
    appendToLog(QStringLiteral("Received:") + bytesToHex(buf) + QStringLiteral("-------")
        + bytesToAscii(buf));
    addHistory(QStringLiteral("Received"), buf);
}

void AppDeviceDialog::onSendBtnClicked()
{
    // Only a closing dialog has no device; it is hidden and about to go.
    if (!device)
        return;
    // The fields as they stand: a HEX text still being edited is sent as typed.
    const QString hex = ui->hexEdit->text();
    appendToLog(QStringLiteral("Sent:") + hex + QStringLiteral("-------") + ui->asciiEdit->text());
    const QByteArray bytes = hexToBytes(hex);
    addHistory(QStringLiteral("Sent"), bytes);
    device->write(bytes);
}

void AppDeviceDialog::onHEXChanged()
{
    const QByteArray bytes = hexToBytes(ui->hexEdit->text());
    showBytes(ui->hexEdit, ui->asciiEdit, bytes);
}

void AppDeviceDialog::onASCIIChanged()
{
    const QByteArray bytes = asciiToBytes(ui->asciiEdit->text());
    showBytes(ui->hexEdit, ui->asciiEdit, bytes);
}

void AppDeviceDialog::onClearBtnClicked()
{
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

void AppDeviceDialog::appendToLog(const QString &paragraph)
{
    QTextEdit *log = ui->logText;
    // Keep showing the newest block while the operator's cursor is at the end, as append() does.
    const bool follow = log->textCursor().atEnd();

    // Inserted as text, so bytes that look like markup are shown as they are. A text document
    // turns CR and LF into paragraph breaks, which would split one block over several lines and
    // lose the CR; they are shown as \r and \n in grey instead, marked so a copy restores them.
    QTextCursor cursor(log->document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    const QTextCharFormat plain;
    if (!log->document()->isEmpty())
        cursor.insertBlock(QTextBlockFormat(), plain);
    QTextCharFormat lineBreak;
    lineBreak.setProperty(LineBreakProperty, true);
    lineBreak.setForeground(QColor(0x90, 0x90, 0x90));
    int from = 0;
    for (int i = 0; i < paragraph.size(); ++i) {
        const QChar c = paragraph.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        cursor.insertText(paragraph.mid(from, i - from), plain);
        cursor.insertText(lineBreakText(c), lineBreak);
        from = i + 1;
    }
    cursor.insertText(paragraph.mid(from), plain);
    cursor.endEditBlock();

    if (follow) {
        QScrollBar *bar = log->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
}

QString AppDeviceDialog::logPlainText() const
{
    // Built from the fragments rather than toPlainText(), which turns the Latin-1 no-break space
    // into a plain space.
    const QString cr = lineBreakText(QLatin1Char('\r'));
    const QString lf = lineBreakText(QLatin1Char('\n'));
    QString text;
    const QTextDocument *document = ui->logText->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin())
            text += QLatin1Char('\n');
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString part = fragment.text();
            if (!fragment.charFormat().boolProperty(LineBreakProperty)) {
                text += QString(part).replace(QChar::LineSeparator, QLatin1Char('\n'));
                continue;
            }
            for (int i = 0; i < part.size(); ++i) {
                const QStringView pair = QStringView(part).mid(i, 2);
                if (pair == cr || pair == lf) {
                    text += pair == cr ? QLatin1Char('\r') : QLatin1Char('\n');
                    ++i;
                } else {
                    text += part.at(i);
                }
            }
        }
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
