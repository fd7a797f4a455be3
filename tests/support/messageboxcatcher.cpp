#include "messageboxcatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>

MessageBoxCatcher::MessageBoxCatcher(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    m_timer.start(5);
}

void MessageBoxCatcher::clear()
{
    m_texts.clear();
    m_titles.clear();
    m_questions = 0;
    m_deepest = 0;
}

void MessageBoxCatcher::poll()
{
    int visible = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && !box->button(QMessageBox::Discard))
            ++visible;
    }
    m_deepest = qMax(m_deepest, visible);

    if (m_busy)
        return;
    QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    if (box->button(QMessageBox::Discard)) {
        ++m_questions;
        box->button(m_answer)->click();
        return;
    }
    m_texts.append(box->text());
    m_titles.append(box->windowTitle());
    const QString text = box->text();
    m_busy = true;
    emit aboutToAccept(text);
    m_busy = false;
    if (!box)
        return;
    QAbstractButton *ok = box->button(QMessageBox::Ok);
    if (ok)
        ok->click();
    else
        box->accept();
    emit caught(text);
}
