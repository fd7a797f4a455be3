#include "ui/sendtools.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "serial/filesender.h"
#include "serial/linetime.h"
#include "serial/repeatsender.h"
#include "ui/appdevicedialogform.h"
#include "ui/bytefields.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The stored words of the endings, in the order of the combo box.
const char *const endingWords[] = { "none", "cr", "lf", "crlf" };
const char *const endingBytes[] = { "", "\r", "\n", "\r\n" };

const QString lineEndOption = QStringLiteral("lineend");

// A message about something that stopped while the device may be showing its own: shown once
// no other box is open, so boxes never stack. The terminal may be gone by then.
void tellWhenFree(const QString &text)
{
    QTimer::singleShot(
        QApplication::activeModalWidget() ? 50 : 0, VerantisTerminalApp::app(), [text] {
            if (QApplication::activeModalWidget())
                tellWhenFree(text);
            else
                VerantisTerminalApp::app()->showMessage(text);
        });
}

} // namespace

SendTools::SendTools(Ui::AppDeviceDialog *form, AppDevice *device, Send send, QWidget *parent)
    : QObject(parent)
    , device(device)
    , window(parent)
    , sendBtn(form->sendBtn)
    , hexEdit(form->hexEdit)
    , repeat(new RepeatSender(send, this))
    , file(new FileSender(device, send, this))
{
    buildRow(form, parent);

    const QString name = device->deviceData()->name();
    const QString word = VerantisTerminalApp::app()
                             ->settingsManager()
                             ->deviceOption(name, lineEndOption, QStringLiteral("none"))
                             .toString();
    for (int i = 0; i < lineEndCombo->count(); ++i) {
        if (word == QLatin1String(endingWords[i]))
            lineEndCombo->setCurrentIndex(i);
    }
    connect(
        lineEndCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [name](int index) {
            if (index >= 0)
                VerantisTerminalApp::app()->settingsManager()->setDeviceOption(
                    name, lineEndOption, QLatin1String(endingWords[index]));
        });

    connect(repeatCheck, &QCheckBox::toggled, this, &SendTools::onRepeatToggled);
    connect(repeat, &RepeatSender::sentCountChanged, repeatSentLabel,
        [this](int count) { repeatSentLabel->setText(tr("Sent: %L1").arg(count)); });
    connect(repeat, &RepeatSender::stopped, this, &SendTools::onRepeatStopped);
    connect(sendFileBtn, &QPushButton::clicked, this, &SendTools::onSendFileClicked);
    connect(cancelFileBtn, &QPushButton::clicked, file, &FileSender::cancel);
    connect(file, &FileSender::progress, this, &SendTools::onFileProgress);
    connect(file, &FileSender::finished, this, &SendTools::onFileFinished);

    // The device tells the operator about its own errors; sending stops at once, so no more
    // blocks meet the same fault while the message is open.
    connect(device, &AppDevice::lineLost, this, [this] {
        repeat->stop();
        file->lineLost();
    });
    connect(device, &AppDevice::onDeviceError, this, [this] {
        repeat->stop();
        file->portFailed(tr("the port reported an error"));
    });
    connect(device, &AppDevice::writeFailed, this, [this](const QString &reason) {
        repeat->stop();
        file->portFailed(reason);
    });
}

void SendTools::buildRow(Ui::AppDeviceDialog *form, QWidget *parent)
{
    QHBoxLayout *row = form->sendRow;
    auto *endingLabel = new QLabel(tr("Line ending"), parent);
    lineEndCombo = new QComboBox(parent);
    lineEndCombo->setObjectName(QStringLiteral("lineEndCombo"));
    lineEndCombo->addItems({ tr("None"), tr("CR"), tr("LF"), tr("CR LF") });
    lineEndCombo->setAccessibleName(tr("Line ending"));
    endingLabel->setBuddy(lineEndCombo);

    repeatCheck = new QCheckBox(tr("Repeat every"), parent);
    repeatCheck->setObjectName(QStringLiteral("repeatCheck"));
    repeatCheck->setAccessibleName(tr("Repeat every"));
    repeatSpin = new QSpinBox(parent);
    repeatSpin->setObjectName(QStringLiteral("repeatSpin"));
    repeatSpin->setRange(10, 3600000);
    repeatSpin->setValue(1000);
    repeatSpin->setSuffix(tr(" ms"));
    repeatSpin->setAccessibleName(tr("Repeat interval in milliseconds"));
    repeatCountSpin = new QSpinBox(parent);
    repeatCountSpin->setObjectName(QStringLiteral("repeatCountSpin"));
    repeatCountSpin->setRange(0, std::numeric_limits<int>::max());
    repeatCountSpin->setPrefix(tr("times: "));
    repeatCountSpin->setSpecialValueText(tr("until stopped"));
    repeatCountSpin->setAccessibleName(tr("Repeat count, 0 until stopped"));
    // A spin box's own field is what the keyboard reaches.
    for (QSpinBox *spin : { repeatSpin, repeatCountSpin }) {
        if (auto *field = spin->findChild<QLineEdit *>())
            field->setAccessibleName(spin->accessibleName());
    }
    repeatSentLabel = new QLabel(tr("Sent: 0"), parent);
    repeatSentLabel->setObjectName(QStringLiteral("repeatSentLabel"));

    sendFileBtn = new QPushButton(tr("Send File\u2026"), parent);
    sendFileBtn->setObjectName(QStringLiteral("sendFileBtn"));
    sendFileBtn->setAccessibleName(tr("Send File"));
    // Return in the fields sends the block; the file button never becomes the default.
    sendFileBtn->setAutoDefault(false);
    fileProgress = new QProgressBar(parent);
    fileProgress->setObjectName(QStringLiteral("fileProgress"));
    fileProgress->setRange(0, 100);
    fileProgress->setAccessibleName(tr("File sent"));
    fileStatusLabel = new QLabel(parent);
    fileStatusLabel->setObjectName(QStringLiteral("fileStatusLabel"));
    cancelFileBtn = new QPushButton(tr("Cancel"), parent);
    cancelFileBtn->setObjectName(QStringLiteral("cancelFileBtn"));
    cancelFileBtn->setAccessibleName(tr("Cancel sending the file"));
    cancelFileBtn->setAutoDefault(false);

    // Two lines, so the terminal stays narrow: the block's options, then the file.
    auto *lines = new QVBoxLayout();
    auto *blockLine = new QHBoxLayout();
    for (QWidget *widget : std::initializer_list<QWidget *> {
             endingLabel, lineEndCombo, repeatCheck, repeatSpin, repeatCountSpin, repeatSentLabel })
        blockLine->addWidget(widget);
    blockLine->addStretch();
    auto *fileLine = new QHBoxLayout();
    for (QWidget *widget : std::initializer_list<QWidget *> {
             sendFileBtn, fileProgress, fileStatusLabel, cancelFileBtn })
        fileLine->addWidget(widget);
    fileLine->addStretch();
    lines->addLayout(blockLine);
    lines->addLayout(fileLine);
    row->addLayout(lines);
    // The dialog has a fixed minimum width of its own, which would squeeze the row's captions.
    if (QLayout *top = parent->layout()) {
        const QMargins margins = top->contentsMargins();
        parent->setMinimumWidth(qMax(parent->minimumWidth(),
            lines->minimumSize().width() + margins.left() + margins.right()));
    }
    // Tab goes from Send through the row, before the log and its buttons.
    QWidget *previous = form->sendBtn;
    for (QWidget *next : std::initializer_list<QWidget *> {
             lineEndCombo, repeatCheck, repeatSpin, repeatCountSpin, sendFileBtn, cancelFileBtn }) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    setFileBusy(false);
    fileProgress->hide();
}

QByteArray SendTools::lineEnding() const
{
    const int index = lineEndCombo->currentIndex();
    return index > 0 ? QByteArray(endingBytes[index]) : QByteArray();
}

void SendTools::stopAll()
{
    repeat->stop();
    file->cancel();
}

void SendTools::onRepeatToggled(bool on)
{
    if (!on) {
        repeat->stop();
        return;
    }
    if (!startRepeat()) {
        const QSignalBlocker blocker(repeatCheck);
        repeatCheck->setChecked(false);
    }
}

bool SendTools::startRepeat()
{
    QByteArray bytes;
    if (!hexFieldBytes(hexEdit, &bytes))
        return false;
    if (bytes.isEmpty()) {
        VerantisTerminalApp::app()->showMessage(
            tr("There is nothing to repeat: the HEX field is empty."));
        return false;
    }
    bytes += lineEnding();
    const AppDeviceData &record = *device->deviceData();
    const qint64 fastest
        = qMax<qint64>(repeatSpin->minimum(), lineMilliseconds(bytes.size(), record));
    if (repeatSpin->value() < fastest) {
        VerantisTerminalApp::app()->showMessage(
            tr("A repeat every %L1 ms is faster than the line can carry these %L2 bytes at %L3 "
               "baud. The fastest interval allowed is %L4 ms.")
                .arg(repeatSpin->value())
                .arg(bytes.size())
                .arg(record.baudRate())
                .arg(fastest));
        return false;
    }
    repeatSpin->setEnabled(false);
    repeatCountSpin->setEnabled(false);
    sendFileBtn->setEnabled(false);
    repeat->start(bytes, repeatSpin->value(), repeatCountSpin->value());
    return true;
}

void SendTools::onRepeatStopped(bool refused)
{
    {
        const QSignalBlocker blocker(repeatCheck);
        repeatCheck->setChecked(false);
    }
    repeatSpin->setEnabled(true);
    repeatCountSpin->setEnabled(true);
    sendFileBtn->setEnabled(!file->isSending());
    if (refused)
        tellWhenFree(tr("Repeat stopped: the port did not take the block. %L1 were sent.")
                         .arg(repeat->sentCount()));
}

void SendTools::onSendFileClicked()
{
    const QString path = QFileDialog::getOpenFileName(window, tr("Send File"));
    if (!path.isEmpty())
        sendFile(path);
}

void SendTools::sendFile(const QString &path)
{
    if (file->isSending() || repeat->isRunning())
        return;
    setFileBusy(true);
    fileProgress->show();
    QString error;
    if (!file->start(path, &error)) {
        setFileBusy(false);
        fileStatusLabel->setText(tr("Not sent"));
        VerantisTerminalApp::app()->showMessage(error);
    }
}

void SendTools::onFileProgress(qint64 sent, qint64 total)
{
    const int percent = total > 0 ? int(sent * 100 / total) : 100;
    fileProgress->setValue(percent);
    fileStatusLabel->setText(tr("%L1 of %L2 bytes (%3%)").arg(sent).arg(total).arg(percent));
}

void SendTools::onFileFinished(const QString &text)
{
    setFileBusy(false);
    if (text.isEmpty())
        return;
    fileStatusLabel->setText(
        tr("Stopped at %L1 of %L2 bytes").arg(file->sentBytes()).arg(file->totalBytes()));
    tellWhenFree(text);
}

void SendTools::setFileBusy(bool busy)
{
    // A block or a repeat slipped into a file would corrupt what the device receives.
    const bool hadFocus = cancelFileBtn->hasFocus();
    sendBtn->setEnabled(!busy);
    repeatCheck->setEnabled(!busy);
    sendFileBtn->setEnabled(!busy && !repeat->isRunning());
    cancelFileBtn->setVisible(busy);
    if (busy)
        cancelFileBtn->setFocus();
    else if (hadFocus)
        sendFileBtn->setFocus();
}
