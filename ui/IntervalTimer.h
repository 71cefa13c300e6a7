#pragma once
#include <QTimer>

// A timer of the windows' designs: switched on and off apart from its interval. An interval of 0
// (or less) keeps it switched on without any tick, never a busy loop, until another interval is set.
// A tick that comes while an echo is awaited comes once the echo ends, as it would after a wait that
// blocked, so that a tick never starts an echo inside another.
class IntervalTimer : public QTimer {
    Q_OBJECT
public:
    explicit IntervalTimer(int interval, QObject *parent = nullptr);

    bool Enabled() const { return isActive() || m_waiting; }
    void SetEnabled(bool value);
    // A running timer starts its interval again from now.
    void SetInterval(int ms);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void tickHeld();

    bool m_waiting = false; // switched on, with no interval to tick at
    bool m_tickHeld = false;
};
