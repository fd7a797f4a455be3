#include "ui/terminallogfile.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "ui/logfoldersetting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

const QString onOption = QStringLiteral("logfile");
const QString pathOption = QStringLiteral("logpath");
const QString formatOption = QStringLiteral("logformat");
const QString linesText = QStringLiteral("Lines");
const QString rawText = QStringLiteral("Raw");

AppSettingsManager *store()
{
    return VerantisTerminalApp::app()->settingsManager();
}

} // namespace

TerminalLogFile::TerminalLogFile(QWidget *dialog, QHBoxLayout *row, const AppDeviceData *line)
    : QObject(dialog)
    , dialog(dialog)
    , check(new QCheckBox(tr("Log to file"), dialog))
    , pathEdit(new QLineEdit(dialog))
    , pickBtn(new QPushButton(QStringLiteral("\u2026"), dialog))
    , formatCombo(new QComboBox(dialog))
    , log(nullptr)
    , deviceName(line->name())
    , portName(line->portName())
    , baudRate(line->baudRate())
    , dataBits(line->dataBits())
    , stopBits(line->stopBits())
    , parity(line->parity())
    , flowControl(line->flowControl())
{
    check->setObjectName(QStringLiteral("logFileCheck"));
    pathEdit->setObjectName(QStringLiteral("logFileEdit"));
    pickBtn->setObjectName(QStringLiteral("logFileBtn"));
    formatCombo->setObjectName(QStringLiteral("logFormatCombo"));
    pathEdit->setAccessibleName(tr("Log file"));
    pathEdit->setToolTip(tr("Appended to, never truncated. %date% (a new file each day), %time% "
                            "and %port% are filled in."));
    pickBtn->setAccessibleName(tr("Choose the log file"));
    pickBtn->setToolTip(pickBtn->accessibleName());
    formatCombo->setAccessibleName(tr("Log format"));
    formatCombo->addItems({ linesText, rawText });
    formatCombo->setToolTip(tr("Lines: one line per block, as Save History writes them, with "
                               "markers. Raw: the received bytes alone, as they came."));
    row->addWidget(check);
    row->addWidget(pathEdit, 1);
    row->addWidget(pickBtn);
    row->addWidget(formatCombo);

    // The device's own choice, else the main window's folder for every terminal.
    bool on = false;
    QString path;
    QString format = linesText;
    if (!deviceName.isEmpty() && store()->hasDeviceOption(deviceName, onOption)) {
        on = store()->deviceOption(deviceName, onOption).toBool();
        path = store()->deviceOption(deviceName, pathOption).toString();
        format = store()->deviceOption(deviceName, formatOption, linesText).toString();
    } else {
        path = LogFolderSetting::terminalPath(store());
        on = !path.isEmpty();
    }
    pathEdit->setText(QDir::toNativeSeparators(path));
    shownPath = path;
    formatCombo->setCurrentIndex(format == rawText ? 1 : 0);
    check->setChecked(on);

    connect(check, &QCheckBox::clicked, this, &TerminalLogFile::onCheckClicked);
    connect(pathEdit, &QLineEdit::editingFinished, this, &TerminalLogFile::onPathEdited);
    connect(formatCombo, QOverload<int>::of(&QComboBox::activated), this,
        &TerminalLogFile::onFormatChosen);
    connect(pickBtn, &QPushButton::clicked, this, &TerminalLogFile::onPickClicked);

    if (on)
        start();
}

TerminalLogFile::~TerminalLogFile()
{
    finish();
}

void TerminalLogFile::addRecord(const AppHistoryData &record)
{
    if (log)
        log->appendRecord(record);
}

void TerminalLogFile::addMarker(const QString &word)
{
    if (!log || log->format() != LogFile::Format::Lines)
        return;
    const AppHistoryData marker(
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")),
        QLatin1String(AppHistoryData::EventDirection), word.toUtf8(), portName, baudRate, dataBits,
        stopBits, parity, flowControl);
    log->appendRecord(marker);
}

void TerminalLogFile::finish()
{
    if (log)
        stop();
}

void TerminalLogFile::start()
{
    QString path = QDir::fromNativeSeparators(pathEdit->text().trimmed());
    if (path.isEmpty()) {
        check->setChecked(false);
        return;
    }
    // A bare name goes where the program keeps its files, not wherever it was started from.
    if (QDir::isRelativePath(path))
        path = QDir(store()->dataFolder()).filePath(path);
    auto *file = new LogFile(chosenFormat(), this);
    if (!file->openPattern(path, portName)) {
        const QString text = file->failure();
        delete file;
        check->setChecked(false);
        tellLater(text);
        return;
    }
    log = file;
    connect(log, &LogFile::failed, this, &TerminalLogFile::onFailed);
    addMarker(QStringLiteral("Opened"));
}

void TerminalLogFile::stop()
{
    addMarker(QStringLiteral("Closed"));
    // Written and closed now: the file is complete when the box is unchecked.
    delete log;
    log = nullptr;
}

void TerminalLogFile::restart()
{
    if (log)
        stop();
    if (check->isChecked())
        start();
}

void TerminalLogFile::onCheckClicked(bool checked)
{
    if (checked && pathEdit->text().trimmed().isEmpty()) {
        onPickClicked();
        check->setChecked(!pathEdit->text().trimmed().isEmpty());
        return;
    }
    if (checked)
        start();
    else
        stop();
    remember();
}

void TerminalLogFile::onPathEdited()
{
    // Editing ends also when the field merely loses the focus.
    const QString path = QDir::fromNativeSeparators(pathEdit->text().trimmed());
    if (path == shownPath)
        return;
    shownPath = path;
    restart();
    remember();
}

void TerminalLogFile::onFormatChosen()
{
    if (log && log->format() == chosenFormat())
        return;
    restart();
    remember();
}

void TerminalLogFile::onPickClicked()
{
    const QString current = QDir::fromNativeSeparators(pathEdit->text().trimmed());
    const QString path = QFileDialog::getSaveFileName(dialog, tr("Log to file"),
        current.isEmpty() ? store()->dataFolder() : current,
        tr("Log files (*.log *.txt);;All files (*)"), nullptr,
        // Logging appends to the file: choosing one that exists overwrites nothing.
        QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    pathEdit->setText(QDir::toNativeSeparators(path));
    shownPath = path;
    check->setChecked(true);
    restart();
    remember();
}

void TerminalLogFile::onFailed(const QString &text)
{
    // The file calls from inside its own write: it goes once it has returned. The choice stays
    // stored, so the next opening tries again.
    log->deleteLater();
    log = nullptr;
    check->setChecked(false);
    tellLater(text);
}

void TerminalLogFile::remember()
{
    if (deviceName.isEmpty())
        return;
    store()->setDeviceOptions(deviceName,
        { { onOption, check->isChecked() },
            { pathOption, QDir::fromNativeSeparators(pathEdit->text().trimmed()) },
            { formatOption, formatCombo->currentText() } });
}

LogFile::Format TerminalLogFile::chosenFormat() const
{
    return formatCombo->currentIndex() == 1 ? LogFile::Format::Raw : LogFile::Format::Lines;
}

void TerminalLogFile::tellLater(const QString &text)
{
    QTimer::singleShot(
        0, VerantisTerminalApp::app(), [text] { VerantisTerminalApp::app()->showMessage(text); });
}
