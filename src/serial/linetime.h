#ifndef LINETIME_H
#define LINETIME_H

#include <QtGlobal>

class AppDeviceData;

// How long the line takes to carry bytes with a record's settings: a start bit, the data bits,
// a parity bit unless parity is off, and the stop bits, at the baud rate.
double lineSecondsPerByte(const AppDeviceData &record);

// The shortest time, in whole milliseconds, in which the line carries `count` bytes.
qint64 lineMilliseconds(qint64 count, const AppDeviceData &record);

// How many bytes the line carries in `ms` milliseconds, at least one.
qint64 lineBytesIn(qint64 ms, const AppDeviceData &record);

#endif // LINETIME_H
