#include "ui/logviewcontrols.h"

#include "app/verantisterminalapp.h"
#include "data/appdevicedata.h"
#include "data/appsettingsmanager.h"
#include "ui/logview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace {

// The words stored in the device's options, in the order of the boxes' items.
const char *const viewWords[] = { "blocks", "lines", "hexdump" };
const char *const splitWords[] = { "auto", "lf", "cr", "crlf" };

template<int N> int indexOf(const char *const (&words)[N], const QString &word)
{
    for (int i = 0; i < N; ++i) {
        if (word == QLatin1String(words[i]))
            return i;
    }
    return 0;
}

} // namespace

LogViewControls::LogViewControls(
    QWidget *dialog, QHBoxLayout *row, QWidget *before, LogView *log, const AppDeviceData *device)
    : QObject(dialog)
    , log(log)
    , device(device)
{
    auto *viewLabel = new QLabel(tr("View"), dialog);
    viewCombo = new QComboBox(dialog);
    viewCombo->setObjectName(QStringLiteral("logViewCombo"));
    viewCombo->addItems({ tr("Blocks"), tr("Lines"), tr("Hex dump") });
    viewLabel->setBuddy(viewCombo);
    auto *splitLabel = new QLabel(tr("Split at"), dialog);
    splitCombo = new QComboBox(dialog);
    splitCombo->setObjectName(QStringLiteral("lineSplitCombo"));
    splitCombo->addItems({ tr("Auto"), tr("LF"), tr("CR"), tr("CR LF") });
    splitLabel->setBuddy(splitCombo);
    auto *gapLabel = new QLabel(tr("Line gap"), dialog);
    gapSpin = new QSpinBox(dialog);
    gapSpin->setObjectName(QStringLiteral("lineGapSpin"));
    gapSpin->setRange(0, 60000);
    gapSpin->setSuffix(tr(" ms"));
    gapSpin->setSpecialValueText(tr("Never"));
    gapSpin->setToolTip(tr("A line not ended after this long with no bytes ends (0: never)"));
    gapLabel->setBuddy(gapSpin);
    rawCheck = new QCheckBox(tr("Raw"), dialog);
    rawCheck->setObjectName(QStringLiteral("ansiRawCheck"));
    rawCheck->setToolTip(tr("Show escape sequences as symbols instead of colours"));
    for (QWidget *widget : std::initializer_list<QWidget *> {
             viewLabel, viewCombo, splitLabel, splitCombo, gapLabel, gapSpin, rawCheck })
        row->addWidget(widget);
    row->addStretch();
    for (QLabel *caption : { viewLabel, splitLabel, gapLabel })
        caption->buddy()->setAccessibleName(caption->text());
    // The spin box's own field is what the keyboard reaches.
    if (auto *field = gapSpin->findChild<QLineEdit *>())
        field->setAccessibleName(gapLabel->text());
    // In the order they show, after Send and before the log.
    QWidget::setTabOrder(before, viewCombo);
    QWidget::setTabOrder(viewCombo, splitCombo);
    QWidget::setTabOrder(splitCombo, gapSpin);
    QWidget::setTabOrder(gapSpin, rawCheck);

    const AppSettingsManager *settings = VerantisTerminalApp::app()->settingsManager();
    const QString name = device->name();
    viewCombo->setCurrentIndex(
        indexOf(viewWords, settings->deviceOption(name, QStringLiteral("logview")).toString()));
    splitCombo->setCurrentIndex(
        indexOf(splitWords, settings->deviceOption(name, QStringLiteral("linesplit")).toString()));
    bool ok = false;
    const int gap = settings->deviceOption(name, QStringLiteral("linegap"), 100).toInt(&ok);
    gapSpin->setValue(ok ? gap : 100);
    rawCheck->setChecked(settings->deviceOption(name, QStringLiteral("ansiraw"), false).toBool());
    apply();

    connect(viewCombo, QOverload<int>::of(&QComboBox::activated), this, &LogViewControls::store);
    connect(splitCombo, QOverload<int>::of(&QComboBox::activated), this, &LogViewControls::store);
    connect(gapSpin, QOverload<int>::of(&QSpinBox::valueChanged), this, &LogViewControls::store);
    connect(rawCheck, &QCheckBox::toggled, this, &LogViewControls::store);
}

void LogViewControls::apply()
{
    const auto view = LogView::View(viewCombo->currentIndex());
    // The line options mean nothing to the blocks as they came.
    splitCombo->setEnabled(view == LogView::LinesView);
    gapSpin->setEnabled(view != LogView::BlocksView);
    rawCheck->setEnabled(view == LogView::LinesView);
    if (view == log->view() && view == LogView::BlocksView)
        return;
    log->setView(view, LineSplitter::Split(splitCombo->currentIndex()), gapSpin->value(),
        rawCheck->isChecked());
}

void LogViewControls::store()
{
    apply();
    VerantisTerminalApp::app()->settingsManager()->setDeviceOptions(device->name(),
        { { QStringLiteral("logview"), QLatin1String(viewWords[viewCombo->currentIndex()]) },
            { QStringLiteral("linesplit"), QLatin1String(splitWords[splitCombo->currentIndex()]) },
            { QStringLiteral("linegap"), gapSpin->value() },
            { QStringLiteral("ansiraw"), rawCheck->isChecked() } });
}
