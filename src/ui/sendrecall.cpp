#include "ui/sendrecall.h"

#include "ui/bytefields.h"

#include <QKeyEvent>
#include <QLineEdit>

SendRecall::SendRecall(QLineEdit *hexEdit, QLineEdit *asciiEdit, QObject *parent)
    : QObject(parent)
    , hexEdit(hexEdit)
    , asciiEdit(asciiEdit)
{
    for (QLineEdit *field : { hexEdit, asciiEdit }) {
        field->installEventFilter(this);
        // Typing over a recalled block makes it the operator's own text again.
        connect(field, &QLineEdit::textEdited, this, [this] { shown = -1; });
    }
}

void SendRecall::remember(const QByteArray &bytes)
{
    sent.removeAll(bytes);
    sent.prepend(bytes);
    while (sent.size() > Depth)
        sent.removeLast();
    shown = -1;
}

void SendRecall::older()
{
    if (shown + 1 >= sent.size())
        return;
    if (shown < 0) {
        draftHex = hexEdit->text();
        draftAscii = asciiEdit->text();
    }
    show(shown + 1);
}

void SendRecall::newer()
{
    if (shown < 0)
        return;
    show(shown - 1);
}

void SendRecall::show(int position)
{
    shown = position;
    if (position >= 0) {
        showBytes(hexEdit, asciiEdit, sent.at(position));
    } else {
        hexEdit->setText(draftHex);
        asciiEdit->setText(draftAscii);
    }
}

bool SendRecall::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QObject::eventFilter(watched, event);
    switch (key->key()) {
    case Qt::Key_Up:
        older();
        return true;
    case Qt::Key_Down:
        newer();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Both fields in step first, so what goes is what the operator sees.
        if (watched == asciiEdit)
            finishAsciiEdit(hexEdit, asciiEdit);
        else
            finishHexEdit(hexEdit, asciiEdit);
        emit sendRequested();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
