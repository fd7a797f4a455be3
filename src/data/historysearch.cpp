#include "data/historysearch.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace {

QByteArray lowered(const QByteArray &bytes)
{
    QByteArray out = bytes;
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

} // namespace

HistorySearch::HistorySearch(QObject *parent)
    : QObject(parent)
    , ignoreCase(false)
    , events(false)
    , next(-1)
    , lastKey(-1)
    , wasCancelled(false)
    , timer(new QTimer(this))
{
    timer->setSingleShot(true);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, &HistorySearch::slice);
}

HistorySearch::~HistorySearch() = default;

void HistorySearch::start(const QByteArray &bytes, bool anyCase, bool withEvents, Source rows)
{
    reset();
    ignoreCase = anyCase;
    pattern = anyCase ? lowered(bytes) : bytes;
    events = withEvents;
    source = std::move(rows);
    if (pattern.isEmpty())
        return;
    next = 0;
    timer->start();
}

void HistorySearch::resume()
{
    if (!active() || running())
        return;
    wasCancelled = false;
    if (next < 0)
        next = lastKey + 1;
    timer->start();
}

void HistorySearch::cancel()
{
    if (!running())
        return;
    timer->stop();
    wasCancelled = true;
    emit finished();
}

void HistorySearch::reset()
{
    timer->stop();
    pattern.clear();
    carries.clear();
    found.clear();
    next = -1;
    lastKey = -1;
    wasCancelled = false;
}

bool HistorySearch::running() const
{
    return timer->isActive();
}

void HistorySearch::slice()
{
    QElapsedTimer clock;
    clock.start();
    const Feed feed = [this](const Row &row) {
        take(row);
    };
    while (next >= 0 && clock.elapsed() < SliceMs)
        next = source(next, PieceRows, feed);
    emit progress(lastKey);
    if (next >= 0)
        timer->start();
    else
        emit finished();
}

int HistorySearch::indexIn(const QByteArray &haystack, int from) const
{
    return haystack.indexOf(pattern, from);
}

void HistorySearch::addMatch(qint64 key)
{
    if (key < 0 || found.size() >= MaxMatches)
        return;
    if (found.isEmpty() || found.last() < key) {
        found.append(key);
        return;
    }
    // A match that began in an earlier row of another port's chain comes in late.
    const auto at = std::lower_bound(found.begin(), found.end(), key);
    if (*at != key)
        found.insert(at, key);
}

void HistorySearch::take(const Row &row)
{
    lastKey = row.key;
    const QByteArray bytes = ignoreCase ? lowered(row.bytes) : row.bytes;
    const qint64 key = row.shown ? row.key : -1;
    if (row.kind != Received) {
        // A Sent or Event row ends the port's chain of received batches.
        carries.remove(row.port);
        if ((row.kind == Sent || events) && indexIn(bytes, 0) >= 0)
            addMatch(key);
        return;
    }
    Carry &carry = carries[row.port];
    const QByteArray joined = carry.tail + bytes;
    for (int at = indexIn(joined, 0); at >= 0; at = indexIn(joined, at + 1)) {
        addMatch(at < carry.tail.size() ? carry.keys.at(at) : key);
        if (at >= carry.tail.size())
            break;
    }
    // What a match ending in a later batch could start in.
    const int keep = qMin(pattern.size() - 1, joined.size());
    const int fromOld = qMax(0, keep - bytes.size());
    QVector<qint64> keys = carry.keys.mid(carry.keys.size() - fromOld);
    keys.resize(keep);
    std::fill(keys.begin() + fromOld, keys.end(), key);
    carry.tail = joined.right(keep);
    carry.keys = keys;
}
