#include "BandGradient.h"

#include <QPainter>

TBandGradient::TBandGradient(QObject *owner) : ChangeNotifier(owner) {}

void TBandGradient::SetStartColor(TColor value)
{
    assignField(m_startColor, value);
}

void TBandGradient::SetEndColor(TColor value)
{
    assignField(m_endColor, value);
}

void TBandGradient::SetSteps(int value)
{
    if (value >= 1)
        assignField(m_steps, value);
}

// The table goes before anyone hears of the change, so that whoever draws again builds a new one.
void TBandGradient::notifyChange()
{
    m_table.clear();
    ChangeNotifier::notifyChange();
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

void TBandGradient::fillHorizontal(QPainter &canvas, const QRect &rect)
{
    fillBands(canvas, rect, true);
}

void TBandGradient::fillVertical(QPainter &canvas, const QRect &rect)
{
    fillBands(canvas, rect, false);
}

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
