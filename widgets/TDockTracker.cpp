#include "TDockTracker.h"

#include "TDockForm.h"
#include "TDockOutline.h"
#include "oxDockBr.h"

#include <QGuiApplication>
#include <algorithm>

namespace {
// The double-click box is 4 pixels square around the press point.
constexpr int DoubleClickHalf = 2;
// Zones, measured from the window's edges.
constexpr int ZoneBelowTop = 25;
constexpr int TopZoneEnd = 60;
constexpr int EdgeZone = 35;
constexpr int FloatingRings = 3;
} // namespace

TDockTracker::TDockTracker(ToxDockBar &bar) : m_bar(bar) {}

TDockTracker::~TDockTracker()
{
    if (m_started)
        QGuiApplication::restoreOverrideCursor();
}

std::optional<TDockAlign> TDockTracker::zoneAt(const QRect &window, const QPoint &point, ToxDockOptions options)
{
    if (!window.contains(point))
        return std::nullopt;
    const int belowTop = point.y() - window.top();
    if (options & opAllowTopBtmDock) {
        if (belowTop >= ZoneBelowTop && belowTop < TopZoneEnd)
            return dkTop;
        if (point.y() > window.bottom() - EdgeZone)
            return dkBottom;
    }
    if ((options & opAllowSideDock) && belowTop >= ZoneBelowTop) {
        if (point.x() < window.left() + EdgeZone)
            return dkLeft;
        if (point.x() > window.right() - EdgeZone)
            return dkRight;
    }
    return std::nullopt;
}

void TDockTracker::press(const QPoint &global)
{
    m_pressed = true;
    m_pressPoint = global;
    const QWidget *moved = m_bar.Dock() == dkFloat && m_bar.dockForm() ? static_cast<QWidget *>(m_bar.dockForm())
                                                                       : static_cast<QWidget *>(&m_bar);
    m_grabOffset = global - moved->mapToGlobal(QPoint(0, 0));
}

void TDockTracker::move(const QPoint &global)
{
    if (!m_pressed)
        return;
    if (!m_started) {
        const QPoint moved = global - m_pressPoint;
        if (qAbs(moved.x()) <= DoubleClickHalf && qAbs(moved.y()) <= DoubleClickHalf)
            return;
        m_started = true;
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const QWidget *site = m_bar.site();
    m_zone = site ? zoneAt(site->window()->frameGeometry(), global, m_bar.Options()) : std::nullopt;
    if (m_zone)
        showOutline(dockedShape(*m_zone), 1);
    else if (m_bar.Options() & opAllowFloat)
        showOutline(floatingShape(global), FloatingRings);
    else
        showOutline(QRect(), 0);
    QGuiApplication::changeOverrideCursor(m_zone ? Qt::DragMoveCursor : Qt::ArrowCursor);
}

void TDockTracker::release(const QPoint &global)
{
    if (!m_pressed)
        return;
    move(global);
    const bool started = m_started;
    const std::optional<TDockAlign> zone = m_zone;
    const QRect outline = m_outlineRect;
    finish();
    if (!started)
        return;
    if (zone)
        m_bar.SetDock(*zone);
    else if (!outline.isEmpty())
        m_bar.floatAt(outline.topLeft());
}

// Docked shapes sit on the edge of the site that the bar would dock along.
QRect TDockTracker::dockedShape(TDockAlign edge) const
{
    const QWidget *site = m_bar.site();
    const QRect room(site->mapToGlobal(QPoint(0, 0)), site->size());
    const int extent = std::max(1, m_bar.edgeExtent(edge));
    switch (edge) {
    case dkTop: return QRect(room.left(), room.top(), room.width(), extent);
    case dkBottom: return QRect(room.left(), room.bottom() + 1 - extent, room.width(), extent);
    case dkLeft: return QRect(room.left(), room.top(), extent, room.height());
    case dkRight: return QRect(room.right() + 1 - extent, room.top(), extent, room.height());
    case dkFloat: break;
    }
    return QRect();
}

// The floating window's shape, held where the mouse took hold of the bar.
QRect TDockTracker::floatingShape(const QPoint &global) const
{
    const QSize size = m_bar.floatingSize();
    const QPoint grab(std::clamp(m_grabOffset.x(), 0, std::max(0, size.width() - 1)),
                      std::clamp(m_grabOffset.y(), 0, std::max(0, size.height() - 1)));
    return QRect(global - grab, size);
}

void TDockTracker::showOutline(const QRect &rect, int rings)
{
    m_outlineRect = rect;
    if (rect.isEmpty()) {
        m_outline.reset();
        return;
    }
    if (!m_outline)
        m_outline = std::make_unique<TDockOutline>();
    m_outline->setOutline(rect, rings);
}

void TDockTracker::finish()
{
    if (m_started)
        QGuiApplication::restoreOverrideCursor();
    m_pressed = false;
    m_started = false;
    m_zone.reset();
    m_outlineRect = QRect();
    m_outline.reset();
}
