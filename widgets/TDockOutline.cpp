#include "TDockOutline.h"

#include <QPainter>

TDockOutline::TDockOutline()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TDockOutline::setOutline(const QRect &rect, int rings)
{
    m_rings = rings;
    setGeometry(rect);
    show();
    update();
}

// Alternate black and white pixels, so that the outline shows on any ground.
void TDockOutline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPen dots(Qt::black, 1, Qt::CustomDashLine);
    dots.setDashPattern({1, 1});
    for (int ring = 0; ring < m_rings; ++ring) {
        const QRect edge = rect().adjusted(ring, ring, -ring - 1, -ring - 1);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(edge);
        painter.setPen(dots);
        painter.drawRect(edge);
    }
}
