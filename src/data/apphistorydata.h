#ifndef APPHISTORYDATA_H
#define APPHISTORYDATA_H

#include "data/apptabledata.h"

#include <QByteArray>
#include <QString>

// One block of traffic, sent or received, with copies of the line settings it travelled with.
// Never changed after construction, except by the capture store, which refills one record for
// each row it streams out rather than making a QObject per row.
class AppHistoryData : public AppTableData
{
public:
    // The direction field of a line event or marker row, beside "Sent" and "Received".
    static constexpr const char *EventDirection = "Event";

    // Note: bytes come before portName here, unlike the field order.
    AppHistoryData(QString time, QString direction, QByteArray bytes, QString portName,
        int baudRate, int dataBits, int stopBits, int parity, int flowControl);
    ~AppHistoryData() override;

    QString time() const { return m_time; }
    QString direction() const { return m_direction; }
    // A line event or a log marker rather than traffic: its bytes are the event's text ("DTR on",
    // "Lost", "Opened"), shown in the ASCII field, and its HEX field stays empty.
    bool isEvent() const { return m_direction == QLatin1String(EventDirection); }
    QString portName() const { return m_portName; }
    QByteArray bytes() const { return m_bytes; }
    int baudRate() const { return m_baudRate; }
    int dataBits() const { return m_dataBits; }
    int stopBits() const { return m_stopBits; }
    int parity() const { return m_parity; }
    int flowControl() const { return m_flowControl; }
    // The terminal that logged the block, so that its log can be read back; 0 for none.
    int terminal() const { return m_terminal; }
    void setTerminal(int terminal) { m_terminal = terminal; }

private:
    friend class CaptureStore;

    QString m_time;
    QString m_direction;
    QString m_portName;
    QByteArray m_bytes;
    int m_baudRate;
    int m_dataBits;
    int m_stopBits;
    int m_parity;
    int m_flowControl;
    int m_terminal = 0;
};

#endif // APPHISTORYDATA_H
