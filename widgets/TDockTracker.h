#pragma once
#include "DockTypes.h"

#include <QPoint>
#include <QRect>
#include <memory>
#include <optional>

class TDockOutline;
class ToxDockBar;

// A drag of a dock bar with the mouse: it starts once the mouse leaves the double-click box
// around the press, shows the docked shape over a dock zone of the bar's window and the floating
// shape elsewhere, and on release docks the bar in the zone or floats it at the outline.
class TDockTracker {
public:
    explicit TDockTracker(ToxDockBar &bar);
    ~TDockTracker();

    // The zone of a window (screen coordinates) that a point lies in; zones that options do not
    // allow do not count.
    static std::optional<TDockAlign> zoneAt(const QRect &window, const QPoint &point, ToxDockOptions options);

    void press(const QPoint &global);
    void move(const QPoint &global);
    void release(const QPoint &global);
    bool dragging() const { return m_started; }
    QRect outline() const { return m_outlineRect; }

private:
    QRect dockedShape(TDockAlign edge) const;
    QRect floatingShape(const QPoint &global) const;
    void showOutline(const QRect &rect, int rings);
    void finish();

    ToxDockBar &m_bar;
    bool m_pressed = false;
    bool m_started = false;
    QPoint m_pressPoint;
    QPoint m_grabOffset;
    std::optional<TDockAlign> m_zone;
    QRect m_outlineRect;
    std::unique_ptr<TDockOutline> m_outline;
};
