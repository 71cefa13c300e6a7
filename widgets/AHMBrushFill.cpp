#include "AHMBrushFill.h"

#include <QPainter>

namespace {

Qt::BrushStyle qtStyle(TBrushStyle style)
{
    switch (style) {
    case bsSolid: return Qt::SolidPattern;
    case bsClear: return Qt::NoBrush;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

} // namespace

TAHMBrushFill::TAHMBrushFill(QObject *owner) : ChangeNotifier(owner) {}

void TAHMBrushFill::SetBrushStyle(TBrushStyle value)
{
    assignField(m_brushStyle, value);
}

void TAHMBrushFill::SetBrushColor(TColor value)
{
    assignField(m_brushColor, value);
}

void TAHMBrushFill::Assign(const TAHMBrushFill &source)
{
    m_brushStyle = source.m_brushStyle;
    m_brushColor = source.m_brushColor;
    notifyChange();
}

void TAHMBrushFill::paint(QPainter &canvas, int width, int height, TColor ground) const
{
    const QRect area(0, 0, width, height);
    if (!isNoColor(ground))
        canvas.fillRect(area, toQColor(ground));
    if (!isNoColor(m_brushColor))
        canvas.fillRect(area, QBrush(toQColor(m_brushColor), qtStyle(m_brushStyle)));
}
