#include "ui/hexdumpformatter.h"

namespace {

TextStyle colour(QRgb rgb)
{
    TextStyle style;
    style.foreground = rgb;
    style.hasForeground = true;
    return style;
}

} // namespace

HexDumpFormatter::HexDumpFormatter(int gapMsecs)
    : gap(gapMsecs)
{
    reset();
}

void HexDumpFormatter::reset()
{
    inRun = false;
    offset = 0;
    lastMsecs = -1;
    partial = ViewLine();
}

void HexDumpFormatter::endRun(QVector<ViewLine> *out)
{
    if (!partial.bytes.isEmpty())
        out->append(partial);
    partial.bytes.clear();
    inRun = false;
}

void HexDumpFormatter::add(const CaptureStore::LogRow &row, QVector<ViewLine> *out)
{
    const qint64 msecs = msecsOf(row.time);
    const QString time = row.id < 0 ? QString() : row.time.mid(11);
    if (row.kind == CaptureStore::LogRow::Event) {
        endRun(out);
        ViewLine event;
        event.row = row.id;
        event.kind = row.kind;
        event.time = time;
        event.bytes = row.bytes;
        event.offset = -1;
        out->append(event);
        return;
    }
    if (!inRun || partial.kind != row.kind
        || (gap > 0 && lastMsecs >= 0 && msecs >= 0 && msecs - lastMsecs >= gap)) {
        endRun(out);
        ViewLine heading;
        heading.row = row.id;
        heading.kind = row.kind;
        heading.time = time;
        heading.offset = -1;
        out->append(heading);
        inRun = true;
        offset = 0;
        partial.kind = row.kind;
    }
    if (msecs >= 0)
        lastMsecs = msecs;
    int from = 0;
    while (from < row.bytes.size()) {
        if (partial.bytes.isEmpty()) {
            partial.row = row.id;
            partial.time = time;
            partial.offset = offset;
        }
        const int n = qMin(BytesPerLine - int(partial.bytes.size()), int(row.bytes.size()) - from);
        partial.bytes.append(row.bytes.constData() + from, n);
        from += n;
        offset += n;
        if (partial.bytes.size() == BytesPerLine) {
            out->append(partial);
            partial.bytes.clear();
        }
    }
}

bool HexDumpFormatter::pending(ViewLine *line) const
{
    if (partial.bytes.isEmpty())
        return false;
    *line = partial;
    line->pending = true;
    return true;
}

StyledText HexDumpFormatter::render(const ViewLine &line) const
{
    StyledText out;
    if (line.offset < 0) {
        out.append(prefix(line), colour(qRgb(0x9A, 0x9A, 0x9A)));
        if (line.kind == CaptureStore::LogRow::Event)
            out.append(QString::fromUtf8(line.bytes), TextStyle());
        else
            out.append(line.kind == CaptureStore::LogRow::Sent ? QStringLiteral("Sent")
                                                               : QStringLiteral("Received"),
                TextStyle());
        return out;
    }
    static const char digits[] = "0123456789ABCDEF";
    QString hex = QString::number(line.offset, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    hex += QLatin1String("  ");
    for (int i = 0; i < BytesPerLine; ++i) {
        if (i == BytesPerLine / 2)
            hex += QLatin1Char(' ');
        if (i < line.bytes.size()) {
            const uchar byte = uchar(line.bytes.at(i));
            hex += QLatin1Char(digits[byte >> 4]);
            hex += QLatin1Char(digits[byte & 15]);
            hex += QLatin1Char(' ');
        } else {
            hex += QLatin1String("   ");
        }
    }
    hex += QLatin1Char(' ');
    out.append(hex, TextStyle());
    // One character per byte, so the column stays aligned: the log's symbols for CR, LF and
    // ESC, a dot for the other bytes that print nothing.
    TextStyle symbol;
    symbol.symbol = true;
    for (const char c : line.bytes) {
        const uchar byte = uchar(c);
        const QChar shown = byteSymbol(byte);
        if (!shown.isNull())
            out.append(QString(shown), symbol);
        else if (byte < 0x20 || (byte >= 0x7F && byte <= 0xA0) || byte == 0xAD)
            out.append(QStringLiteral("."), symbol);
        else
            out.append(QString(QChar(byte)), TextStyle());
    }
    return out;
}

bool HexDumpFormatter::endIfQuiet(qint64 nowMsecs, QVector<ViewLine> *out)
{
    if (!inRun || gap <= 0 || lastMsecs < 0 || nowMsecs - lastMsecs < gap)
        return false;
    endRun(out);
    return true;
}
