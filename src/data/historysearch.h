#ifndef HISTORYSEARCH_H
#define HISTORYSEARCH_H

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class QTimer;

// Finds bytes in rows of traffic (the history, or one terminal's log) without holding up the
// window: the rows are read a slice at a time, each slice within SliceMs, from the event loop.
// A match may start in one Received row and end in the next Received rows of the same port, as
// a device's line often arrives in more than one batch; a Sent or Event row of that port ends
// the chain, and rows of other ports never join it. The search can be taken up again later for
// rows added since.
class HistorySearch : public QObject
{
    Q_OBJECT
public:
    enum Kind { Received, Sent, Event };
    struct Row
    {
        // The row's place: a history position or a store id, rising with the rows.
        qint64 key;
        Kind kind;
        const QString &port;
        const QByteArray &bytes;
        // Whether the row is shown; a match that starts in a hidden row is not reported.
        bool shown;
    };
    using Feed = std::function<void(const Row &row)>;
    // Hands the rows from key `from` on, at most `limit`, to `feed`; returns the key to go on
    // from, or -1 past the last row.
    using Source = std::function<qint64(qint64 from, int limit, const Feed &feed)>;

    explicit HistorySearch(QObject *parent = nullptr);
    ~HistorySearch() override;

    // Starts over. Text is matched in either case (ASCII letters); `events` says whether Event
    // rows are searched (their bytes are text, matched in Text mode only).
    void start(const QByteArray &pattern, bool ignoreCase, bool events, Source source);
    // Goes on over the rows added since the search ended.
    void resume();
    // Stops a search that is running; the matches found so far stay.
    void cancel();
    // Forgets the search.
    void reset();
    bool running() const;
    bool cancelled() const { return wasCancelled; }
    bool active() const { return !pattern.isEmpty(); }
    // The key of the row where each match starts, in order, one per row.
    const QVector<qint64> &matches() const { return found; }
    // The key of the last row read; -1 before the first.
    qint64 reached() const { return lastKey; }

    // Rows read in a piece; pieces are read until the slice's time is up.
    static constexpr int PieceRows = 512;
    static constexpr int SliceMs = 20;
    // Matches kept; past this the rest are not listed.
    static constexpr int MaxMatches = 1000000;

signals:
    // After each slice while running.
    void progress(qint64 reached);
    // The search has gone through every row there was, or was cancelled.
    void finished();

private:
    Q_DISABLE_COPY(HistorySearch)

    void slice();
    void take(const Row &row);
    void addMatch(qint64 key);
    int indexIn(const QByteArray &haystack, int from) const;

    // The bytes of a port's chain of Received rows that a match could still start in, with the
    // key of the row of each.
    struct Carry
    {
        QByteArray tail;
        QVector<qint64> keys;
    };

    QByteArray pattern;
    bool ignoreCase;
    bool events;
    Source source;
    QHash<QString, Carry> carries;
    QVector<qint64> found;
    // The key to read from next, or -1 once past the last row.
    qint64 next;
    qint64 lastKey;
    bool wasCancelled;
    QTimer *timer;
};

#endif // HISTORYSEARCH_H
