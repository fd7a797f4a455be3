#include "serial/repeatsender.h"

RepeatSender::RepeatSender(Send send, QObject *parent)
    : QObject(parent)
    , send(std::move(send))
{
    // A coarse timer may fire up to 5 % early or late; due times are computed from the clock.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &RepeatSender::sendDue);
}

void RepeatSender::start(const QByteArray &bytes, int intervalMs, int count)
{
    stop();
    block = bytes;
    intervalNs = qint64(qMax(1, intervalMs)) * 1000000;
    limit = qMax(0, count);
    sent = 0;
    slot = 0;
    running = true;
    emit sentCountChanged(sent);
    clock.start();
    sendDue();
}

void RepeatSender::stop()
{
    if (running)
        finish(false);
}

void RepeatSender::sendDue()
{
    if (!running)
        return;
    if (!send(block)) {
        finish(true);
        return;
    }
    ++sent;
    emit sentCountChanged(sent);
    if (!running)
        return;
    if (limit > 0 && sent >= limit) {
        finish(false);
        return;
    }
    // The next slot after this one; if the clock has run past it, this send was its catch-up
    // and the next one goes at the first slot still ahead.
    const qint64 now = clock.nsecsElapsed();
    slot = qMax(slot + 1, now / intervalNs + 1);
    const qint64 waitNs = slot * intervalNs - now;
    timer.start(int((waitNs + 999999) / 1000000));
}

void RepeatSender::finish(bool refused)
{
    running = false;
    timer.stop();
    emit stopped(refused);
}
