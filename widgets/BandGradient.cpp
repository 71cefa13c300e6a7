#include "BandGradient.h"

#include <QPainter>

TBandGradient::TBandGradient(QObject *owner) : QObject(owner) {}

void TBandGradient::SetStartColor(TColor value)
{
    if (m_startColor == value)
        return;
    m_startColor = value;
    notifyChange();
}

void TBandGradient::SetEndColor(TColor value)
{
    if (m_endColor == value)
        return;
    m_endColor = value;
    notifyChange();
}

void TBandGradient::SetSteps(int value)
{
    if (m_steps == value || value < 1)
        return;
    m_steps = value;
    notifyChange();
}

void TBandGradient::notifyChange()
{
    m_table.clear();
    emit changed();
    if (OnChange)
        OnChange(this);
}

const std::vector<QRgb> &TBandGradient::colorTable()
{
    if (m_table.empty())
        buildTable();
    return m_table;
}

void TBandGradient::buildTable()
{
    const QColor start = toQColor(m_startColor);
    const QColor end = toQColor(m_endColor);
    const auto channel = [this](int from, int to, int index) {
        return from - truncInt(double(from - to) / m_steps * index);
    };
    m_table.resize(std::size_t(m_steps));
    for (int index = 0; index < m_steps; ++index)
        m_table[std::size_t(index)] =
            qRgb(channel(start.red(), end.red(), index), channel(start.green(), end.green(), index),
                 channel(start.blue(), end.blue(), index));
}

void TBandGradient::fillHorizontal(QPainter &canvas, const QRect &rect) { fillBands(canvas, rect, true); }

void TBandGradient::fillVertical(QPainter &canvas, const QRect &rect) { fillBands(canvas, rect, false); }

// Each band is one pixel wider than its step so that rounding never leaves a gap between bands;
// the last one is cut at the edge.
void TBandGradient::fillBands(QPainter &canvas, const QRect &rect, bool alongX)
{
    const std::vector<QRgb> &table = colorTable();
    const double step = double(alongX ? rect.width() : rect.height()) / m_steps;
    const int thickness = truncInt(step + 1);
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    for (int index = 0; index < m_steps; ++index) {
        const int offset = truncInt(index * step);
        const QRect band = alongX ? QRect(rect.left() + offset, rect.top(), thickness, rect.height())
                                  : QRect(rect.left(), rect.top() + offset, rect.width(), thickness);
        canvas.fillRect(band, QColor(table[std::size_t(index)]));
    }
    canvas.restore();
}
