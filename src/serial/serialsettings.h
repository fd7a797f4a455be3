#ifndef SERIALSETTINGS_H
#define SERIALSETTINGS_H

#include <QSerialPort>
#include <QString>
#include <QStringList>

class AppDeviceData;

// The one place where the texts, stored values and port settings of a serial line are fixed.
// Stop bits, parity and flow control are stored as positions in these lists.
extern const QStringList flowControlTexts; // "OFF", "RTS/CTS", "Xon/Xoff"
extern const QStringList stopBitsTexts; // "OneStop", "OneAndHalfStop", "TwoStop"
extern const QStringList parityTexts; // "None", "Even", "Odd"

// The choices offered for the other settings, in the order shown.
QStringList portNameTexts(); // "COM1" .. "COM100"
QStringList baudRateTexts(); // "1200" .. "3000000"
QStringList dataBitsTexts(); // "7", "8"

// Any other positive rate can be typed. The rate a text spells, or 0 for an empty, negative,
// zero or non-numeric text.
int baudRateFromText(const QString &text);
// The message that refuses such a text.
QString baudRateRefusal();

// The text at a stored position, or an empty text for a position outside the list
// (only a hand-edited settings file can hold one).
QString settingText(const QStringList &texts, int position);

// Copies a record's six settings onto a port, in the order port name, baud rate, data bits,
// flow control, stop bits, parity. Data bits 5 to 8 are taken as they are, any other number as 7. A
// position outside 0..2 makes no call, so the port keeps what it had. The port name is resolved for
// this platform first (see portpath.h).
void applySerialSettings(QSerialPort *port, const AppDeviceData &record);

#endif // SERIALSETTINGS_H
