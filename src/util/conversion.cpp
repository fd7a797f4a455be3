#include "util/conversion.h"

namespace {

char chunkToByte(const QString &chunk)
{
    // toUInt skips surrounding white space and yields 0 for anything that is not a number.
    return static_cast<char>(chunk.toUInt(nullptr, 16) & 0xFF);
}

} // namespace

QByteArray hexToBytes(QString text)
{
    QByteArray bytes;
    const int n = text.size();
    bytes.reserve((n + 1) / 2);
    int i = 0;
    if (n % 2 != 0) {
        bytes.append(chunkToByte(text.mid(0, 1)));
        i = 1;
    }
    for (; i < n; i += 2)
        bytes.append(chunkToByte(text.mid(i, 2)));
    return bytes;
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
