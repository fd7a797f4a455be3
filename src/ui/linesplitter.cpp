#include "ui/linesplitter.h"

#include "ui/ansirenderer.h"

namespace {

TextStyle stampStyle()
{
    TextStyle style;
    style.foreground = qRgb(0x9A, 0x9A, 0x9A);
    style.hasForeground = true;
    return style;
}

TextStyle symbolStyle()
{
    TextStyle style;
    style.symbol = true;
    return style;
}

} // namespace

LineSplitter::LineSplitter(Split split, int gapMsecs, bool raw)
    : split(split)
    , gap(gapMsecs)
    , raw(raw)
{
    reset();
}

void LineSplitter::reset()
{
    line = ViewLine();
    isOpen = false;
    crHeld = false;
    continues = false;
    lastMsecs = -1;
    style = TextStyle();
}

void LineSplitter::open(const CaptureStore::LogRow &row)
{
    if (isOpen)
        return;
    isOpen = true;
    line.row = row.id;
    line.kind = CaptureStore::LogRow::Received;
    line.time = row.time.mid(11);
    line.bytes.clear();
    line.offset = continues ? 1 : 0;
    line.style = style;
    continues = false;
}

void LineSplitter::end(QVector<ViewLine> *out, bool cut)
{
    crHeld = false;
    if (!isOpen)
        return;
    if (!raw)
        AnsiRenderer::advance(line.bytes, &style);
    out->append(line);
    line.bytes.clear();
    isOpen = false;
    continues = cut;
}

void LineSplitter::addWhole(const CaptureStore::LogRow &row, QVector<ViewLine> *out)
{
    // A block sent or an event: lines of their own, a long block cut like a long line.
    const QString time = row.id < 0 ? QString() : row.time.mid(11);
    int from = 0;
    do {
        ViewLine whole;
        whole.row = row.id;
        whole.kind = row.kind;
        whole.time = time;
        whole.bytes = row.bytes.mid(from, MaxLineBytes);
        whole.offset = from > 0 ? 1 : 0;
        out->append(whole);
        from += MaxLineBytes;
    } while (from < row.bytes.size());
}

void LineSplitter::add(const CaptureStore::LogRow &row, QVector<ViewLine> *out)
{
    const qint64 msecs = msecsOf(row.time);
    if (row.kind != CaptureStore::LogRow::Received) {
        end(out);
        addWhole(row, out);
        if (msecs >= 0)
            lastMsecs = msecs;
        return;
    }
    if (gap > 0 && lastMsecs >= 0 && msecs >= 0 && msecs - lastMsecs >= gap)
        end(out);
    if (msecs >= 0)
        lastMsecs = msecs;

    const char *bytes = row.bytes.constData();
    const int size = row.bytes.size();
    int start = 0;
    const auto take = [&](int to) {
        // The bytes before a line end, cut into lines of at most MaxLineBytes.
        while (start < to) {
            open(row);
            const int room = MaxLineBytes - int(line.bytes.size());
            const int n = qMin(room, to - start);
            line.bytes.append(bytes + start, n);
            start += n;
            if (line.bytes.size() >= MaxLineBytes)
                end(out, true);
        }
    };
    for (int i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (crHeld) {
            crHeld = false;
            if (c == '\n') {
                end(out);
                start = i + 1;
                continue;
            }
            if (split == Auto) {
                end(out);
            } else {
                // CR LF only: a lone CR is part of the line.
                open(row);
                line.bytes.append('\r');
            }
        }
        if (c == '\n' && (split == Auto || split == Lf)) {
            take(i);
            open(row);
            end(out);
            start = i + 1;
        } else if (c == '\r' && split == Cr) {
            take(i);
            open(row);
            end(out);
            start = i + 1;
        } else if (c == '\r' && (split == Auto || split == CrLf)) {
            take(i);
            open(row);
            crHeld = true;
            start = i + 1;
        }
    }
    take(size);
}

bool LineSplitter::pending(ViewLine *pendingLine) const
{
    if (!isOpen)
        return false;
    *pendingLine = line;
    pendingLine->pending = true;
    return true;
}

StyledText LineSplitter::render(const ViewLine &shown) const
{
    StyledText out;
    out.append(prefix(shown), stampStyle());
    if (shown.offset > 0)
        out.append(QString(QChar(0x2026)), symbolStyle());
    if (shown.kind == CaptureStore::LogRow::Event) {
        out.append(QString::fromUtf8(shown.bytes), TextStyle());
    } else if (shown.kind == CaptureStore::LogRow::Received) {
        TextStyle lineStyle = shown.style;
        AnsiRenderer::render(shown.bytes, &lineStyle, raw, &out);
    } else {
        out.appendBytes(shown.bytes.constData(), shown.bytes.size(), TextStyle());
    }
    if (shown.pending)
        out.append(QString(QChar(0x2026)), symbolStyle());
    return out;
}

bool LineSplitter::endIfQuiet(qint64 nowMsecs, QVector<ViewLine> *out)
{
    if (!isOpen || gap <= 0 || lastMsecs < 0 || nowMsecs - lastMsecs < gap)
        return false;
    end(out);
    return true;
}
