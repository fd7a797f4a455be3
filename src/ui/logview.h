#ifndef LOGVIEW_H
#define LOGVIEW_H

#include "data/capturestore.h"
#include "ui/linesplitter.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <deque>
#include <memory>

class LogFormatter;
class QTextCursor;
class QTimer;
class QTextEdit;
struct StyledText;
struct ViewLine;

// A terminal's log: everything it sent and received since its last Clear, read from the capture
// store, of which the text edit holds and lays out only a window around what is on screen. While
// at the end it follows the newest blocks a frame at a time; scrolling to either edge of the
// window reads the next page from the store, so the whole log can be scrolled back through.
// CR and LF show as the symbols ␍ and ␊ in their own colour; no received or typed text can
// produce those characters.
class LogView : public QObject
{
    Q_OBJECT
public:
    LogView(QTextEdit *edit, CaptureStore *store, int terminal);
    ~LogView() override;

    // The window holds at most this many blocks and characters (the newest block is always
    // shown): laying out a longer document costs more on every append, and past about 21
    // million pixels Qt's text layout breaks down. Of a burst only the newest blocks are laid
    // out: twice a screenful, from 4 Ki up to FrameCharacters.
    static constexpr int MaxShownBlocks = 5000;
    static constexpr int MaxShownCharacters = 128 * 1024;
    static constexpr int FrameCharacters = 32 * 1024;
    // Blocks read from the store when scrolling past an edge of the window.
    static constexpr int PageBlocks = 100;
    // Copy To Clipboard refuses a log longer than this (characters).
    static constexpr qint64 CopyLimit = 64LL * 1024 * 1024;

    // Shows what the store holds for the terminal beyond what is shown, while at the end.
    void refresh();
    // Forgets everything logged up to now; the store's last row must be this terminal's last.
    void clear();
    // An "Error" paragraph after everything logged up to now.
    void addError();
    // The whole log since the last Clear, one line per paragraph, every byte as it arrived.
    // False, leaving the text alone, when it would be longer than CopyLimit; *length says how
    // long.
    bool plainText(QString *text, qint64 *length);

    static QString paragraphText(CaptureStore::LogRow::Kind kind, const QByteArray &bytes);

    // How the log reads the rows: one paragraph per block as it arrived, the received bytes in
    // lines (LineSplitter), or a hex dump (HexDumpFormatter).
    enum View { BlocksView, LinesView, HexDumpView };
    // Shows the log in this view; the window is laid out again at the newest rows.
    void setView(View view, LineSplitter::Split split, int gapMsecs, bool raw);
    View view() const { return mode; }
    // The whole log since the last Clear as the view shows it, one line per paragraph, time
    // stamps included. False, as plainText(), when it would be longer than CopyLimit.
    bool viewText(QString *text, qint64 *length);
    // Find in the log.
    // Moves the window to the row, if it is shown since the last Clear, and selects it.
    bool showRow(qint64 id);
    // Rows up to this id were cleared: the log starts after it.
    qint64 clearedUpTo() const { return clearMark; }

private:
    Q_DISABLE_COPY(LogView)

    // One block of the document: a row's id, or an error (-1).
    using Shown = std::deque<qint64>;
    enum Place { AtTop, AtBottom };

    void onScrolled();
    // The newest blocks only, taken from `newest` (the frame's rows) when they fill the budget.
    void rebuildNewest(const QVector<CaptureStore::LogRow> &newest);
    // Characters laid out of a burst or of a frame too long to read while following.
    int newestCharacters() const;
    void olderPage();
    void newerPage();
    // Inserts the rows with the errors that fall among them (those of `errorsFrom` on, before
    // `errorsTo` unless the rows end at the newest) at the top or the bottom.
    void insert(
        const QVector<CaptureStore::LogRow> &rows, int errorsFrom, int errorsTo, Place place);
    void insertParagraph(QTextCursor &cursor, const QString &text);
    int charactersOf(const QVector<CaptureStore::LogRow> &rows) const;
    void trim(Place place, bool keepPlace);
    bool tooLong() const;
    int firstErrorFrom(qint64 id) const;
    qint64 firstRowId() const;
    qint64 lastRowId() const;

    // The Lines and Hex dump views: the window shows the lines of the rows after `windowFirst`
    // up to `fedTo`, split from the window's first row on. Following the newest rows feeds the
    // formatter only what is new; paging lays the window out again.
    std::unique_ptr<LogFormatter> makeFormatter() const;
    // Returns the index of the first error not fed.
    int feed(LogFormatter *to, const QVector<CaptureStore::LogRow> &rows, int errorsFrom,
        int errorsTo, QVector<ViewLine> *out);
    void refreshLines();
    // The window anew from the rows; only the lines that fill the screen when `newestOnly`.
    void rebuildLines(
        const QVector<CaptureStore::LogRow> &rows, bool reachesNewest, bool newestOnly);
    // Lays the lines out at the bottom, the pending one last, in place of the pending one shown.
    void appendLines(const QVector<ViewLine> &lines, int from);
    void removePending();
    void linesPage(Place place);
    void insertStyled(QTextCursor &cursor, const StyledText &text);
    void onQuiet();

    QTextEdit *edit;
    CaptureStore *store;
    int terminal;
    // Rows up to this id were cleared.
    qint64 clearMark;
    // After which row id each error came, oldest first, since the last Clear.
    QVector<qint64> errors;
    // The errors shown at or before the end of the window.
    int errorsDone;
    Shown shown;
    // The window reaches the newest row.
    bool atNewest;
    bool busy;
    View mode;
    LineSplitter::Split lineSplit;
    int lineGap;
    bool ansiRaw;
    std::unique_ptr<LogFormatter> formatter;
    qint64 windowFirst;
    qint64 fedTo;
    // The last paragraph is the formatter's pending line.
    bool pendingShown;
    // Ends the pending line once the line has been quiet for the gap.
    QTimer *quiet;
};

#endif // LOGVIEW_H
