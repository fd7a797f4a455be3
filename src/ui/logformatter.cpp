#include "ui/logformatter.h"

#include <QDateTime>

qint64 LogFormatter::msecsOf(const QString &time)
{
    if (time.size() < 23)
        return -1;
    qint64 fields[7] = {};
    static const int starts[7] = { 0, 3, 6, 11, 14, 17, 20 };
    static const int lengths[7] = { 2, 2, 4, 2, 2, 2, 3 };
    for (int f = 0; f < 7; ++f) {
        for (int i = 0; i < lengths[f]; ++i) {
            const int digit = time.at(starts[f] + i).digitValue();
            if (digit < 0)
                return -1;
            fields[f] = fields[f] * 10 + digit;
        }
    }
    const QDate date { int(fields[2]), int(fields[1]), int(fields[0]) };
    if (!date.isValid())
        return -1;
    return date.toJulianDay() * 86400000LL + fields[3] * 3600000LL + fields[4] * 60000LL
        + fields[5] * 1000LL + fields[6];
}

qint64 LogFormatter::nowMsecs()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.date().toJulianDay() * 86400000LL + now.time().msecsSinceStartOfDay();
}

QString LogFormatter::prefix(const ViewLine &line)
{
    QChar mark = QLatin1Char('*');
    if (line.row < 0)
        mark = QLatin1Char('!');
    else if (line.kind == CaptureStore::LogRow::Received)
        mark = QLatin1Char('<');
    else if (line.kind == CaptureStore::LogRow::Sent)
        mark = QLatin1Char('>');
    return (line.time.isEmpty() ? QString(12, QLatin1Char(' ')) : line.time) + QLatin1Char(' ')
        + mark + QLatin1Char(' ');
}
