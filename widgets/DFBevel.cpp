#include "DFBevel.h"

namespace {
constexpr int MaxSize = 5;
constexpr int OuterShade = -50;
constexpr int InnerShade = -120;
constexpr int Light = 64;
} // namespace

TDFBevel::TDFBevel(QObject *owner) : ChangeNotifier(owner) {}

void TDFBevel::SetBevelType(TBevelType value)
{
    assignField(m_bevelType, value);
}

void TDFBevel::SetSize(int value)
{
    if (value >= 0 && value <= MaxSize)
        assignField(m_size, value);
}

void TDFBevel::SetColor(TColor value)
{
    assignField(m_color, value);
}

void TDFBevel::Assign(const TDFBevel &source)
{
    m_bevelType = source.m_bevelType;
    m_size = source.m_size;
    m_color = source.m_color;
    notifyChange();
}

int TDFBevel::thickness() const
{
    switch (m_bevelType) {
    case btNone: return 0;
    case btWindows95: return 2;
    case btFlat3D:
    case btIE4Interactive:
    case bt2DRect: break;
    }
    return 1;
}

void TDFBevel::draw(QPainter &canvas, QRect &rect, bool active) const
{
    switch (m_bevelType) {
    case btNone: break;
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
    case btFlat3D: drawRings(canvas, rect, shiftColor(m_color, OuterShade), shiftColor(m_color, Light), 1); break;
    case bt2DRect: drawRings(canvas, rect, m_color, m_color, 1); break;
    }
}
