#ifndef LOGLINE_H
#define LOGLINE_H

#include <QByteArray>

class AppHistoryData;

// The one line format for a history record on disk: ten fields joined by '-', in UTF-8, without
// the line end. The HEX field is upper-case pairs; the ASCII field escapes CR, LF, tab, other
// control bytes and the backslash, so one record is always one line.
void appendLogLine(QByteArray &out, const AppHistoryData &record);
QByteArray logLine(const AppHistoryData &record);

#endif // LOGLINE_H
