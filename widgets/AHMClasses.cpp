#include "AHMClasses.h"

#include <QWidget>

TAHMFrame::TAHMFrame(QObject *owner) : QObject(owner) {}

template <typename T> void TAHMFrame::assignField(T &field, T value)
{
    if (field == value)
        return;
    field = value;
    notifyChange();
}

void TAHMFrame::SetFrameStyle(TAHMFrameStyle value)
{
    assignField(m_frameStyle, value);
}

void TAHMFrame::SetHighlight(TColor value)
{
    assignField(m_highlight, value);
}

void TAHMFrame::SetShadow(TColor value)
{
    assignField(m_shadow, value);
}

void TAHMFrame::SetOffset(int value)
{
    if (value >= 0)
        assignField(m_offset, value);
}

void TAHMFrame::SetSolid(TColor value)
{
    assignField(m_solid, value);
}

void TAHMFrame::SetFrameWidth(int value)
{
    if (value > 0)
        assignField(m_frameWidth, value);
}

void TAHMFrame::Assign(const TAHMFrame &source)
{
    m_frameStyle = source.m_frameStyle;
    m_highlight = source.m_highlight;
    m_shadow = source.m_shadow;
    m_offset = source.m_offset;
    m_solid = source.m_solid;
    m_frameWidth = source.m_frameWidth;
    notifyChange();
}

void TAHMFrame::notifyChange()
{
    if (auto *control = qobject_cast<QWidget *>(parent()))
        control->update();
    if (OnChange)
        OnChange(this);
}

void TAHMFrame::draw(QPainter &canvas, QRect &rect) const
{
    const int width = m_frameWidth;
    switch (m_frameStyle) {
    case frameSolid: drawRings(canvas, rect, m_solid, m_solid, width); break;
    case frameRaised: drawRings(canvas, rect, m_highlight, m_shadow, width); break;
    case frameLowered: drawRings(canvas, rect, m_shadow, m_highlight, width); break;
    case frameNone: break;
    case frameFramedUp:
        drawRings(canvas, rect, m_highlight, m_shadow, width);
        rect.adjust(m_offset, m_offset, -m_offset, -m_offset);
        drawRings(canvas, rect, m_shadow, m_highlight, width);
        break;
    case frameFramedDown:
        drawRings(canvas, rect, m_shadow, m_highlight, width);
        rect.adjust(m_offset, m_offset, -m_offset, -m_offset);
        drawRings(canvas, rect, m_highlight, m_shadow, width);
        break;
    case framePanelUp:
        drawRings(canvas, rect, m_highlight, colorBlack, width);
        drawRings(canvas, rect, colorNone, m_shadow, width);
        break;
    case framePanelDown:
        drawRings(canvas, rect, m_shadow, colorNone, width);
        drawRings(canvas, rect, colorBlack, m_highlight, width);
        break;
    case frameLightBordered:
        drawRings(canvas, rect, colorNone, m_shadow, width);
        drawRings(canvas, rect, m_highlight, m_highlight, width);
        break;
    }
}
