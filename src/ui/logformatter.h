#ifndef LOGFORMATTER_H
#define LOGFORMATTER_H

#include "data/capturestore.h"
#include "ui/styledtext.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// One line of the Lines or Hex dump view. It keeps its bytes and is formatted only when shown
// or copied: a burst is split in full, but only the lines that fit the screen are laid out.
struct ViewLine
{
    // The row of its first byte; -1 for a port error.
    qint64 row = -1;
    CaptureStore::LogRow::Kind kind = CaptureStore::LogRow::Received;
    // "hh:mm:ss.zzz"; empty for a port error.
    QString time;
    QByteArray bytes;
    // Lines: 1 when it continues a line cut at the longest length. Hex dump: the offset of its
    // first byte in its run, or -1 for the heading of a run.
    qint64 offset = 0;
    // The device's colours where the line starts.
    TextStyle style;
    // Not ended yet: more bytes may join it.
    bool pending = false;
};

// Turns a terminal's rows, oldest first, into the lines of a view. A port error is given as an
// Event row with id -1, the text "Error" and no time.
class LogFormatter
{
public:
    LogFormatter() = default;
    virtual ~LogFormatter() = default;

    // Forgets everything taken so far.
    virtual void reset() = 0;
    // Takes the next row; the lines it completes are appended to `out`.
    virtual void add(const CaptureStore::LogRow &row, QVector<ViewLine> *out) = 0;
    // The line not ended yet, if any.
    virtual bool pending(ViewLine *line) const = 0;
    virtual StyledText render(const ViewLine &line) const = 0;
    // Ends the pending line (or run) when no bytes came for the gap up to `nowMsecs`, as the
    // next row would; true if it did.
    virtual bool endIfQuiet(qint64 nowMsecs, QVector<ViewLine> *out) = 0;

    // The milliseconds of a store time "dd.MM.yyyy hh:mm:ss.zzz", counted from a fixed day;
    // -1 when it is not one.
    static qint64 msecsOf(const QString &time);
    // The local time now, counted as msecsOf() counts.
    static qint64 nowMsecs();
    // "hh:mm:ss.zzz < ": the time stamp and the direction mark every line starts with.
    static QString prefix(const ViewLine &line);

private:
    Q_DISABLE_COPY(LogFormatter)
};

#endif // LOGFORMATTER_H
