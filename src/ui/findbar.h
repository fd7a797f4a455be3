#ifndef FINDBAR_H
#define FINDBAR_H

#include "data/historysearch.h"

#include <QWidget>

#include <functional>

class CaptureStore;
class LogView;
class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// A find bar over rows of traffic: the history, or a terminal's log. Text is looked for in the
// ASCII field in either case, HEX as bytes. The search runs in slices (HistorySearch) with its
// progress in the label; Escape cancels it, or closes the bar. Next and Previous go from match
// to match and wrap at the ends, saying so. Ctrl+F, F3 and Shift+F3 work in the whole window.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    // What the bar searches and how it shows a match; keys as in HistorySearch::Row.
    struct Target
    {
        HistorySearch::Source rows;
        // The key past the last row now.
        std::function<qint64()> end;
        // The key of the row the operator is at, where Next starts from.
        std::function<qint64()> current;
        std::function<void(qint64 key)> show;
        // Whether Event rows are searched.
        bool events;
    };

    // Its widgets are named `prefix` + "FindEdit", "FindModeCombo", "FindPrevBtn",
    // "FindNextBtn", "FindLabel" and "FindCloseBtn".
    FindBar(const QString &prefix, QWidget *window, QWidget *parent);
    ~FindBar() override;

    void setTarget(const Target &target);
    // A bar in `row` over a terminal's log: its rows in the store since the log's last Clear,
    // laid out or not; a match is shown in the log.
    static FindBar *overLog(
        QWidget *window, QBoxLayout *row, CaptureStore *store, int terminal, LogView *log);
    // Shows the bar with its text selected.
    void open();
    void findNext();
    void findPrevious();
    // Searches again from the start: the rows changed under it.
    void restart();
    // Escape: stops a running search, or else closes the bar.
    void escape();

    HistorySearch *search() const { return searcher; }
    QLabel *label() const { return countLabel; }

signals:
    // A match was shown, or the bar closed (-1).
    void matchShown(qint64 key);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Q_DISABLE_COPY(FindBar)

    void step(bool forward);
    void onProgress(qint64 reached);
    void onFinished();
    // Shows the match of that index, with a note at a wrap.
    void showMatch(int index, const QString &note);

    QLineEdit *edit;
    QComboBox *mode;
    QPushButton *previous;
    QPushButton *next;
    QLabel *countLabel;
    HistorySearch *searcher;
    Target target;
    // The end of the rows when the search last set out.
    qint64 searchedEnd;
    // The match shown, or -1.
    qint64 shownKey;
    // A step asked for while the search was still running: 1 forward, -1 back, 0 none.
    int pendingStep;
};

#endif // FINDBAR_H
