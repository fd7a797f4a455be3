#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

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
    QStringList titles() const { return m_titles; }
    int count() const { return m_texts.size(); }
    void clear();
    // Boxes open at the same moment, at most; above 1 means boxes were stacked.
    int deepestStack() const { return m_deepest; }

signals:
    void caught(const QString &text);

private:
    void poll();

    QTimer m_timer;
    QStringList m_texts;
    QStringList m_titles;
    int m_deepest = 0;
};

#endif // MESSAGEBOXCATCHER_H
