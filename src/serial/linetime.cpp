#include "serial/linetime.h"

#include "data/appdevicedata.h"

#include <cmath>

double lineSecondsPerByte(const AppDeviceData &record)
{
    // The port takes data bits 5 to 8 as they are and anything else as 7.
    const int data = record.dataBits() >= 5 && record.dataBits() <= 8 ? record.dataBits() : 7;
    const double parity = record.parity() == 0 ? 0 : 1;
    const double stop = record.stopBits() == 1 ? 1.5 : record.stopBits() == 2 ? 2 : 1;
    // A hand-edited rate of zero would make the line infinitely slow; it is read as the slowest
    // rate offered.
    const double baud = record.baudRate() > 0 ? record.baudRate() : 1200;
    return (1 + data + parity + stop) / baud;
}

qint64 lineMilliseconds(qint64 count, const AppDeviceData &record)
{
    return qint64(std::ceil(double(count) * lineSecondsPerByte(record) * 1000 - 1e-9));
}

qint64 lineBytesIn(qint64 ms, const AppDeviceData &record)
{
    return qMax<qint64>(1, qint64(double(ms) / 1000 / lineSecondsPerByte(record)));
}
