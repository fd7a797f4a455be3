#ifndef LINESPLITTER_H
#define LINESPLITTER_H

#include "ui/logformatter.h"

// The Lines view: received bytes joined across the batches in which they came and split at line
// ends, each line stamped with the arrival of its first byte. A line not ended yet is pending
// until the next line end, a gap with no bytes, or anything else in the log (a Send, an event).
// Sent blocks and events are lines of their own. Colour and bold are rendered, other escapes
// hidden, unless raw.
class LineSplitter : public LogFormatter
{
public:
    enum Split { Auto, Lf, Cr, CrLf };
    // A line longer than this is cut, and goes on in the next one; the longest line then stays
    // cheap to lay out and fits the log's window.
    static constexpr int MaxLineBytes = 4096;

    LineSplitter(Split split, int gapMsecs, bool raw);

    void reset() override;
    void add(const CaptureStore::LogRow &row, QVector<ViewLine> *out) override;
    bool pending(ViewLine *line) const override;
    StyledText render(const ViewLine &line) const override;
    bool endIfQuiet(qint64 nowMsecs, QVector<ViewLine> *out) override;

private:
    void open(const CaptureStore::LogRow &row);
    void end(QVector<ViewLine> *out, bool cut = false);
    void addWhole(const CaptureStore::LogRow &row, QVector<ViewLine> *out);

    Split split;
    int gap;
    bool raw;
    ViewLine line;
    bool isOpen;
    // A CR that may be the first half of CR LF.
    bool crHeld;
    bool continues;
    qint64 lastMsecs;
    TextStyle style;
};

#endif // LINESPLITTER_H
