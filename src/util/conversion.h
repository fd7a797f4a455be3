#ifndef CONVERSION_H
#define CONVERSION_H

#include <QByteArray>
#include <QString>

// Conversions between bytes and the two text forms the operator types and reads.

// HEX as the operator types it. White space, commas and colons separate groups; a group may
// start with 0x or 0X and is read in pairs from the left, a group of odd length giving its first
// digit alone ("12 345" is 12 03 45). Returns false for text holding anything else; `badGroup`
// then names the first group that is not HEX, and `bytes` is left empty.
bool readHex(const QString &text, QByteArray *bytes, QString *badGroup = nullptr);

// The operator's message for HEX text that readHex refused, naming the group.
QString invalidHexMessage(const QString &badGroup);

// The bytes of HEX text as readHex reads it. Text that is not HEX gives no bytes at all, never
// made-up ones; callers that must tell it from empty text use readHex.
QByteArray hexToBytes(QString text);

// Two upper-case hexadecimal digits per byte, no separators.
QString bytesToHex(QByteArray bytes);

// The value of one hexadecimal digit, either case; -1 for anything else.
int hexDigitValue(QChar c);

// Appends the `digits` lowest hexadecimal digits of `value`, upper case, most significant first.
void appendHexDigits(QByteArray &out, uint value, int digits);

// One byte per UTF-16 code unit: its Latin-1 code, or 0x00 beyond U+00FF.
QByteArray asciiToBytes(QString text);

// One Latin-1 character per byte, NUL included.
QString bytesToAscii(QByteArray bytes);

#endif // CONVERSION_H
