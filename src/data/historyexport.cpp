#include "data/historyexport.h"

#include "util/diskfailure.h"

#include <QDir>
#include <QFile>

QString HistoryExport::logPath(const QString &folder)
{
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + QStringLiteral("app.log");
}

HistoryExport::Result HistoryExport::write(
    const QString &folder, qint64 rows, const Lines &lines, const Progress &progress)
{
    const QString path = logPath(folder);
    Result result { Failed, 0, QDir::toNativeSeparators(path), QString() };
    QFile file(path);
    const bool existed = file.exists();
    qint64 attempted = 16 * 1024;
    const auto fail = [&](const QString &reason, bool cut = true) {
        result.message = cut
            ? tr("Could not save the history to %1: %2. Nothing was written.")
                  .arg(result.path, reason)
            : tr("Could not save the history to %1: %2. The part written could not be taken "
                 "back out of the file.")
                  .arg(result.path, reason);
        return result;
    };
    if (!file.open(QIODevice::Append))
        return fail(DiskFailure::reason(path, attempted));
    const qint64 start = file.size();
    // Whatever stops the export, the file goes back to what it was, so no export ever leaves a
    // torn line behind; the size is read back, as a cut that did not happen must not pass.
    const auto cutBack = [&]() {
        file.flush();
        bool cut = file.resize(start) && file.size() == start;
        file.close();
        if (!existed && cut)
            cut = file.remove();
        return cut || (!existed && !QFile::exists(path));
    };

    QByteArray piece;
    bool written = true;
    QString reason;
    qint64 done = 0;
    while (written && done <= rows) {
        piece.clear();
        const qint64 end = qMin(rows, done + PieceRows);
        if (done < rows && !lines(done, end, piece)) {
            reason = tr("the history could not be read");
            written = false;
            break;
        }
        if (end == rows)
            piece += '\n';
        attempted += piece.size();
        written = file.write(piece) == piece.size() && file.flush();
        done = end;
        if (done == rows)
            break;
        if (written && progress && !progress(done, rows)) {
            result.outcome = Cancelled;
            if (!cutBack())
                return fail(tr("it was cancelled"), false);
            return result;
        }
    }
    if (written && file.size() == start + attempted - 16 * 1024) {
        file.close();
        result.outcome = Written;
        result.rows = rows;
        return result;
    }
    if (reason.isEmpty())
        reason = DiskFailure::reason(path, attempted);
    return fail(reason, cutBack());
}
