#include "ui/findbar.h"

#include "data/capturestore.h"
#include "ui/logview.h"
#include "util/conversion.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>
#include <limits>

FindBar::FindBar(const QString &prefix, QWidget *window, QWidget *parent)
    : QWidget(parent)
    , edit(new QLineEdit(this))
    , mode(new QComboBox(this))
    , previous(new QPushButton(tr("Previous"), this))
    , next(new QPushButton(tr("Next"), this))
    , countLabel(new QLabel(this))
    , searcher(new HistorySearch(this))
    , target { nullptr, nullptr, nullptr, nullptr, false }
    , searchedEnd(0)
    , shownKey(-1)
    , pendingStep(0)
{
    setObjectName(prefix + QStringLiteral("FindBar"));
    edit->setObjectName(prefix + QStringLiteral("FindEdit"));
    mode->setObjectName(prefix + QStringLiteral("FindModeCombo"));
    previous->setObjectName(prefix + QStringLiteral("FindPrevBtn"));
    next->setObjectName(prefix + QStringLiteral("FindNextBtn"));
    countLabel->setObjectName(prefix + QStringLiteral("FindLabel"));
    auto *close = new QPushButton(tr("Close"), this);
    close->setObjectName(prefix + QStringLiteral("FindCloseBtn"));
    edit->setPlaceholderText(tr("Find"));
    edit->setAccessibleName(tr("Find"));
    edit->setClearButtonEnabled(true);
    mode->addItems({ QStringLiteral("Text"), QStringLiteral("HEX") });
    mode->setAccessibleName(tr("Find mode"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edit, 1);
    row->addWidget(mode);
    row->addWidget(previous);
    row->addWidget(next);
    row->addWidget(countLabel, 1);
    row->addWidget(close);
    hide();

    connect(edit, &QLineEdit::textChanged, this, &FindBar::restart);
    connect(mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FindBar::restart);
    connect(edit, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(close, &QPushButton::clicked, this, [this] {
        searcher->cancel();
        hide();
        emit matchShown(-1);
    });
    connect(searcher, &HistorySearch::progress, this, &FindBar::onProgress);
    connect(searcher, &HistorySearch::finished, this, &FindBar::onFinished);

    const auto shortcut = [window](const QKeySequence &keys) {
        auto *made = new QShortcut(keys, window);
        made->setContext(Qt::WindowShortcut);
        return made;
    };
    connect(shortcut(QKeySequence::Find), &QShortcut::activated, this, &FindBar::open);
    connect(shortcut(QKeySequence(Qt::Key_F3)), &QShortcut::activated, this, &FindBar::findNext);
    connect(shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3)), &QShortcut::activated, this,
        &FindBar::findPrevious);
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    // Only from within the bar: elsewhere Escape keeps its meaning for the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escape();
        event->accept();
        return;
    }
    // The edit has gone to the next match already; in a terminal Return must not go on to the
    // dialog's default button and send a command.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

FindBar::~FindBar() = default;

void FindBar::setTarget(const Target &rows)
{
    target = rows;
}

FindBar *FindBar::overLog(
    QWidget *window, QBoxLayout *row, CaptureStore *store, int terminal, LogView *log)
{
    auto *bar = new FindBar(QStringLiteral("log"), window, window);
    row->addWidget(bar);
    Target rows;
    rows.rows = [store, terminal, log](qint64 from, int limit, const HistorySearch::Feed &feed) {
        // A terminal's rows are all of its one port.
        static const QString port;
        const QVector<CaptureStore::LogRow> page
            = store->terminalRows(terminal, qMax(from, log->clearedUpTo() + 1) - 1,
                std::numeric_limits<qint64>::max(), limit, false);
        for (const CaptureStore::LogRow &row : page)
            feed({ row.id, HistorySearch::Kind(row.kind), port, row.bytes, true });
        return page.size() < limit ? qint64(-1) : page.last().id + 1;
    };
    rows.end = [store] {
        return store->lastId() + 1;
    };
    rows.current = [log] {
        return log->clearedUpTo() + 1;
    };
    rows.show = [log](qint64 id) {
        log->showRow(id);
    };
    rows.events = true;
    bar->setTarget(rows);
    return bar;
}

void FindBar::open()
{
    show();
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
}

void FindBar::escape()
{
    if (searcher->running()) {
        pendingStep = 0;
        searcher->cancel();
        return;
    }
    hide();
    emit matchShown(-1);
}

void FindBar::restart()
{
    shownKey = -1;
    pendingStep = 0;
    searcher->reset();
    const QString text = edit->text();
    if (text.isEmpty() || !target.rows) {
        countLabel->clear();
        return;
    }
    QByteArray pattern;
    const bool hex = mode->currentIndex() == 1;
    if (hex) {
        if (!readHex(text, &pattern) || pattern.isEmpty()) {
            countLabel->setText(tr("Not valid HEX"));
            return;
        }
    } else {
        // The ASCII field shows each byte as one Latin-1 character.
        const QString latin = QString::fromLatin1(text.toLatin1());
        if (latin != text) {
            countLabel->setText(tr("No matches"));
            return;
        }
        pattern = text.toLatin1();
    }
    countLabel->setText(tr("Searching\u2026"));
    // Where the operator is, the first match from there is shown once the search is through.
    pendingStep = 1;
    searchedEnd = target.end ? target.end() : 0;
    searcher->start(pattern, !hex, !hex && target.events, target.rows);
}

void FindBar::findNext()
{
    step(true);
}

void FindBar::findPrevious()
{
    step(false);
}

void FindBar::step(bool forward)
{
    if (!searcher->active()) {
        if (isHidden())
            open();
        return;
    }
    if (searcher->running()) {
        pendingStep = forward ? 1 : -1;
        return;
    }
    // Rows have come in since the search went through: they are searched first.
    if (!searcher->cancelled() && target.end && target.end() > searchedEnd) {
        pendingStep = forward ? 1 : -1;
        searchedEnd = target.end();
        searcher->resume();
        return;
    }
    const QVector<qint64> &found = searcher->matches();
    if (found.isEmpty()) {
        countLabel->setText(tr("No matches"));
        return;
    }
    const qint64 from = shownKey >= 0 ? shownKey : (target.current ? target.current() : 0);
    if (forward) {
        // From the operator's place the row there counts; from a match shown, the one after.
        const auto at = shownKey >= 0 ? std::upper_bound(found.begin(), found.end(), from)
                                      : std::lower_bound(found.begin(), found.end(), from);
        if (at == found.end())
            showMatch(0, tr("wrapped to the top"));
        else
            showMatch(int(at - found.begin()), QString());
    } else {
        const auto at = std::lower_bound(found.begin(), found.end(), from);
        if (at == found.begin())
            showMatch(found.size() - 1, tr("wrapped to the bottom"));
        else
            showMatch(int(at - found.begin()) - 1, QString());
    }
}

void FindBar::showMatch(int index, const QString &note)
{
    const QVector<qint64> &found = searcher->matches();
    shownKey = found.at(index);
    QString text = tr("%L1 of %L2").arg(index + 1).arg(found.size());
    if (searcher->cancelled())
        text += tr(" found before the search was cancelled");
    if (!note.isEmpty())
        text += QStringLiteral(", ") + note;
    countLabel->setText(text);
    if (target.show)
        target.show(shownKey);
    emit matchShown(shownKey);
}

void FindBar::onProgress(qint64 reached)
{
    if (!searcher->running() || !target.end)
        return;
    const qint64 end = qMax<qint64>(1, target.end());
    countLabel->setText(tr("Searching\u2026 %1 % (%L2 found)")
                            .arg(qBound(qint64(0), (reached + 1) * 100 / end, qint64(100)))
                            .arg(searcher->matches().size()));
}

void FindBar::onFinished()
{
    const int found = searcher->matches().size();
    if (searcher->cancelled()) {
        pendingStep = 0;
        countLabel->setText(tr("Search cancelled: %L1 found so far").arg(found));
        return;
    }
    const int stepTo = pendingStep;
    pendingStep = 0;
    if (stepTo != 0) {
        step(stepTo > 0);
        return;
    }
    countLabel->setText(found == 0 ? tr("No matches") : tr("%L1 matches").arg(found));
}
