#include "AHMBrushFill.h"

#include <QPainter>

namespace {

Qt::BrushStyle qtStyle(TBrushStyle style)
{
    switch (style) {
    case bsSolid:
        return Qt::SolidPattern;
    case bsClear:
        return Qt::NoBrush;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

} // namespace

TAHMBrushFill::TAHMBrushFill(QObject *owner) : QObject(owner) {}

void TAHMBrushFill::SetBrushStyle(TBrushStyle value)
{
    if (m_brushStyle == value)
        return;
    m_brushStyle = value;
    notifyChange();
}

void TAHMBrushFill::SetBrushColor(TColor value)
{
    if (m_brushColor == value)
        return;
    m_brushColor = value;
    notifyChange();
}

void TAHMBrushFill::Assign(const TAHMBrushFill &source)
{
    m_brushStyle = source.m_brushStyle;
    m_brushColor = source.m_brushColor;
    notifyChange();
}

void TAHMBrushFill::notifyChange()
{
    emit changed();
    if (OnChange)
        OnChange(this);
}

void TAHMBrushFill::paint(QPainter &canvas, int width, int height, TColor ground) const
{
    const QRect area(0, 0, width, height);
    if (!isNoColor(ground))
        canvas.fillRect(area, toQColor(ground));
    if (!isNoColor(m_brushColor))
        canvas.fillRect(area, QBrush(toQColor(m_brushColor), qtStyle(m_brushStyle)));
}
