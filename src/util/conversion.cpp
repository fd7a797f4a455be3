#include "util/conversion.h"

#include <QCoreApplication>

namespace {

bool isSeparator(QChar c)
{
    return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(':');
}

// One group, without separators: appends its bytes, or returns false if it is not HEX.
bool readGroup(const QString &text, int from, int to, QByteArray *bytes)
{
    if (to - from > 2 && text.at(from) == QLatin1Char('0')
        && (text.at(from + 1) == QLatin1Char('x') || text.at(from + 1) == QLatin1Char('X')))
        from += 2;
    if (from >= to)
        return false;
    int i = from;
    int value = 0;
    // Odd length: the first digit stands alone, as it always has without separators.
    if ((to - from) % 2 != 0) {
        value = hexDigitValue(text.at(i++));
        if (value < 0)
            return false;
        bytes->append(char(value));
    }
    for (; i < to; i += 2) {
        const int high = hexDigitValue(text.at(i));
        const int low = hexDigitValue(text.at(i + 1));
        if (high < 0 || low < 0)
            return false;
        bytes->append(char(high * 16 + low));
    }
    return true;
}

} // namespace

bool readHex(const QString &text, QByteArray *bytes, QString *badGroup)
{
    QByteArray read;
    read.reserve((text.size() + 1) / 2);
    const int n = text.size();
    int i = 0;
    while (i < n) {
        if (isSeparator(text.at(i))) {
            ++i;
            continue;
        }
        const int from = i;
        while (i < n && !isSeparator(text.at(i)))
            ++i;
        if (!readGroup(text, from, i, &read)) {
            if (badGroup)
                *badGroup = text.mid(from, i - from);
            if (bytes)
                bytes->clear();
            return false;
        }
    }
    if (bytes)
        *bytes = read;
    return true;
}

QString invalidHexMessage(const QString &badGroup)
{
    return QCoreApplication::translate("AppConversion", "HEX can only hold hex digits: %1")
        .arg(badGroup);
}

QByteArray hexToBytes(QString text)
{
    QByteArray bytes;
    readHex(text, &bytes);
    return bytes;
}

int hexDigitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

void appendHexDigits(QByteArray &out, uint value, int digits)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += hexDigits[(value >> shift) & 0xF];
}

QString bytesToHex(QByteArray bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray asciiToBytes(QString text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (int i = 0; i < text.size(); ++i) {
        const ushort code = text.at(i).unicode();
        bytes[i] = code <= 0xFF ? static_cast<char>(code) : '\0';
    }
    return bytes;
}

QString bytesToAscii(QByteArray bytes)
{
    // The pointer-and-size overload: the QByteArray overload stops at the first NUL in Qt 5.
    return QString::fromLatin1(bytes.constData(), bytes.size());
}
