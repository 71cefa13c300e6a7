#include "ScreenCentre.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {
// Null while the window system has not told it yet.
QMargins frameOf(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The frame the window system gives this window, or one it gave another window of the kind.
QMargins expectedFrame(const QWidget *window)
{
    const QMargins own = frameOf(window);
    if (!own.isNull() || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return own;
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other != window && !other->windowFlags().testFlag(Qt::FramelessWindowHint) && !frameOf(other).isNull())
            return frameOf(other);
    return {};
}
} // namespace

TScreenCentre::TScreenCentre(QWidget *window, QSize outerSize)
    : QObject(window), m_window(window), m_outerSize(outerSize)
{
    window->installEventFilter(this);
}

void TScreenCentre::keepCentred(QWidget *window, QSize outerSize)
{
    new TScreenCentre(window, outerSize);
}

QPoint TScreenCentre::centredFrameOrigin(const QWidget *window, const QMargins &frame)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen->availableGeometry();
    const QSize outer = window->size().grownBy(frame);
    return room.topLeft() + QPoint((room.width() - outer.width()) / 2, (room.height() - outer.height()) / 2);
}

// The frame's size shows only once the window system has framed the window: right after the
// window is shown, or when it moves or is activated; a frame other than the one expected places
// the window again.
bool TScreenCentre::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        m_frame = expectedFrame(m_window);
        place();
        // A window may still settle its size as it is shown.
        QTimer::singleShot(0, this, [this] {
            if (m_window->size() != m_placedSize)
                place();
            framed();
        });
        break;
    case QEvent::Move:
    case QEvent::WindowActivate: framed(); break;
    default: break;
    }
    return false;
}

void TScreenCentre::framed()
{
    const QMargins frame = frameOf(m_window);
    if (!m_window->isVisible() || frame.isNull() || frame == m_frame)
        return;
    m_frame = frame;
    place();
}

void TScreenCentre::place()
{
    if (m_outerSize.isValid())
        m_window->resize(m_outerSize.shrunkBy(m_frame));
    m_placedSize = m_window->size();
    // Qt places a window's frame once it knows the frame; until then it places the client area.
    const QPoint origin = centredFrameOrigin(m_window, m_frame);
    m_window->move(frameOf(m_window).isNull() ? origin + QPoint(m_frame.left(), m_frame.top()) : origin);
}
