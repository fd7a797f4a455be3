#ifndef HISTORYEXPORT_H
#define HISTORYEXPORT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <functional>

// Appends history rows to "app.log" in a folder, streamed a piece at a time so memory stays
// bounded whatever the history's size: one line per row (data/logline.h), then one empty line.
// Whole or not at all: a failed write or a Cancel cuts the file back to its old size.
class HistoryExport
{
    Q_DECLARE_TR_FUNCTIONS(HistoryExport)
public:
    // Appends the lines of rows [first, end), each ended by '\n'; false if they could not be read.
    using Lines = std::function<bool(qint64 first, qint64 end, QByteArray &out)>;
    // Told the rows done so far; false cancels.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    enum Outcome { Written, Cancelled, Failed };
    struct Result
    {
        Outcome outcome;
        qint64 rows;
        // The file, in native separators.
        QString path;
        // What to tell the operator of a failure.
        QString message;
    };

    // "app.log" in the folder, with exactly one separator between them.
    static QString logPath(const QString &folder);
    static Result write(
        const QString &folder, qint64 rows, const Lines &lines, const Progress &progress);

    // Rows put into one piece; a piece is written before the next is read.
    static constexpr int PieceRows = 16384;
};

#endif // HISTORYEXPORT_H
