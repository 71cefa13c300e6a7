#include "CaptionDrag.h"

#include "XDesktop.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

void TCaptionDrag::press(const QMouseEvent *event, Qt::Edges edges, bool onCaption)
{
    end();
    m_edges = edges;
    m_pending = edges || onCaption;
    m_offset = event->globalPosition().toPoint() - m_form->pos();
    m_pressed = event->position().toPoint();
}

bool TCaptionDrag::move(const QMouseEvent *event)
{
    if (!m_pending && !m_following)
        return false;
    dragTo(event);
    return true;
}

void TCaptionDrag::dragTo(const QMouseEvent *event)
{
    if (m_following) {
        m_form->move(event->globalPosition().toPoint() - m_offset);
        return;
    }
    if ((event->position().toPoint() - m_pressed).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pending = false;
    // A release still on its way to us would reach no window manager that had taken the pointer
    // over: it would go on moving the window until the next click.
    QWindow *window = m_form->windowHandle();
    if (!window || !TXDesktop::leftButtonDown().value_or(true))
        return;
    if (m_edges) {
        window->startSystemResize(m_edges);
        return;
    }
    m_following = !window->startSystemMove();
    if (m_following)
        dragTo(event);
}
