#include "ui/linecontrols.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "serial/appdevice.h"
#include "ui/appmainwin.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int BreakMs = 250;

struct LineName
{
    ModemLines::Line line;
    const char *name;
};

constexpr LineName lineNames[]
    = { { ModemLines::Dtr, "DTR" }, { ModemLines::Rts, "RTS" }, { ModemLines::Cts, "CTS" },
          { ModemLines::Dsr, "DSR" }, { ModemLines::Dcd, "DCD" }, { ModemLines::Ri, "RI" } };

QString cannotText()
{
    return QCoreApplication::translate("LineControls",
        "This port cannot report or set its control lines (a pseudo-terminal has none).");
}

void showInput(QLabel *label, const char *name, std::optional<int> lines, ModemLines::Line line)
{
    const bool on = lines && (*lines & line);
    // A filled dot for a line that is on; the name alone would not tell.
    label->setText(
        QString::fromLatin1(name) + (on ? QStringLiteral(" \u25CF") : QStringLiteral(" \u25CB")));
    label->setEnabled(bool(lines));
    label->setToolTip(lines
            ? QString::fromLatin1(name) + (on ? QStringLiteral(" on") : QStringLiteral(" off"))
            : cannotText());
}

} // namespace

LineControls::LineControls(AppDevice *device, QWidget *terminal)
    : QWidget(terminal)
    , device(device)
    , terminal(terminal)
    , dtrCheck(new QCheckBox(QStringLiteral("DTR"), this))
    , rtsCheck(new QCheckBox(QStringLiteral("RTS"), this))
    , breakBtn(new QPushButton(QStringLiteral("Break"), this))
    , ctsLabel(new QLabel(this))
    , dsrLabel(new QLabel(this))
    , dcdLabel(new QLabel(this))
    , riLabel(new QLabel(this))
    , reconnectCheck(new QCheckBox(QStringLiteral("Reconnect"), this))
    , bindAdapterCheck(new QCheckBox(QStringLiteral("Bind adapter"), this))
    , lineErrorsLabel(new QLabel(this))
    , waitLabel(new QLabel(this))
    , pollTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("lineControls"));
    dtrCheck->setObjectName(QStringLiteral("dtrCheck"));
    rtsCheck->setObjectName(QStringLiteral("rtsCheck"));
    breakBtn->setObjectName(QStringLiteral("breakBtn"));
    ctsLabel->setObjectName(QStringLiteral("ctsLabel"));
    dsrLabel->setObjectName(QStringLiteral("dsrLabel"));
    dcdLabel->setObjectName(QStringLiteral("dcdLabel"));
    riLabel->setObjectName(QStringLiteral("riLabel"));
    reconnectCheck->setObjectName(QStringLiteral("reconnectCheck"));
    bindAdapterCheck->setObjectName(QStringLiteral("bindAdapterCheck"));
    lineErrorsLabel->setObjectName(QStringLiteral("lineErrorsLabel"));
    waitLabel->setObjectName(QStringLiteral("lineWaitLabel"));
    breakBtn->setToolTip(tr("Holds a break on the line for %1 ms").arg(BreakMs));
    reconnectCheck->setToolTip(tr(
        "When the line is lost, keep this terminal open and reopen the port when it comes back"));
    // Clicking them must not take the focus from the bytes being typed.
    breakBtn->setFocusPolicy(Qt::TabFocus);
    breakBtn->setAutoDefault(false);
    const QList<QWidget *> widgets { dtrCheck, rtsCheck, breakBtn, ctsLabel, dsrLabel, dcdLabel,
        riLabel, reconnectCheck, bindAdapterCheck, lineErrorsLabel };
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget *widget : widgets)
        row->addWidget(widget);
    row->addWidget(waitLabel, 1);
    waitLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    // A long device name must not widen the window past a small screen.
    waitLabel->setWordWrap(true);

    const LineOptions &options = device->lineOptions();
    reconnectCheck->setChecked(options.reconnect);
    bindAdapterCheck->setChecked(!options.adapter.isNull());

    connect(dtrCheck, &QCheckBox::clicked, this,
        [this](bool on) { onOutputToggled(ModemLines::Dtr, on); });
    connect(rtsCheck, &QCheckBox::clicked, this,
        [this](bool on) { onOutputToggled(ModemLines::Rts, on); });
    connect(breakBtn, &QPushButton::clicked, this, &LineControls::onBreakClicked);
    connect(reconnectCheck, &QCheckBox::clicked, this, &LineControls::onReconnectToggled);
    connect(bindAdapterCheck, &QCheckBox::clicked, this, &LineControls::onBindToggled);
    connect(device, &AppDevice::waitingForLine, this, &LineControls::onWaiting);
    connect(device, &AppDevice::reconnected, this, &LineControls::onReconnected);

    pollTimer->setInterval(AppMainWin::HistoryFrameMs);
    connect(pollTimer, &QTimer::timeout, this, &LineControls::poll);
    terminal->installEventFilter(this);

    // The first read shows what the port can do and where its lines stand, without events.
    lines = device->modemLines();
    counts = device->lineErrorCounts();
    adapterHere = device->openAdapter();
    showAvailability();
}

LineOptions LineControls::storedOptions(const AppSettingsManager *store, const QString &name)
{
    LineOptions options;
    if (store->hasDeviceOption(name, QStringLiteral("dtr")))
        options.dtr = store->deviceOption(name, QStringLiteral("dtr")).toBool();
    if (store->hasDeviceOption(name, QStringLiteral("rts")))
        options.rts = store->deviceOption(name, QStringLiteral("rts")).toBool();
    options.reconnect = store->deviceOption(name, QStringLiteral("reconnect"), false).toBool();
    if (store->deviceOption(name, QStringLiteral("bindadapter"), false).toBool()) {
        options.adapter.vendorId
            = quint16(store->deviceOption(name, QStringLiteral("adaptervid")).toUInt());
        options.adapter.productId
            = quint16(store->deviceOption(name, QStringLiteral("adapterpid")).toUInt());
        options.adapter.serialNumber
            = store->deviceOption(name, QStringLiteral("adapterserial")).toString();
    }
    return options;
}

bool LineControls::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == terminal
        && (event->type() == QEvent::Show || event->type() == QEvent::Hide
            || event->type() == QEvent::WindowStateChange))
        QTimer::singleShot(0, this, &LineControls::updatePolling);
    return QObject::eventFilter(watched, event);
}

void LineControls::updatePolling()
{
    // A hidden or minimized terminal shows nothing, so it reads nothing; nor does a port that
    // reports nothing.
    const bool wanted = device && terminal->isVisible() && !terminal->isMinimized() && device->isOpen()
        && (lines || counts);
    if (wanted && !pollTimer->isActive()) {
        // Catch up with what changed while nobody looked.
        poll();
        pollTimer->start();
    } else if (!wanted) {
        pollTimer->stop();
    }
}

void LineControls::poll()
{
    if (!device)
        return;
    const std::optional<int> nowLines = device->modemLines();
    if (lines && nowLines) {
        for (const LineName &each : lineNames) {
            if ((*lines ^ *nowLines) & each.line)
                emit lineEvent(QString::fromLatin1(each.name)
                    + ((*nowLines & each.line) ? QStringLiteral(" on") : QStringLiteral(" off")));
        }
    }
    const std::optional<ModemLines::Counts> nowCounts = device->lineErrorCounts();
    if (counts && nowCounts) {
        const struct
        {
            quint32 before;
            quint32 now;
            const char *text;
        } kinds[] = { { counts->frame, nowCounts->frame, "Framing errors %1" },
            { counts->parity, nowCounts->parity, "Parity errors %1" },
            { counts->overrun, nowCounts->overrun, "Overruns %1" },
            { counts->brk, nowCounts->brk, "Breaks received %1" } };
        for (const auto &kind : kinds) {
            if (kind.now > kind.before)
                emit lineEvent(tr(kind.text).arg(kind.now));
        }
    }
    const bool changed = nowLines != lines || nowCounts != counts;
    lines = nowLines;
    counts = nowCounts;
    if (changed)
        showAvailability();
}

void LineControls::showAvailability()
{
    if (!device)
        return;
    const bool open = device->isOpen();
    for (QCheckBox *check : { dtrCheck, rtsCheck }) {
        const ModemLines::Line which = check == dtrCheck ? ModemLines::Dtr : ModemLines::Rts;
        check->setEnabled(open && bool(lines));
        check->setChecked(lines && (*lines & which));
        check->setToolTip(lines ? QString() : cannotText());
    }
    breakBtn->setEnabled(open && bool(lines));
    if (!lines)
        breakBtn->setToolTip(cannotText());
    showInput(ctsLabel, "CTS", lines, ModemLines::Cts);
    showInput(dsrLabel, "DSR", lines, ModemLines::Dsr);
    showInput(dcdLabel, "DCD", lines, ModemLines::Dcd);
    showInput(riLabel, "RI", lines, ModemLines::Ri);
    lineErrorsLabel->setVisible(bool(counts));
    if (counts) {
        lineErrorsLabel->setText(tr("Errors F%1 P%2 O%3 B%4")
                                     .arg(counts->frame)
                                     .arg(counts->parity)
                                     .arg(counts->overrun)
                                     .arg(counts->brk));
        lineErrorsLabel->setToolTip(
            tr("Framing, parity, overrun and break errors the driver counted"));
    }
    const bool named = !device->deviceData()->name().isEmpty();
    const bool bindable = named && open && !adapterHere.isNull();
    // A bound device waiting for its adapter can still be unbound.
    bindAdapterCheck->setEnabled(bindable || bindAdapterCheck->isChecked());
    bindAdapterCheck->setToolTip(bindable || bindAdapterCheck->isChecked()
            ? tr("Open this USB adapter wherever it appears, whatever its port name")
            : named ? tr("The port reports no USB serial number to bind to")
                    : tr("Only a saved device can be bound to its adapter"));
}

void LineControls::onOutputToggled(ModemLines::Line which, bool on)
{
    if (device->setModemLine(which, on))
        storeOption(which == ModemLines::Dtr ? QStringLiteral("dtr") : QStringLiteral("rts"), on);
    // The event comes from what the line reads now, as for any other change; a refused change
    // puts the box back as the line stands.
    poll();
    showAvailability();
}

void LineControls::onBreakClicked()
{
    if (!device->sendBreak(BreakMs))
        return;
    emit lineEvent(tr("Break %1 ms").arg(BreakMs));
    breakBtn->setEnabled(false);
    QTimer::singleShot(BreakMs, breakBtn, [this] { showAvailability(); });
}

void LineControls::onReconnectToggled(bool on)
{
    device->setReconnect(on);
    storeOption(QStringLiteral("reconnect"), on);
}

void LineControls::onBindToggled(bool on)
{
    const AdapterId adapter = on ? adapterHere : AdapterId();
    if (on && adapter.isNull()) {
        bindAdapterCheck->setChecked(false);
        return;
    }
    device->setAdapter(adapter);
    VerantisTerminalApp::app()->settingsManager()->setDeviceOptions(device->deviceData()->name(),
        { { QStringLiteral("bindadapter"), on },
            { QStringLiteral("adaptervid"), on ? QVariant(adapter.vendorId) : QVariant() },
            { QStringLiteral("adapterpid"), on ? QVariant(adapter.productId) : QVariant() },
            { QStringLiteral("adapterserial"),
                on ? QVariant(adapter.serialNumber) : QVariant() } });
    showAvailability();
}

void LineControls::onWaiting(const QString &text)
{
    pollTimer->stop();
    waitLabel->setText(text);
    showAvailability();
}

void LineControls::onReconnected()
{
    waitLabel->clear();
    emit lineEvent(tr("Reconnected"));
    // Lines that changed while the port was away are events like any other.
    if (!lines)
        lines = device->modemLines();
    // A port that came back may be a new device with counts of its own.
    counts = device->lineErrorCounts();
    adapterHere = device->openAdapter();
    poll();
    showAvailability();
    updatePolling();
}

void LineControls::storeOption(const QString &option, const QVariant &value)
{
    VerantisTerminalApp::app()->settingsManager()->setDeviceOption(
        device->deviceData()->name(), option, value);
}
