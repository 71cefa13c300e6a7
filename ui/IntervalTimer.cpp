#include "IntervalTimer.h"

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
