#include "IntervalTimer.h"

#include "ping/EchoWait.h"

#include <QTimerEvent>
#include <algorithm>

// Precise, so that a walk at a short interval keeps its pace.
IntervalTimer::IntervalTimer(int interval, QObject *parent) : QTimer(parent)
{
    setTimerType(Qt::PreciseTimer);
    setInterval(std::max(interval, 0));
}

void IntervalTimer::SetEnabled(bool value)
{
    m_waiting = value && interval() == 0;
    if (value && !m_waiting)
        start();
    else
        stop();
}

void IntervalTimer::SetInterval(int ms)
{
    const bool enabled = Enabled();
    setInterval(std::max(ms, 0));
    SetEnabled(enabled);
}

// The ticks missed during one echo are one tick, as a blocked wait makes them.
void IntervalTimer::timerEvent(QTimerEvent *event)
{
    if (!EchoWait::active())
        return QTimer::timerEvent(event);
    if (m_tickHeld)
        return;
    m_tickHeld = true;
    EchoWait::afterwards(this, [this] { tickHeld(); });
}

// A timer switched off meanwhile ticks no more.
void IntervalTimer::tickHeld()
{
    m_tickHeld = false;
    if (!isActive())
        return;
    QTimerEvent tick(timerId());
    QTimer::timerEvent(&tick);
}
