#ifndef HEXDUMPFORMATTER_H
#define HEXDUMPFORMATTER_H

#include "ui/logformatter.h"

// The Hex dump view: each run of bytes in one direction as lines of an offset, 16 bytes in HEX
// and their text, under a heading with the time stamp of the run's first byte. A run ends at a
// change of direction, an event, or a gap with no bytes.
class HexDumpFormatter : public LogFormatter
{
public:
    static constexpr int BytesPerLine = 16;

    explicit HexDumpFormatter(int gapMsecs);

    void reset() override;
    void add(const CaptureStore::LogRow &row, QVector<ViewLine> *out) override;
    bool pending(ViewLine *line) const override;
    StyledText render(const ViewLine &line) const override;
    bool endIfQuiet(qint64 nowMsecs, QVector<ViewLine> *out) override;

private:
    void endRun(QVector<ViewLine> *out);

    int gap;
    bool inRun;
    qint64 offset;
    qint64 lastMsecs;
    ViewLine partial;
};

#endif // HEXDUMPFORMATTER_H
