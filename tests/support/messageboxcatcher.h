#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Dismisses real modal message boxes the way a person would: finds the active box, records its
// title and text, and clicks its OK button. Counts how many appeared while it was alive.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxCatcher(QObject *parent = nullptr);

    QStringList texts() const { return m_texts; }
    // Questions whether unsaved work may go (boxes with a Discard button) are answered, not
    // counted with the messages: with the button of this role, Discard unless set otherwise.
    void answerQuestionsWith(QMessageBox::StandardButton answer) { m_answer = answer; }
    int questions() const { return m_questions; }
    QStringList titles() const { return m_titles; }
    int count() const { return m_texts.size(); }
    void clear();
    // Boxes open at the same moment, at most; above 1 means boxes were stacked.
    int deepestStack() const { return m_deepest; }

signals:
    // Emitted while the box is still open, just before it is accepted; a receiver connected
    // directly may act while the box is shown.
    void aboutToAccept(const QString &text);
    void caught(const QString &text);

private:
    void poll();

    QTimer m_timer;
    QStringList m_texts;
    QStringList m_titles;
    int m_deepest = 0;
    QMessageBox::StandardButton m_answer = QMessageBox::Discard;
    int m_questions = 0;
    // Set while a box is being handled, so a receiver of aboutToAccept may spin the event loop.
    bool m_busy = false;
};

#endif // MESSAGEBOXCATCHER_H
