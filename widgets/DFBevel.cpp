#include "DFBevel.h"

namespace {
constexpr int MaxSize = 5;
constexpr int OuterShade = -50;
constexpr int InnerShade = -120;
constexpr int Light = 64;
} // namespace

TDFBevel::TDFBevel(QObject *owner) : QObject(owner) {}

void TDFBevel::SetBevelType(TBevelType value)
{
    if (m_bevelType == value)
        return;
    m_bevelType = value;
    notifyChange();
}

void TDFBevel::SetSize(int value)
{
    if (m_size == value || value < 0 || value > MaxSize)
        return;
    m_size = value;
    notifyChange();
}

void TDFBevel::SetColor(TColor value)
{
    if (m_color == value)
        return;
    m_color = value;
    notifyChange();
}

void TDFBevel::Assign(const TDFBevel &source)
{
    m_bevelType = source.m_bevelType;
    m_size = source.m_size;
    m_color = source.m_color;
    notifyChange();
}

void TDFBevel::notifyChange()
{
    emit changed();
    if (OnChange)
        OnChange(this);
}

int TDFBevel::thickness() const
{
    switch (m_bevelType) {
    case btNone:
        return 0;
    case btWindows95:
        return 2;
    case btFlat3D:
    case btIE4Interactive:
    case bt2DRect:
        break;
    }
    return 1;
}

void TDFBevel::draw(QPainter &canvas, QRect &rect, bool active) const
{
    switch (m_bevelType) {
    case btNone:
        break;
    case btWindows95:
        drawRings(canvas, rect, shiftColor(m_color, OuterShade), shiftColor(m_color, Light), 1);
        drawRings(canvas, rect, shiftColor(m_color, InnerShade), toRgbColor(m_color), 1);
        break;
    case btIE4Interactive:
        if (!active) {
            rect.adjust(1, 1, -1, -1);
            break;
        }
        [[fallthrough]];
    case btFlat3D:
        drawRings(canvas, rect, shiftColor(m_color, OuterShade), shiftColor(m_color, Light), 1);
        break;
    case bt2DRect:
        drawRings(canvas, rect, m_color, m_color, 1);
        break;
    }
}
