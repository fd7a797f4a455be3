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
    const bool ok = send(block);
    if (!ok) {
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
    // The next slot after this one. Slots a stalled event loop missed are made up one at a
    // time, at most twice as fast as the schedule, so the count keeps to the clock without a
    // burst; after a stall of more than MaxBehind slots the oldest are dropped.
    const qint64 now = clock.nsecsElapsed();
    slot = qMax(slot + 1, now / intervalNs - MaxBehind);
    const qint64 waitNs = qMax(slot * intervalNs - now, intervalNs / 2);
    timer.start(int((waitNs + 999999) / 1000000));
}

void RepeatSender::finish(bool refused)
{
    running = false;
    timer.stop();
    emit stopped(refused);
}
