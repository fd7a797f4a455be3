#ifndef CONVERSION_H
#define CONVERSION_H

#include <QByteArray>
#include <QString>

// Conversions between bytes and the two text forms the operator types and reads.
// None of them fails: every input gives some output.

// Hexadecimal text to bytes. Odd-length text takes its first character alone as the
// first byte; the rest is read in pairs. A pair that is not a number gives 0x00.
QByteArray hexToBytes(QString text);

// Two upper-case hexadecimal digits per byte, no separators.
QString bytesToHex(QByteArray bytes);

// One byte per UTF-16 code unit: its Latin-1 code, or 0x00 beyond U+00FF.
QByteArray asciiToBytes(QString text);

// One Latin-1 character per byte, NUL included.
QString bytesToAscii(QByteArray bytes);

#endif // CONVERSION_H
