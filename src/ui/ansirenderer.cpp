#include "ui/ansirenderer.h"

#include <QList>

namespace {

const char Esc = 0x1B;

} // namespace

QRgb AnsiRenderer::paletteColour(int index)
{
    // The first sixteen chosen to read well on the log's near-black background.
    static const QRgb basic[16]
        = { 0x767676, 0xCD3131, 0x0DBC79, 0xE5E510, 0x3B78FF, 0xBC3FBC, 0x11A8CD, 0xE5E5E5,
              0x9A9A9A, 0xF14C4C, 0x23D18B, 0xF5F543, 0x6C9EFF, 0xD670D6, 0x29B8DB, 0xFFFFFF };
    if (index < 16)
        return basic[qMax(0, index)] | 0xFF000000u;
    if (index < 232) {
        static const int level[6] = { 0, 95, 135, 175, 215, 255 };
        const int cube = index - 16;
        return qRgb(level[cube / 36], level[cube / 6 % 6], level[cube % 6]);
    }
    const int grey = 8 + 10 * (qMin(index, 255) - 232);
    return qRgb(grey, grey, grey);
}

void AnsiRenderer::applySgr(const QByteArray &parameters, TextStyle *style)
{
    QList<int> values;
    int value = 0;
    bool any = false;
    for (const char c : parameters) {
        if (c == ';' || c == ':') {
            values.append(any ? value : 0);
            value = 0;
            any = false;
        } else if (c >= '0' && c <= '9') {
            value = qMin(value * 10 + (c - '0'), 100000);
            any = true;
        }
    }
    values.append(any ? value : 0);
    for (int i = 0; i < values.size(); ++i) {
        const int v = values.at(i);
        if (v == 0) {
            *style = TextStyle();
        } else if (v == 1) {
            style->bold = true;
        } else if (v == 22) {
            style->bold = false;
        } else if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97)) {
            style->foreground = paletteColour(v >= 90 ? v - 90 + 8 : v - 30);
            style->hasForeground = true;
        } else if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) {
            style->background = paletteColour(v >= 100 ? v - 100 + 8 : v - 40);
            style->hasBackground = true;
        } else if (v == 39) {
            style->foreground = 0;
            style->hasForeground = false;
        } else if (v == 49) {
            style->background = 0;
            style->hasBackground = false;
        } else if (v == 38 || v == 48) {
            // An indexed (5;n) or direct (2;r;g;b) colour.
            QRgb colour = 0;
            bool valid = false;
            if (i + 2 < values.size() && values.at(i + 1) == 5) {
                colour = paletteColour(qMin(values.at(i + 2), 255));
                valid = true;
                i += 2;
            } else if (i + 4 < values.size() && values.at(i + 1) == 2) {
                colour = qRgb(qMin(values.at(i + 2), 255), qMin(values.at(i + 3), 255),
                    qMin(values.at(i + 4), 255));
                valid = true;
                i += 4;
            } else {
                break;
            }
            if (valid && v == 38) {
                style->foreground = colour;
                style->hasForeground = true;
            } else if (valid) {
                style->background = colour;
                style->hasBackground = true;
            }
        }
    }
}

int AnsiRenderer::sequenceEnd(const QByteArray &bytes, int at, bool *isSgr)
{
    *isSgr = false;
    const int size = bytes.size();
    if (at + 1 >= size)
        return size;
    const char kind = bytes.at(at + 1);
    if (kind == '[') {
        // Parameters, intermediates, then one final byte; anything else breaks the sequence off.
        int i = at + 2;
        bool plain = true;
        while (i < size && bytes.at(i) >= 0x30 && bytes.at(i) <= 0x3F) {
            plain = plain && bytes.at(i) != '<' && bytes.at(i) != '=' && bytes.at(i) != '>'
                && bytes.at(i) != '?';
            ++i;
        }
        while (i < size && bytes.at(i) >= 0x20 && bytes.at(i) <= 0x2F) {
            plain = false;
            ++i;
        }
        if (i >= size)
            return size;
        if (bytes.at(i) >= 0x40 && bytes.at(i) <= 0x7E) {
            *isSgr = plain && bytes.at(i) == 'm';
            return i + 1;
        }
        return i;
    }
    if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
        // A string ended by BEL or ESC \ (a title, a device control string).
        for (int i = at + 2; i < size; ++i) {
            if (bytes.at(i) == 0x07)
                return i + 1;
            if (bytes.at(i) == Esc)
                return i + 1 < size && bytes.at(i + 1) == '\\' ? i + 2 : i;
        }
        return size;
    }
    int i = at + 1;
    while (i < size && bytes.at(i) >= 0x20 && bytes.at(i) <= 0x2F)
        ++i;
    if (i >= size)
        return size;
    return bytes.at(i) >= 0x30 && bytes.at(i) <= 0x7E ? i + 1 : i;
}

void AnsiRenderer::render(const QByteArray &bytes, TextStyle *style, bool raw, StyledText *out)
{
    if (raw) {
        out->appendBytes(bytes.constData(), bytes.size(), *style);
        return;
    }
    int start = 0;
    int at = bytes.indexOf(Esc);
    while (at >= 0) {
        out->appendBytes(bytes.constData() + start, at - start, *style);
        bool isSgr = false;
        const int end = sequenceEnd(bytes, at, &isSgr);
        if (isSgr)
            applySgr(bytes.mid(at + 2, end - at - 3), style);
        start = end;
        at = bytes.indexOf(Esc, start);
    }
    out->appendBytes(bytes.constData() + start, bytes.size() - start, *style);
}

void AnsiRenderer::advance(const QByteArray &bytes, TextStyle *style)
{
    for (int at = bytes.indexOf(Esc); at >= 0; at = bytes.indexOf(Esc, at + 1)) {
        bool isSgr = false;
        const int end = sequenceEnd(bytes, at, &isSgr);
        if (isSgr)
            applySgr(bytes.mid(at + 2, end - at - 3), style);
        at = end - 1;
    }
}
