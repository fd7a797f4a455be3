#include "ui/logview.h"

#include "ui/ansirenderer.h"
#include "ui/hexdumpformatter.h"
#include "ui/logformatter.h"
#include "ui/styledtext.h"
#include "util/conversion.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QFontMetrics>
#include <QHash>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <limits>

namespace {

const qint64 NoLimit = std::numeric_limits<qint64>::max();
// Blocks dropped at once beyond the bound, so that dropping (which moves every remaining block)
// happens now and then rather than on every frame.
const int TrimSlackBlocks = LogView::MaxShownBlocks / 10;
// Light blue: apart from the white text, and 8:1 on the log's near-black.
const QRgb SymbolColour = qRgb(0x5C, 0xB3, 0xFF);
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
    , mode(BlocksView)
    , lineSplit(LineSplitter::Auto)
    , lineGap(100)
    , ansiRaw(false)
    , windowFirst(clearMark)
    , fedTo(clearMark)
    , pendingShown(false)
    , quiet(new QTimer(this))
{
    quiet->setSingleShot(true);
    connect(quiet, &QTimer::timeout, this, &LogView::onQuiet);
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
    if (formatter)
        formatter->reset();
    windowFirst = fedTo = clearMark;
    pendingShown = false;
}

void LogView::addError()
{
    errors.append(store->lastId());
    refresh();
}

qint64 LogView::firstRowId() const
{
    if (mode != BlocksView)
        return windowFirst + 1;
    for (const qint64 id : shown) {
        if (id > 0)
            return id;
    }
    return clearMark + 1;
}

qint64 LogView::lastRowId() const
{
    if (mode != BlocksView)
        return fedTo;
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
    if (mode != BlocksView) {
        refreshLines();
        return;
    }
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
    const bool older = bar->sliderPosition() <= bar->minimum() && firstRowId() > clearMark + 1;
    const bool newer = !older && bar->sliderPosition() >= bar->maximum() && !atNewest;
    if (mode != BlocksView && (older || newer))
        linesPage(older ? AtTop : AtBottom);
    else if (older)
        olderPage();
    else if (newer)
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
    // ESC shows as a symbol too, so an escape sequence reads as what it is.
    static const QTextCharFormat plain;
    static const QTextCharFormat lineBreak = [] {
        QTextCharFormat format;
        format.setForeground(QColor(SymbolColour));
        return format;
    }();
    int start = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar symbol
            = text.at(i).unicode() < 0x20 ? byteSymbol(uchar(text.at(i).unicode())) : QChar();
        if (symbol.isNull())
            continue;
        cursor.insertText(text.mid(start, i - start), plain);
        cursor.insertText(symbol, lineBreak);
        start = i + 1;
    }
    cursor.insertText(text.mid(start), plain);
}

std::unique_ptr<LogFormatter> LogView::makeFormatter() const
{
    if (mode == HexDumpView)
        return std::make_unique<HexDumpFormatter>(lineGap);
    return std::make_unique<LineSplitter>(lineSplit, lineGap, ansiRaw);
}

void LogView::setView(View view, LineSplitter::Split split, int gapMsecs, bool raw)
{
    mode = view;
    lineSplit = split;
    lineGap = qMax(0, gapMsecs);
    ansiRaw = raw;
    formatter = view == BlocksView ? nullptr : makeFormatter();
    pendingShown = false;
    if (view == BlocksView) {
        rebuildNewest({});
        return;
    }
    const QVector<CaptureStore::LogRow> rows
        = store->terminalRows(terminal, clearMark, NoLimit, PageBlocks * 10, true);
    rebuildLines(rows, true, true);
}

int LogView::feed(LogFormatter *to, const QVector<CaptureStore::LogRow> &rows, int errorsFrom,
    int errorsTo, QVector<ViewLine> *out)
{
    const CaptureStore::LogRow error { -1, CaptureStore::LogRow::Event, "Error", QString() };
    int e = errorsFrom;
    for (const CaptureStore::LogRow &row : rows) {
        for (; e < errors.size() && errors.at(e) < row.id; ++e)
            to->add(error, out);
        to->add(row, out);
    }
    for (; e < errorsTo; ++e)
        to->add(error, out);
    return e;
}

void LogView::refreshLines()
{
    const QVector<CaptureStore::LogRow> rows
        = store->terminalRows(terminal, fedTo, NoLimit, PageBlocks * 10, true);
    if (rows.size() >= PageBlocks * 10) {
        // A burst: its newest rows, split afresh.
        rebuildLines(rows, true, true);
        return;
    }
    if (rows.isEmpty() && errorsDone >= errors.size())
        return;
    busy = true;
    QVector<ViewLine> lines;
    feed(formatter.get(), rows, errorsDone, errors.size(), &lines);
    errorsDone = errors.size();
    if (!rows.isEmpty())
        fedTo = rows.last().id;
    // As in the Blocks view: lines that would scroll away before they are painted are not laid
    // out while the log follows the end.
    qint64 characters = 0;
    int from = lines.size();
    const int budget = newestCharacters();
    while (from > 0 && characters < budget)
        characters += lines.at(--from).bytes.size() * 4 + 16;
    const QScrollBar *bar = edit->verticalScrollBar();
    if (from > 0 && bar->value() >= bar->maximum()) {
        edit->clear();
        shown.clear();
        pendingShown = false;
        windowFirst = lines.at(from).row > 0 ? lines.at(from).row - 1 : windowFirst;
        appendLines(lines, from);
    } else {
        appendLines(lines, 0);
        trim(AtTop, true);
    }
    for (const qint64 id : shown) {
        if (id > 0) {
            windowFirst = qMax(windowFirst, id - 1);
            break;
        }
    }
    busy = false;
}

void LogView::rebuildLines(
    const QVector<CaptureStore::LogRow> &rows, bool reachesNewest, bool newestOnly)
{
    busy = true;
    formatter->reset();
    QVector<ViewLine> lines;
    const int errorsFrom = rows.isEmpty() ? 0 : firstErrorFrom(rows.first().id);
    const int errorsTo = reachesNewest ? errors.size() : firstErrorFrom(rows.last().id + 1);
    feed(formatter.get(), rows, errorsFrom, errorsTo, &lines);
    edit->clear();
    shown.clear();
    pendingShown = false;
    windowFirst = rows.isEmpty() ? clearMark : rows.first().id - 1;
    fedTo = rows.isEmpty() ? clearMark : rows.last().id;
    errorsDone = errorsTo;
    atNewest = reachesNewest;
    // Of a burst, only the newest lines.
    int from = lines.size();
    if (newestOnly) {
        qint64 characters = 0;
        const int budget = newestCharacters();
        while (from > 0 && characters < budget)
            characters += lines.at(--from).bytes.size() * 4 + 16;
        if (from > 0 && lines.at(from).row > 0)
            windowFirst = lines.at(from).row - 1;
    } else {
        from = 0;
    }
    appendLines(lines, from);
    busy = false;
}

void LogView::removePending()
{
    if (!pendingShown)
        return;
    QTextDocument *document = edit->document();
    QTextCursor cursor(document);
    const QTextBlock last = document->lastBlock();
    cursor.setPosition(qMax(0, last.position() - 1));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (!shown.empty())
        shown.pop_back();
    pendingShown = false;
}

void LogView::appendLines(const QVector<ViewLine> &lines, int from)
{
    QTextDocument *document = edit->document();
    QScrollBar *bar = edit->verticalScrollBar();
    const bool follow = atNewest && bar->value() >= bar->maximum();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    removePending();
    cursor.movePosition(QTextCursor::End);
    const auto paragraph = [&](const ViewLine &line) {
        if (!(document->isEmpty() && shown.empty()))
            cursor.insertBlock();
        insertStyled(cursor, formatter->render(line));
        shown.push_back(line.row);
    };
    for (int i = from; i < lines.size(); ++i)
        paragraph(lines.at(i));
    // Also in a window short of the newest rows: the rest of that line is in the next page.
    ViewLine pending;
    if (formatter->pending(&pending)) {
        paragraph(pending);
        pendingShown = true;
    }
    cursor.endEditBlock();
    if (follow)
        bar->setValue(bar->maximum());
    if (pendingShown && lineGap > 0)
        quiet->start(lineGap);
}

void LogView::onQuiet()
{
    if (mode == BlocksView || !pendingShown || !atNewest || busy)
        return;
    // Whatever the store holds by now comes first; it may carry the line on.
    refresh();
    QVector<ViewLine> lines;
    if (pendingShown && formatter->endIfQuiet(LogFormatter::nowMsecs(), &lines)) {
        busy = true;
        appendLines(lines, 0);
        busy = false;
    } else if (pendingShown) {
        quiet->start(lineGap);
    }
}

void LogView::linesPage(Place place)
{
    // The window moves by a page of rows and is split again from its new first row; the rows
    // already shown keep their place on the screen.
    QVector<CaptureStore::LogRow> rows;
    qint64 keep;
    bool reachesNewest;
    const int most = PageBlocks * 10;
    if (place == AtTop) {
        keep = windowFirst + 1;
        rows = store->terminalRows(terminal, clearMark, keep, PageBlocks, true);
        if (rows.isEmpty()) {
            // Nothing older: the rows before the window were other terminals'.
            windowFirst = clearMark;
            return;
        }
        const QVector<CaptureStore::LogRow> shownRows
            = store->terminalRows(terminal, keep - 1, fedTo + 1, most, false);
        reachesNewest = atNewest && shownRows.size() < most;
        rows += shownRows;
    } else {
        keep = fedTo;
        const QVector<CaptureStore::LogRow> newer
            = store->terminalRows(terminal, fedTo, NoLimit, PageBlocks, false);
        if (newer.isEmpty()) {
            atNewest = true;
            return;
        }
        reachesNewest = newer.size() < PageBlocks;
        rows = store->terminalRows(terminal, windowFirst, fedTo + 1, most, true) + newer;
    }
    // Within the window's bound: rows go at the far side from where the reader is going.
    qint64 characters = 0;
    for (const CaptureStore::LogRow &row : qAsConst(rows))
        characters += row.bytes.size() * 4 + 16;
    int first = 0;
    int end = int(rows.size());
    while (characters > MaxShownCharacters * 3 / 4 && end - first > 1) {
        if (place == AtTop) {
            characters -= rows.at(--end).bytes.size() * 4 + 16;
            reachesNewest = false;
        } else {
            characters -= rows.at(first++).bytes.size() * 4 + 16;
        }
    }
    const QVector<CaptureStore::LogRow> window = rows.mid(first, end - first);
    rebuildLines(window, reachesNewest, false);
    // Back to where the reader was: the first line of the old window, or the last.
    int index = 0;
    while (index < int(shown.size()) - 1
        && (shown.at(index) < 0
            || (place == AtTop ? shown.at(index) < keep : shown.at(index) <= keep)))
        ++index;
    const QTextBlock block = edit->document()->findBlockByNumber(index);
    const int top = qRound(edit->document()->documentLayout()->blockBoundingRect(block).top());
    QScrollBar *bar = edit->verticalScrollBar();
    busy = true;
    bar->setValue(place == AtTop ? top : qMax(0, top - edit->viewport()->height()));
    busy = false;
}

void LogView::insertStyled(QTextCursor &cursor, const StyledText &text)
{
    // Formats are few (a device uses a handful of colours), and making one per run would cost
    // more than the text.
    static QHash<QString, QTextCharFormat> formats;
    int at = 0;
    for (const StyledText::Run &run : text.runs) {
        const TextStyle &style = run.style;
        const QString key = QString::number(style.foreground) + QLatin1Char(',')
            + QString::number(style.background) + QLatin1Char(',')
            + QString::number(int(style.hasForeground) | int(style.hasBackground) << 1
                | int(style.bold) << 2 | int(style.symbol) << 3);
        auto it = formats.find(key);
        if (it == formats.end()) {
            // A device cycling through 24-bit colours must not grow this without bound.
            if (formats.size() >= 4096)
                formats.clear();
            QTextCharFormat format;
            if (style.symbol)
                format.setForeground(QColor(SymbolColour));
            else if (style.hasForeground)
                format.setForeground(QColor(style.foreground));
            if (style.hasBackground)
                format.setBackground(QColor(style.background));
            if (style.bold)
                format.setFontWeight(QFont::Bold);
            it = formats.insert(key, format);
        }
        cursor.insertText(text.text.mid(at, run.length), it.value());
        at += run.length;
    }
}

bool LogView::viewText(QString *text, qint64 *length)
{
    qint64 rows = 0;
    qint64 bytes = 0;
    store->terminalSize(terminal, clearMark, &rows, &bytes);
    const int perByte = mode == HexDumpView ? 5 : mode == LinesView ? 1 : 3;
    *length = bytes * perByte + rows * 20 + errors.size() * 20;
    if (*length > CopyLimit)
        return false;
    std::unique_ptr<LogFormatter> copier = mode == BlocksView ? nullptr : makeFormatter();
    QString out;
    const auto line = [&out](const QString &paragraph) {
        if (!out.isEmpty())
            out += QLatin1Char('\n');
        out += paragraph;
    };
    qint64 after = clearMark;
    int e = 0;
    for (;;) {
        const QVector<CaptureStore::LogRow> page
            = store->terminalRows(terminal, after, NoLimit, CopyPiece, false);
        if (copier) {
            QVector<ViewLine> lines;
            e = feed(copier.get(), page, e, page.size() < CopyPiece ? errors.size() : 0, &lines);
            for (const ViewLine &shownLine : qAsConst(lines))
                line(copier->render(shownLine).text);
        } else {
            for (const CaptureStore::LogRow &row : page) {
                for (; e < errors.size() && errors.at(e) < row.id; ++e)
                    line(QStringLiteral("Error"));
                StyledText shownText;
                if (row.kind == CaptureStore::LogRow::Event) {
                    shownText.append(paragraphText(row.kind, row.bytes), TextStyle());
                } else {
                    const QByteArray latin1 = paragraphText(row.kind, row.bytes).toLatin1();
                    shownText.appendBytes(latin1.constData(), latin1.size(), TextStyle());
                }
                line(shownText.text);
            }
        }
        if (!page.isEmpty())
            after = page.last().id;
        if (page.size() < CopyPiece)
            break;
        if (out.size() > CopyLimit) {
            *length = out.size();
            return false;
        }
    }
    if (copier) {
        ViewLine pending;
        if (copier->pending(&pending))
            line(copier->render(pending).text);
    } else {
        for (; e < errors.size(); ++e)
            line(QStringLiteral("Error"));
    }
    *text = out;
    return true;
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
