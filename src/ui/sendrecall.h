#ifndef SENDRECALL_H
#define SENDRECALL_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QLineEdit;

// The blocks sent from one terminal, for Up and Down in its HEX and ASCII fields as in a shell:
// Up steps to older blocks, Down back to newer ones and finally to what was being typed. Return
// or Enter in either field finishes the edit and asks for a send.
class SendRecall : public QObject
{
    Q_OBJECT
public:
    static constexpr int Depth = 100;

    SendRecall(QLineEdit *hexEdit, QLineEdit *asciiEdit, QObject *parent);

    // A block was sent: it becomes the newest, once, however often it was sent before.
    void remember(const QByteArray &bytes);
    // Newest first.
    QList<QByteArray> blocks() const { return sent; }
    void older();
    void newer();

signals:
    void sendRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Q_DISABLE_COPY(SendRecall)

    void show(int position);

    QLineEdit *hexEdit;
    QLineEdit *asciiEdit;
    QList<QByteArray> sent;
    // The block shown, or -1 while the fields hold the operator's own text.
    int shown = -1;
    QString draftHex;
    QString draftAscii;
};

#endif // SENDRECALL_H
