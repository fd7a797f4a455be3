#include "ui/appmainwin.h"

#include "app/verantisterminalapp.h"
#include "data/appcommanddata.h"
#include "data/appdevicedata.h"
#include "data/apphistorydata.h"
#include "data/appsettingsmanager.h"
#include "data/capturestore.h"
#include "models/appcommandtabledelegate.h"
#include "models/appcommandtablemodel.h"
#include "models/appdevicetabledelegate.h"
#include "models/appdevicetablemodel.h"
#include "models/apphistorytabledelegate.h"
#include "models/apphistorytablemodel.h"
#include "models/settingcombos.h"
#include "serial/serialsettings.h"
#include "ui/apphistoryheaderview.h"
#include "ui/appmainwinform.h"
#include "ui/bytefields.h"
#include "ui/logfoldersetting.h"
#include "ui/findbar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

// Save and Open read the device form the same way: the name as typed, the port as text, baud
// rate and data bits as numbers, and the other three as positions in their lists.
AppDeviceData *deviceFromForm(const Ui::AppMainWin *ui)
{
    return new AppDeviceData(ui->deviceNameEdit->text(), ui->portCombo->currentText(),
        baudRateFromText(ui->baudRateCombo->currentText()),
        ui->dataBitsCombo->currentText().toInt(nullptr, 10), ui->stopBitsCombo->currentIndex(),
        ui->parityCombo->currentIndex(), ui->flowControlCombo->currentIndex());
}

AppDeviceData *copyOf(const AppDeviceData *d)
{
    return new AppDeviceData(d->name(), d->portName(), d->baudRate(), d->dataBits(), d->stopBits(),
        d->parity(), d->flowControl());
}

// How long the status bar offers to undo a deletion.
const int UndoOfferMs = 10000;

} // namespace

AppMainWin::AppMainWin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::AppMainWin)
    , deviceModel(nullptr)
    , commandModel(nullptr)
    , historyModel(nullptr)
    , deviceDelegate(nullptr)
    , commandDelegate(nullptr)
    , historyFrame(new QTimer(this))
    , historyRowsSaved(0)
    , deleted(nullptr)
    , deletedFrom(nullptr)
    , deletedRow(0)
    , undoButton(nullptr)
    , undoOffer(new QTimer(this))
    , movingWindow(false)
    , historyFind(nullptr)
{
    ui->setupUi(this);
    // Under the history: the folder every terminal without a log file of its own logs to.
    new LogFolderSetting(ui->centralWidget, ui->verticalLayout);

    // The ports the system has come first; COM1 stays the default.
    ui->portCombo->refreshPorts();
    ui->portCombo->selectPort(QStringLiteral("COM1"));
    ui->baudRateCombo->addItems(baudRateTexts());
    makeBaudRateEditable(ui->baudRateCombo);
    selectBaudRate(ui->baudRateCombo, QStringLiteral("9600"));
    ui->dataBitsCombo->addItems(dataBitsTexts());
    ui->dataBitsCombo->setCurrentText(QStringLiteral("8"));
    ui->stopBitsCombo->addItems(stopBitsTexts);
    ui->stopBitsCombo->setCurrentIndex(0);
    ui->parityCombo->addItems(parityTexts);
    ui->parityCombo->setCurrentText(QStringLiteral("None"));
    ui->flowControlCombo->addItems(flowControlTexts);
    ui->flowControlCombo->setCurrentText(QStringLiteral("OFF"));
    // At the first size every choice is readable in full, not cut to "COI" or "960".
    // The port list is fitted to COM100: a long name the system reports (as on macOS) must not
    // widen the window past the screen; its list shows it whole.
    fitToLongestEntry(ui->portCombo, portNameTexts());
    for (QComboBox *combo : { ui->baudRateCombo, ui->dataBitsCombo, ui->stopBitsCombo,
             ui->parityCombo, ui->flowControlCombo })
        fitToLongestEntry(combo);

    connect(ui->deviceOpenBtn, &QPushButton::clicked, this, &AppMainWin::onDeviceOpenBtnClicked);
    connect(ui->deviceSaveBtn, &QPushButton::clicked, this, &AppMainWin::onDeviceSaveBtnClicked);
    connect(ui->commandSaveBtn, &QPushButton::clicked, this, &AppMainWin::onCommandSaveBtnClicked);
    connect(ui->hexEdit, &QLineEdit::editingFinished, this, &AppMainWin::onHEXChanged);
    connect(ui->asciiEdit, &QLineEdit::editingFinished, this, &AppMainWin::onASCIIChanged);
    connect(ui->hexEdit, &QLineEdit::textEdited, this, &AppMainWin::onHEXEdited);
    connect(ui->asciiEdit, &QLineEdit::textEdited, this, &AppMainWin::onASCIIEdited);
    connect(ui->clearHistoryBtn, &QPushButton::clicked, this, &AppMainWin::onClearBtnClicked);
    connect(ui->saveHistoryBtn, &QPushButton::clicked, this, &AppMainWin::onSaveHistoryBtnCLicked);

    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();

    deviceModel = new AppDeviceTableModel(store->loadDevices());
    connect(
        deviceModel, &QAbstractItemModel::rowsAboutToBeRemoved, this, &AppMainWin::onDeviceRemoved);
    ui->deviceTable->setModel(deviceModel);
    deviceDelegate = new AppDeviceTableDelegate(ui->deviceTable);
    ui->deviceTable->setItemDelegate(deviceDelegate);

    commandModel = new AppCommandTableModel(store->loadCommands());
    connect(commandModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        &AppMainWin::onCommandRemoved);
    ui->commandTable->setModel(commandModel);
    commandDelegate = new AppCommandTableDelegate(ui->commandTable);
    ui->commandTable->setItemDelegate(commandDelegate);

    // The history lives in this run's capture store, with what it recovered from runs that
    // ended unexpectedly; the table shows a window of it.
    historyModel = new AppHistoryTableModel(new QList<AppTableData *>());
    if (CaptureStore *capture = VerantisTerminalApp::app()->captureStore())
        historyModel->setStore(capture);
    ui->historyTable->setModel(historyModel);
    // The table's own bar, hidden, still moves with the wheel and the keys within the window;
    // the bar beside the table spans the whole history and follows it.
    QScrollBar *historyBar = ui->historyTable->verticalScrollBar();
    ui->historyTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(historyBar, &QScrollBar::valueChanged, this, &AppMainWin::onHistoryScrolled);
    connect(historyBar, &QScrollBar::actionTriggered, this, &AppMainWin::onHistoryScrolled);
    connect(historyBar, &QScrollBar::valueChanged, this, &AppMainWin::updateHistoryBar);
    connect(historyBar, &QScrollBar::rangeChanged, this, &AppMainWin::updateHistoryBar);
    ui->historyScrollBar->setAccessibleName(tr("History position"));
    connect(ui->historyScrollBar, &QScrollBar::valueChanged, this, &AppMainWin::onHistoryBarMoved);
    ui->historyTable->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // Owned by the view. Long blocks would otherwise be laid out in full on every repaint.
    ui->historyTable->setItemDelegate(new AppHistoryTableDelegate(ui->historyTable));
    // A whole time stamp; the other cut texts show whole on hover.
    const int stampWidth = ui->historyTable->fontMetrics().horizontalAdvance(
        QStringLiteral("00.00.0000 00:00:00.000"));
    ui->historyTable->horizontalHeader()->resizeSection(0, stampWidth + 16);
    // One row height and a header width that does not depend on the row count: a row then costs
    // the same at a million rows as at the first.
    const int rowHeight = ui->historyTable->verticalHeader()->defaultSectionSize();
    ui->historyTable->setVerticalHeader(new AppHistoryHeaderView(ui->historyTable));
    ui->historyTable->verticalHeader()->setDefaultSectionSize(rowHeight);
    historyFrame->setObjectName(QStringLiteral("historyFrame"));
    historyFrame->setSingleShot(true);
    historyFrame->setTimerType(Qt::PreciseTimer);
    historyFrame->setInterval(HistoryFrameMs);
    connect(historyFrame, &QTimer::timeout, this, &AppMainWin::flushHistory);

    // A deleted device or command can be had back: Ctrl+Z (a field being edited keeps its own
    // undo), or the button the status bar shows for a while after the deletion.
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    undoButton = new QPushButton(tr("Undo"), statusBar());
    undoButton->setObjectName(QStringLiteral("undoBtn"));
    undoButton->hide();
    statusBar()->addPermanentWidget(undoButton);
    connect(undoButton, &QPushButton::clicked, this, &AppMainWin::undoDelete);
    undoOffer->setSingleShot(true);
    undoOffer->setInterval(UndoOfferMs);
    connect(undoOffer, &QTimer::timeout, undoButton, &QWidget::hide);
    auto *undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, &AppMainWin::undoDelete);

    setUpHistoryFind();

    adjustSize();
    // Qt's first size is at most two thirds of the screen; where the screen has room, the
    // device form is shown on one line and the tables get their height.
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize wanted = sizeHint();
        resize(qMin(qMax(width(), wanted.width()), area.width()),
            qMin(qMax(height(), wanted.height()), area.height()));
    }
}

AppMainWin::~AppMainWin()
{
    // Fields losing the focus while the window is taken down must not call back into it.
    disconnect(ui->hexEdit, nullptr, this, nullptr);
    disconnect(ui->asciiEdit, nullptr, this, nullptr);
    // Hiding the table below changes its bar's range, which must not reach back into the
    // history's half-destroyed state.
    disconnect(ui->historyTable->verticalScrollBar(), nullptr, this, nullptr);
    disconnect(ui->historyScrollBar, nullptr, this, nullptr);
    disconnect(ui->historyTable->selectionModel(), nullptr, this, nullptr);
    delete ui;
    qDeleteAll(pendingHistory);
    delete deleted;
    // The tables (and the button widgets in their cells) go first, so no view is left pointing
    // at a deleted model or delegate; the terminal dialogs go with the base class afterwards.
    delete takeCentralWidget();
    delete commandDelegate;
    delete deviceDelegate;
    delete historyModel;
    delete commandModel;
    delete deviceModel;
}

void AppMainWin::addHistory(AppHistoryData *record)
{
    pendingHistory.append(record);
    if (!historyFrame->isActive())
        historyFrame->start();
}

void AppMainWin::flushHistory()
{
    historyFrame->stop();
    if (pendingHistory.isEmpty())
        return;
    // Follow the newest rows only while the operator is at the end; someone who scrolled up to
    // read is not pulled away.
    const bool follow = historyAtEnd();
    const QList<AppTableData *> batch = pendingHistory;
    pendingHistory.clear();
    if (CaptureStore *capture = historyModel->store()) {
        capture->append(batch);
        movingWindow = true;
        historyModel->appendStored(batch, follow);
        movingWindow = false;
    } else {
        historyModel->addRecords(batch);
    }
    if (follow)
        ui->historyTable->scrollToBottom();
    updateHistoryBar();
    emit historyStored();
}

void AppMainWin::showHistoryRow(qint64 row)
{
    flushHistory();
    QTableView *table = ui->historyTable;
    const int visible = qMax(1, table->viewport()->height() / qMax(1, table->rowHeight(0)));
    // Past either edge of the window, or at it, the window is centred on the row.
    movingWindow = true;
    const int shown = historyModel->rowCount();
    const qint64 top = shown > 0 ? historyModel->positionOf(0) : historyModel->windowStart();
    const int at = historyModel->rowAt(row);
    if (row <= top || at + visible >= shown)
        historyModel->showWindow(row - AppHistoryTableModel::WindowRows / 2);
    table->scrollTo(
        historyModel->index(historyModel->rowAt(row), 0), QAbstractItemView::PositionAtTop);
    movingWindow = false;
    updateHistoryBar();
}

qint64 AppMainWin::historyTopRow() const
{
    return historyModel->positionOf(ui->historyTable->verticalScrollBar()->value());
}

qint64 AppMainWin::historyLastTop() const
{
    // As many rows as the table shows whole at the end of its window.
    const int rows = historyModel->rowCount();
    const int atEnd = qBound(0, rows - ui->historyTable->verticalScrollBar()->maximum(), rows);
    return qMax<qint64>(0, historyModel->totalRows() - atEnd);
}

bool AppMainWin::historyAtEnd() const
{
    // An empty table is at the end, whatever its bar still says before its next layout.
    const QScrollBar *inner = ui->historyTable->verticalScrollBar();
    const int rows = historyModel->rowCount();
    return rows == 0
        || (inner->value() >= inner->maximum()
            && historyModel->windowEnd() >= historyModel->totalRows());
}

void AppMainWin::updateHistoryBar()
{
    if (movingWindow)
        return;
    const qint64 lastTop = historyLastTop();
    const int barMax = int(qMin<qint64>(lastTop, HistoryBarSteps));
    const qint64 top = qMin(historyTopRow(), lastTop);
    // At the end the bar is at its end, whatever the rounding.
    const int value = historyAtEnd() ? barMax
        : lastTop <= HistoryBarSteps ? int(top)
                                     : int(double(top) / double(lastTop) * HistoryBarSteps);
    QScrollBar *bar = ui->historyScrollBar;
    const QSignalBlocker blocker(bar);
    bar->setRange(0, barMax);
    bar->setPageStep(qMax(1, ui->historyTable->verticalScrollBar()->pageStep()));
    bar->setValue(value);
}

void AppMainWin::onHistoryBarMoved(int value)
{
    const qint64 lastTop = historyLastTop();
    const QScrollBar *bar = ui->historyScrollBar;
    if (value >= bar->maximum()) {
        // The end: shown at the bottom, so that new rows are followed.
        showHistoryRow(lastTop);
        movingWindow = true;
        ui->historyTable->scrollToBottom();
        movingWindow = false;
        updateHistoryBar();
        return;
    }
    showHistoryRow(lastTop <= HistoryBarSteps
            ? qint64(value)
            : qint64(double(value) / HistoryBarSteps * double(lastTop)));
}

void AppMainWin::onHistoryScrolled()
{
    // The table's scroll bar spans the window; at either edge of it the window moves on, keeping
    // the row at the top of the table where it is.
    if (movingWindow || !historyModel->store())
        return;
    const QScrollBar *bar = ui->historyTable->verticalScrollBar();
    const qint64 start = historyModel->windowStart();
    // Scrolled by rows, so the slider's target is the row to show at the top.
    const qint64 top = historyModel->positionOf(bar->sliderPosition());
    // Where the slider is going: an action is told before the value follows.
    if (bar->sliderPosition() <= bar->minimum() && start > 0)
        showHistoryRow(top);
    else if (bar->sliderPosition() >= bar->maximum()
        && historyModel->windowEnd() < historyModel->totalRows())
        showHistoryRow(top);
}

void AppMainWin::onDeviceSaveBtnClicked()
{
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    AppSettingsManager *store = app->settingsManager();
    const QString name = ui->deviceNameEdit->text();
    // A name of spaces only is a name.
    if (!AppSettingsManager::nameAllowed(name, store->deviceExists(name), QStringLiteral("Device"),
            tr("Device name can not be blank."),
            tr("Device name repeated. Please use another name.")))
        return;
    if (!baudRateFromText(ui->baudRateCombo->currentText())) {
        app->showMessage(baudRateRefusal());
        return;
    }
    // Listed only once the store holds it: a save that failed has been reported.
    std::unique_ptr<AppDeviceData> record(deviceFromForm(ui));
    if (store->addDevice(record->name(), record->portName(), record->baudRate(), record->stopBits(),
            record->dataBits(), record->parity(), record->flowControl()))
        deviceModel->addData(record.release());
}

void AppMainWin::onDeviceOpenBtnClicked()
{
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    if (!baudRateFromText(ui->baudRateCombo->currentText())) {
        app->showMessage(baudRateRefusal());
        return;
    }
    // A port that is open already brings its terminal to the front (openDevice).
    // The device keeps a copy of the record, so this one is only needed for the call.
    const std::unique_ptr<AppDeviceData> record(deviceFromForm(ui));
    app->openDevice(record.get());
}

void AppMainWin::onCommandSaveBtnClicked()
{
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    AppSettingsManager *store = app->settingsManager();
    const QString name = ui->commandNameEdit->text();
    if (!AppSettingsManager::nameAllowed(name, store->commandExists(name),
            QStringLiteral("Command"), tr("Command name can not be blank."),
            tr("Command name repeated. Please use another name.")))
        return;
    // The bytes always come from the HEX field; editing the ASCII field has rewritten it.
    QByteArray bytes;
    if (!hexFieldBytes(ui->hexEdit, &bytes))
        return;
    if (bytes.isEmpty()) {
        app->showMessage(tr("Command can not be empty."));
        return;
    }
    if (store->addCommand(name, bytes))
        commandModel->addData(new AppCommandData(name, bytes));
}

void AppMainWin::onHEXChanged()
{
    finishHexEdit(ui->hexEdit, ui->asciiEdit);
}

void AppMainWin::onASCIIChanged()
{
    finishAsciiEdit(ui->hexEdit, ui->asciiEdit);
}

void AppMainWin::onHEXEdited()
{
    asciiFollowsHex(ui->hexEdit, ui->asciiEdit);
}

void AppMainWin::onASCIIEdited()
{
    hexFollowsAscii(ui->hexEdit, ui->asciiEdit);
}

void AppMainWin::onClearBtnClicked()
{
    if (!historyMayGo())
        return;
    // Rows that arrived before the click go too, even if they were not shown yet; the terminals'
    // logs keep them.
    flushHistory();
    historyModel->clearHistory();
    updateHistoryBar();
    historyRowsSaved = 0;
    if (historyFind->search()->active())
        historyFind->restart();
}

void AppMainWin::onSaveHistoryBtnCLicked()
{
    if (!ui->saveShownCheck->isChecked() || !historyModel->filtered()) {
        saveAllHistory();
        return;
    }
    // Only what the filter shows; the history as a whole stays unsaved.
    flushHistory();
    const HistoryExport::Result saved = historyModel->saveHistory(true);
    if (saved.outcome == HistoryExport::Written && saved.rows > 0)
        statusBar()->showMessage(
            tr("Saved %L1 shown history rows to %2.").arg(saved.rows).arg(saved.path));
}

qint64 AppMainWin::unsavedHistoryRows() const
{
    // Recovered rows count too: they were never saved either.
    return historyModel->totalRows() + pendingHistory.size() - historyRowsSaved;
}

bool AppMainWin::saveAllHistory()
{
    // Everything that arrived before the click is saved; what arrives while the dialogs are
    // open is not.
    flushHistory();
    const HistoryExport::Result saved = historyModel->saveHistory();
    if (saved.outcome != HistoryExport::Written)
        return false;
    if (saved.rows > 0)
        statusBar()->showMessage(
            tr("Saved %L1 history rows to %2.").arg(saved.rows).arg(saved.path));
    historyRowsSaved = saved.rows;
    return true;
}

bool AppMainWin::historyMayGo()
{
    const qint64 unsaved = unsavedHistoryRows();
    if (unsaved <= 0)
        return true;
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("VerantisTerminal"));
    box.setIcon(QMessageBox::Question);
    box.setText(unsaved == 1 ? tr("1 history row was never saved.")
                             : tr("%1 history rows were never saved.").arg(unsaved));
    box.setInformativeText(tr("Save the history before it is lost?"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.button(QMessageBox::Save)->setText(tr("Save History\u2026"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        // A save that failed or was cancelled has said so; nothing goes then.
        return saveAllHistory();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void AppMainWin::closeEvent(QCloseEvent *event)
{
    if (!historyMayGo()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void AppMainWin::onCommandRemoved(QModelIndex, int first, int last)
{
    // Rows leave one at a time today; every announced row goes from the file all the same.
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();
    for (int row = first; row <= last; ++row) {
        auto *record = static_cast<AppCommandData *>(commandModel->getData(row));
        if (!record)
            continue;
        auto *copy = new AppCommandData(record->name(), record->bytes());
        if (store->removeCommand(record->name()))
            offerUndo(commandModel, row, copy, tr("Deleted command %1.").arg(record->name()));
        else
            keepRow(commandModel, row, copy);
    }
}

void AppMainWin::onDeviceRemoved(QModelIndex, int first, int last)
{
    AppSettingsManager *store = VerantisTerminalApp::app()->settingsManager();
    for (int row = first; row <= last; ++row) {
        auto *record = static_cast<AppDeviceData *>(deviceModel->getData(row));
        if (!record)
            continue;
        AppDeviceData *copy = copyOf(record);
        const AppSettingsManager::Options options = store->deviceOptions(record->name());
        if (store->removeDevice(record->name())) {
            deletedOptions = options;
            offerUndo(deviceModel, row, copy, tr("Deleted device %1.").arg(record->name()));
        } else
            keepRow(deviceModel, row, copy);
    }
}

void AppMainWin::offerUndo(
    AppAbstractTableModel *model, int row, AppTableData *copy, const QString &text)
{
    delete deleted;
    deleted = copy;
    deletedFrom = model;
    deletedRow = row;
    statusBar()->showMessage(text + QLatin1Char(' ') + tr("Ctrl+Z brings it back."), UndoOfferMs);
    undoButton->show();
    undoOffer->start();
}

void AppMainWin::undoDelete()
{
    if (!deleted)
        return;
    VerantisTerminalApp *app = VerantisTerminalApp::app();
    AppSettingsManager *store = app->settingsManager();
    bool restored = false;
    if (deletedFrom == deviceModel) {
        const auto *d = static_cast<const AppDeviceData *>(deleted);
        // A device saved meanwhile under the same name is not overwritten.
        if (store->deviceExists(d->name())) {
            app->showMessage(tr("Could not undo: a device named %1 exists again.").arg(d->name()));
            return;
        }
        restored = store->addDevice(d->name(), d->portName(), d->baudRate(), d->stopBits(),
            d->dataBits(), d->parity(), d->flowControl());
        // Its options too; a failure to put them back has been told and leaves the device.
        if (restored)
            store->setDeviceOptions(d->name(), deletedOptions);
    } else {
        const auto *c = static_cast<const AppCommandData *>(deleted);
        if (store->commandExists(c->name())) {
            app->showMessage(tr("Could not undo: a command named %1 exists again.").arg(c->name()));
            return;
        }
        restored = store->addCommand(c->name(), c->bytes());
    }
    // A failed write has been reported; the copy stays for another try.
    if (!restored)
        return;
    deletedFrom->insertData(deletedRow, deleted);
    deleted = nullptr;
    undoOffer->stop();
    undoButton->hide();
    statusBar()->clearMessage();
}

void AppMainWin::keepRow(AppAbstractTableModel *model, int row, AppTableData *copy)
{
    // The row is on its way out and cannot be held back from here; it comes back in its place
    // once the model has let it go. Until then the model owns the copy, in case it goes first.
    copy->setParent(model);
    QTimer::singleShot(0, model, [model, row, copy] {
        copy->setParent(nullptr);
        model->insertData(row, copy);
    });
}

void AppMainWin::setUpHistoryFind()
{
    // In the order of the directions in onHistoryFilterChanged().
    ui->historyDirFilter->addItems({ tr("All"), tr("Sent"), tr("Received"), tr("Events") });
    updatePortFilter();
    connect(historyModel, &AppHistoryTableModel::portsChanged, this, &AppMainWin::updatePortFilter);
    for (QComboBox *filter : { ui->historyPortFilter, ui->historyDirFilter })
        connect(filter, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &AppMainWin::onHistoryFilterChanged);

    QTableView *table = ui->historyTable;
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The model is replaced never, but reset often: the selection model stays.
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &AppMainWin::onHistorySelectionChanged);

    historyFind = new FindBar(QStringLiteral("history"), this, ui->centralWidget);
    ui->historyFindRow->addWidget(historyFind);
    FindBar::Target target;
    target.rows = [this](qint64 from, int limit, const HistorySearch::Feed &feed) -> qint64 {
        const qint64 total = historyModel->totalRows();
        const qint64 end = qMin(total, from + limit);
        qint64 at = from;
        historyModel->forEachRow(from, end, [&](const AppHistoryData &record) {
            const QString port = record.portName();
            const QByteArray bytes = record.bytes();
            const HistorySearch::Kind kind = record.isEvent() ? HistorySearch::Event
                : record.direction() == QLatin1String("Sent") ? HistorySearch::Sent
                                                              : HistorySearch::Received;
            feed({ at++, kind, port, bytes, historyModel->passes(record) });
            return true;
        });
        return end >= total ? -1 : end;
    };
    target.end = [this] {
        return historyModel->totalRows();
    };
    target.current = [this] {
        const QModelIndexList rows = ui->historyTable->selectionModel()->selectedRows();
        return rows.isEmpty() ? historyTopRow() : historyModel->positionOf(rows.first().row());
    };
    target.show = [this](qint64 key) {
        selectHistoryRow(key);
    };
    target.events = true;
    historyFind->setTarget(target);
}

void AppMainWin::updatePortFilter()
{
    QComboBox *combo = ui->historyPortFilter;
    const QString chosen = combo->currentIndex() > 0 ? combo->currentText() : QString();
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItem(tr("All ports"));
    combo->addItems(historyModel->ports());
    const int at = chosen.isEmpty()
        ? 0
        : combo->findText(chosen, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    combo->setCurrentIndex(qMax(0, at));
    // The chosen port went with a Clear History: every port is shown again.
    if (at < 0 && !chosen.isEmpty())
        onHistoryFilterChanged();
}

void AppMainWin::onHistoryFilterChanged()
{
    flushHistory();
    // Someone following the newest rows goes on following them.
    const bool atEnd = historyAtEnd();
    movingWindow = true;
    static const char *const directions[]
        = { "", "Sent", "Received", AppHistoryData::EventDirection };
    const int direction = qBound(0, ui->historyDirFilter->currentIndex(), 3);
    historyModel->setFilter(ui->historyPortFilter->currentIndex() > 0
            ? ui->historyPortFilter->currentText()
            : QString(),
        QLatin1String(directions[direction]));
    if (atEnd) {
        historyModel->showWindow(historyModel->totalRows());
        ui->historyTable->scrollToBottom();
    }
    movingWindow = false;
    updateHistoryBar();
    // Matches in rows no longer shown are not to be stepped to.
    if (historyFind->search()->active())
        historyFind->restart();
}

void AppMainWin::selectHistoryRow(qint64 position)
{
    showHistoryRow(qMax<qint64>(0, position - 3));
    const int row = historyModel->rowAt(position);
    if (row >= historyModel->rowCount() || historyModel->positionOf(row) != position)
        return;
    const QModelIndex index = historyModel->index(row, 0);
    ui->historyTable->selectionModel()->select(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->historyTable->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    ui->historyTable->scrollTo(index);
}

namespace {

QString durationText(qint64 ms)
{
    // The stamps are to the millisecond.
    if (qAbs(ms) < 1000)
        return AppMainWin::tr("%1 ms").arg(ms);
    return AppMainWin::tr("%1 s").arg(double(ms) / 1000.0, 0, 'f', 3);
}

qint64 msBetween(const QString &from, const QString &to)
{
    const QString format = QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz");
    const QDateTime a = QDateTime::fromString(from, format);
    const QDateTime b = QDateTime::fromString(to, format);
    return a.isValid() && b.isValid() ? a.msecsTo(b) : 0;
}

} // namespace

QString AppMainWin::replyTimeText() const
{
    QModelIndexList rows = ui->historyTable->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.size() > 2)
        return QString();
    std::sort(rows.begin(), rows.end());
    const auto *record
        = static_cast<const AppHistoryData *>(historyModel->getData(rows.last().row()));
    if (!record)
        return QString();
    if (rows.size() == 2) {
        const auto *earlier
            = static_cast<const AppHistoryData *>(historyModel->getData(rows.first().row()));
        if (!earlier)
            return QString();
        return tr("%1 between rows %L2 and %L3")
            .arg(durationText(msBetween(earlier->time(), record->time())))
            .arg(historyModel->positionOf(rows.first().row()) + 1)
            .arg(historyModel->positionOf(rows.last().row()) + 1);
    }
    const int size = record->bytes().size();
    QString text = record->isEvent()
        ? tr("Event %1 on %2").arg(QString::fromUtf8(record->bytes()), record->portName())
        : tr("%1 %2 on %3")
              .arg(record->direction(), size == 1 ? tr("1 byte") : tr("%L1 bytes").arg(size),
                  record->portName());
    if (record->isEvent())
        return text;
    const QString other = record->direction() == QLatin1String("Sent") ? QStringLiteral("Received")
                                                                       : QStringLiteral("Sent");
    QString time;
    if (historyModel->previousRow(
            historyModel->positionOf(rows.last().row()), record->portName(), other, &time)
        >= 0)
        text += tr(", %1 after the last %2")
                    .arg(durationText(msBetween(time, record->time())), other);
    return text;
}

void AppMainWin::onHistorySelectionChanged()
{
    const QString text = replyTimeText();
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text);
}
