#include "ui/logview.h"

#include "util/conversion.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <limits>

namespace {

const qint64 NoLimit = std::numeric_limits<qint64>::max();
// Blocks dropped at once beyond the bound, so that dropping (which moves every remaining block)
// happens now and then rather than on every frame.
const int TrimSlackBlocks = LogView::MaxShownBlocks / 10;
const QChar CrSymbol(0x240D);
const QChar LfSymbol(0x240A);
// Characters read in when scrolling past an edge of the window.
const int PageCharacters = LogView::MaxShownCharacters / 8;
// Rows read at a time for a copy.
const int CopyPiece = 8192;

} // namespace

LogView::LogView(QTextEdit *edit, CaptureStore *store, int terminal)
    : QObject(edit)
    , edit(edit)
    , store(store)
    , terminal(terminal)
    , clearMark(store->lastId())
    , errorsDone(0)
    , atNewest(true)
    , busy(false)
{
    QScrollBar *bar = edit->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &LogView::onScrolled);
    connect(bar, &QScrollBar::actionTriggered, this, &LogView::onScrolled);
}

LogView::~LogView() = default;

QString LogView::paragraphText(CaptureStore::LogRow::Kind kind, const QByteArray &bytes)
{
    // An event's bytes are its own text, never traffic.
    if (kind == CaptureStore::LogRow::Event)
        return QStringLiteral("Event:") + QString::fromUtf8(bytes);
    return (kind == CaptureStore::LogRow::Sent ? QStringLiteral("Sent:")
                                               : QStringLiteral("Received:"))
        + bytesToHex(bytes) + QStringLiteral("-------") + bytesToAscii(bytes);
}

void LogView::clear()
{
    clearMark = store->lastId();
    errors.clear();
    errorsDone = 0;
    shown.clear();
    atNewest = true;
    edit->clear();
}

void LogView::addError()
{
    errors.append(store->lastId());
    refresh();
}

qint64 LogView::firstRowId() const
{
    for (const qint64 id : shown) {
        if (id > 0)
            return id;
    }
    return clearMark + 1;
}

qint64 LogView::lastRowId() const
{
    for (auto it = shown.crbegin(); it != shown.crend(); ++it) {
        if (*it > 0)
            return *it;
    }
    return shown.empty() ? clearMark : firstRowId() - 1;
}

int LogView::firstErrorFrom(qint64 id) const
{
    return int(std::lower_bound(errors.cbegin(), errors.cend(), id) - errors.cbegin());
}

int LogView::charactersOf(const QVector<CaptureStore::LogRow> &rows) const
{
    qint64 characters = 0;
    for (const CaptureStore::LogRow &row : rows)
        characters += row.bytes.size() * 3 + 16;
    return int(qMin<qint64>(characters, std::numeric_limits<int>::max()));
}

void LogView::refresh()
{
    if (!atNewest || busy)
        return;
    busy = true;
    const QVector<CaptureStore::LogRow> rows
        = store->terminalRows(terminal, lastRowId(), NoLimit, PageBlocks * 10, true);
    // A backlog of more than half the bound is a burst nobody can read as it passes: only its
    // newest blocks are laid out, in place of what the log showed before. So is a frame of more
    // than the newest blocks would show while the log follows the end: laying out text that
    // scrolls away before it is painted was most of the log's cost at high rates.
    const int characters = charactersOf(rows);
    const QScrollBar *bar = edit->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    if (rows.size() >= PageBlocks * 10 || characters > MaxShownCharacters / 2
        || (following && characters > newestCharacters())) {
        busy = false;
        rebuildNewest(rows);
        return;
    }
    if (!rows.isEmpty() || errorsDone < errors.size()) {
        insert(rows, errorsDone, errors.size(), AtBottom);
        trim(AtTop, true);
    }
    busy = false;
}

int LogView::newestCharacters() const
{
    // Twice what the viewport holds at the log's font, so the newest blocks fill it with some
    // left to scroll; older ones are read from the store when scrolled to.
    const QFontMetrics metrics = edit->fontMetrics();
    const QWidget *viewport = edit->viewport();
    const qint64 screen = qint64(viewport->width() / qMax(1, metrics.averageCharWidth()) + 1)
        * (viewport->height() / qMax(1, metrics.lineSpacing()) + 1);
    return int(qBound(qint64(4096), screen * 2, qint64(FrameCharacters)));
}

void LogView::rebuildNewest(const QVector<CaptureStore::LogRow> &newest)
{
    busy = true;
    const int budget = newestCharacters();
    // The frame's own rows are enough when they alone fill the budget.
    QVector<CaptureStore::LogRow> rows
        = newest.size() < PageBlocks * 10 && charactersOf(newest) >= budget
        ? newest
        : store->terminalRows(terminal, clearMark, NoLimit, PageBlocks * 10, true);
    int characters = 0;
    int from = rows.size();
    while (from > 0 && (from == rows.size() || characters < budget)) {
        --from;
        characters += rows.at(from).bytes.size() * 3 + 16;
    }
    rows.remove(0, from);
    edit->clear();
    shown.clear();
    atNewest = true;
    insert(rows, rows.isEmpty() ? 0 : firstErrorFrom(rows.first().id), errors.size(), AtBottom);
    busy = false;
}

void LogView::onScrolled()
{
    if (busy)
        return;
    const QScrollBar *bar = edit->verticalScrollBar();
    // Where the slider is going: an action is told before the value follows.
    if (bar->sliderPosition() <= bar->minimum() && firstRowId() > clearMark + 1)
        olderPage();
    else if (bar->sliderPosition() >= bar->maximum() && !atNewest)
        newerPage();
}

void LogView::olderPage()
{
    busy = true;
    const qint64 first = firstRowId();
    const QVector<CaptureStore::LogRow> rows
        = store->terminalRows(terminal, clearMark, first, PageBlocks, true);
    if (!rows.isEmpty()) {
        // The errors before the first of them only when nothing older is left.
        const int from = rows.size() < PageBlocks ? 0 : firstErrorFrom(rows.first().id);
        insert(rows, from, firstErrorFrom(first), AtTop);
        trim(AtBottom, true);
    }
    busy = false;
}

void LogView::newerPage()
{
    busy = true;
    const qint64 last = lastRowId();
    QVector<CaptureStore::LogRow> rows
        = store->terminalRows(terminal, last, NoLimit, PageBlocks, false);
    int characters = 0;
    int keep = 0;
    while (keep < rows.size() && (keep == 0 || characters < PageCharacters))
        characters += rows.at(keep++).bytes.size() * 3 + 16;
    const bool reachesNewest = rows.size() < PageBlocks && keep == rows.size();
    rows.resize(keep);
    insert(rows, firstErrorFrom(last), reachesNewest ? errors.size() : -1, AtBottom);
    atNewest = reachesNewest;
    trim(AtTop, true);
    busy = false;
}

void LogView::insert(
    const QVector<CaptureStore::LogRow> &rows, int errorsFrom, int errorsTo, Place place)
{
    QTextDocument *document = edit->document();
    QScrollBar *bar = edit->verticalScrollBar();
    // Only the newest blocks pull the view along; a page read below the reader's place is there
    // to be scrolled to.
    const bool follow = place == AtBottom && atNewest && bar->value() >= bar->maximum();
    const int heightBefore = int(document->documentLayout()->documentSize().height());
    const int valueBefore = bar->value();

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (place == AtBottom)
        cursor.movePosition(QTextCursor::End);
    Shown added;
    const bool wasEmpty = document->isEmpty() && shown.empty();
    bool first = true;
    const auto paragraph = [&](const QString &text, qint64 id) {
        if (place == AtBottom && !(first && wasEmpty))
            cursor.insertBlock();
        insertParagraph(cursor, text);
        if (place == AtTop)
            cursor.insertBlock();
        first = false;
        added.push_back(id);
    };
    int e = errorsFrom;
    const int lastError = errorsTo < 0 ? errors.size() : errorsTo;
    for (const CaptureStore::LogRow &row : rows) {
        for (; e < lastError && errors.at(e) < row.id; ++e)
            paragraph(QStringLiteral("Error"), -1);
        paragraph(paragraphText(row.kind, row.bytes), row.id);
    }
    if (errorsTo >= 0) {
        for (; e < errorsTo; ++e)
            paragraph(QStringLiteral("Error"), -1);
    }
    if (place == AtTop) {
        // The block split off below the inserted ones was the old first one; an empty document
        // leaves an empty one behind.
        if (wasEmpty)
            cursor.deletePreviousChar();
        shown.insert(shown.begin(), added.begin(), added.end());
    } else {
        shown.insert(shown.end(), added.begin(), added.end());
        errorsDone = qMax(errorsDone, e);
    }
    cursor.endEditBlock();

    if (follow) {
        bar->setValue(bar->maximum());
    } else if (place == AtTop) {
        // The operator's place stays where it was on the screen.
        const int heightAfter = int(document->documentLayout()->documentSize().height());
        bar->setValue(valueBefore + heightAfter - heightBefore);
    }
}

void LogView::insertParagraph(QTextCursor &cursor, const QString &text)
{
    // Inserted as text, so bytes that look like markup are shown as they are. A text document
    // turns CR and LF into paragraph breaks, which would split one block over several lines.
    static const QTextCharFormat plain;
    static const QTextCharFormat lineBreak = [] {
        QTextCharFormat format;
        // Light blue: apart from the white text, and 8:1 on the log's near-black.
        format.setForeground(QColor(0x5C, 0xB3, 0xFF));
        return format;
    }();
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        cursor.insertText(text.mid(start, i - start), plain);
        cursor.insertText(c == QLatin1Char('\r') ? CrSymbol : LfSymbol, lineBreak);
        start = i + 1;
    }
    cursor.insertText(text.mid(start), plain);
}

bool LogView::tooLong() const
{
    // A single block longer than the bound stays: it is the newest.
    const QTextDocument *document = edit->document();
    return document->blockCount() > MaxShownBlocks + TrimSlackBlocks
        || (document->characterCount() > MaxShownCharacters && document->blockCount() > 1);
}

void LogView::trim(Place place, bool keepPlace)
{
    if (!tooLong())
        return;
    QTextDocument *document = edit->document();
    const int blocks = document->blockCount();
    int drop = qMax(0, blocks - MaxShownBlocks);
    int characters = document->characterCount();
    QTextBlock block = place == AtTop ? document->begin() : document->lastBlock();
    const auto step = [&] {
        characters -= block.length();
        block = place == AtTop ? block.next() : block.previous();
    };
    for (int i = 0; i < drop; ++i)
        step();
    while (characters > MaxShownCharacters * 3 / 4
        && (place == AtTop ? block.next() : block.previous()).isValid()) {
        step();
        ++drop;
    }
    // The window ends on a row, so the errors after it come back with the rows after it.
    if (place == AtBottom) {
        while (drop < int(shown.size()) - 1 && shown.at(shown.size() - 1 - drop) < 0) {
            step();
            ++drop;
        }
    }
    if (drop == 0 || drop >= int(shown.size()))
        return;

    QScrollBar *bar = edit->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    const int removedHeight = place == AtTop && keepPlace && !following
        ? qRound(document->documentLayout()->blockBoundingRect(block).top())
        : 0;
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    if (place == AtTop) {
        cursor.setPosition(0);
        cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
        shown.erase(shown.begin(), shown.begin() + drop);
    } else {
        cursor.setPosition(block.position() + block.length() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        shown.erase(shown.end() - drop, shown.end());
        atNewest = false;
        errorsDone = firstErrorFrom(lastRowId());
    }
    cursor.removeSelectedText();
    cursor.endEditBlock();
    if (place == AtTop && following)
        bar->setValue(bar->maximum());
    else if (removedHeight)
        bar->setValue(qMax(0, bar->value() - removedHeight));
}

bool LogView::plainText(QString *text, qint64 *length)
{
    qint64 rows = 0;
    qint64 bytes = 0;
    store->terminalSize(terminal, clearMark, &rows, &bytes);
    *length = bytes * 3 + rows * 17 + errors.size() * 6;
    if (*length > CopyLimit)
        return false;
    // From the store, not from the widget: it shows only a window, and the bytes are given back
    // exactly, CR and LF included.
    QString out;
    out.reserve(int(*length));
    qint64 after = clearMark;
    int e = 0;
    const auto line = [&out](const QString &paragraph) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += paragraph;
    };
    for (;;) {
        const QVector<CaptureStore::LogRow> page
            = store->terminalRows(terminal, after, NoLimit, CopyPiece, false);
        for (const CaptureStore::LogRow &row : page) {
            for (; e < errors.size() && errors.at(e) < row.id; ++e)
                line(QStringLiteral("Error"));
            line(paragraphText(row.kind, row.bytes));
            after = row.id;
        }
        if (page.size() < CopyPiece)
            break;
    }
    for (; e < errors.size(); ++e)
        line(QStringLiteral("Error"));
    *text = out;
    return true;
}

// Find in the log.

bool LogView::showRow(qint64 id)
{
    if (id <= clearMark)
        return false;
    auto at = std::find(shown.cbegin(), shown.cend(), id);
    if (at == shown.cend()) {
        // Read back a page on either side of the row, in place of the window.
        busy = true;
        QVector<CaptureStore::LogRow> rows
            = store->terminalRows(terminal, clearMark, id + 1, PageBlocks / 2, true);
        const QVector<CaptureStore::LogRow> after
            = store->terminalRows(terminal, id, NoLimit, PageBlocks / 2, false);
        rows += after;
        edit->clear();
        shown.clear();
        errorsDone = 0;
        atNewest = after.size() < PageBlocks / 2;
        if (!rows.isEmpty())
            insert(rows, firstErrorFrom(rows.first().id), atNewest ? errors.size() : -1, AtBottom);
        busy = false;
        at = std::find(shown.cbegin(), shown.cend(), id);
        if (at == shown.cend())
            return false;
    }
    const QTextBlock block = edit->document()->findBlockByNumber(int(at - shown.cbegin()));
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    busy = true;
    edit->setTextCursor(cursor);
    edit->ensureCursorVisible();
    busy = false;
    return true;
}
