#include "data/logline.h"

#include "data/apphistorydata.h"
#include "serial/serialsettings.h"
#include "util/conversion.h"

namespace {

// Appends text that is ASCII in practice (time, direction, port name) without a temporary
// array per field; anything beyond ASCII goes through the UTF-8 encoder.
void appendText(QByteArray &out, const QString &text)
{
    const QChar *chars = text.constData();
    for (int i = 0; i < text.size(); ++i) {
        if (chars[i].unicode() >= 0x80) {
            out += text.mid(i).toUtf8();
            return;
        }
        out += char(chars[i].unicode());
    }
}

void appendNumber(QByteArray &out, int value)
{
    char digits[16];
    int n = 0;
    unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        out += '-';
    while (n)
        out += digits[--n];
}

void appendSetting(QByteArray &out, const QStringList &texts, int position)
{
    appendText(out, settingText(texts, position));
}

// The ASCII field shows every byte as its Latin-1 character, except control characters (C0,
// DEL and C1), which would split the line or act on the terminal of whoever reads the log,
// and the backslash that introduces their escapes.
void appendAsciiField(QByteArray &out, const QByteArray &bytes)
{
    for (const char c : bytes) {
        const auto byte = uchar(c);
        switch (byte) {
        case '\\':
            out += "\\\\";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            out += "\\x";
            appendHexDigits(out, byte, 2);
        } else if (byte < 0x80) {
            out += c;
        } else {
            out += char(0xC0 | (byte >> 6));
            out += char(0x80 | (byte & 0x3F));
        }
    }
}

} // namespace

void appendLogLine(QByteArray &out, const AppHistoryData &record)
{
    const QByteArray bytes = record.bytes();
    appendText(out, record.time());
    out += '-';
    appendText(out, record.direction());
    out += '-';
    if (!record.isEvent()) {
        for (const char c : bytes)
            appendHexDigits(out, uchar(c), 2);
    }
    out += '-';
    appendAsciiField(out, bytes);
    out += '-';
    appendText(out, record.portName());
    out += '-';
    appendNumber(out, record.baudRate());
    out += '-';
    appendNumber(out, record.dataBits());
    out += '-';
    appendSetting(out, stopBitsTexts, record.stopBits());
    out += '-';
    appendSetting(out, parityTexts, record.parity());
    out += '-';
    appendSetting(out, flowControlTexts, record.flowControl());
}

QByteArray logLine(const AppHistoryData &record)
{
    QByteArray line;
    appendLogLine(line, record);
    return line;
}
