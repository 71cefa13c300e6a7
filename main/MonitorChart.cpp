#include "MonitorChart.h"

#include <QDateTime>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace {
constexpr int LeftMargin = 44;
constexpr int TopMargin = 14;
constexpr int RightMargin = 6;
constexpr int BottomMargin = 14 + MonitorChart::LossLane;
constexpr int BandShare = 70;
const QColor AxisColour(128, 128, 128);
const QRgb Colours[] = {qRgb(0, 255, 0),   qRgb(0, 255, 255),   qRgb(255, 255, 0),  qRgb(255, 0, 255),
                        qRgb(255, 160, 0), qRgb(128, 128, 255), qRgb(255, 255, 255)};

QString timeText(int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString("dd/MM HH:mm");
}

QFont smallFont()
{
    QFont font("Arial");
    font.setPixelSize(9);
    return font;
}
} // namespace

MonitorChart::MonitorChart(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 80);
    render();
}

QColor MonitorChart::colourOf(size_t index)
{
    return QColor(Colours[index % std::size(Colours)]);
}

QColor MonitorChart::shadeOf(const QColor &colour)
{
    return QColor(colour.red() * BandShare / 255, colour.green() * BandShare / 255, colour.blue() * BandShare / 255);
}

void MonitorChart::setSeries(std::vector<Series> series, int64_t fromMs, int64_t toMs, int64_t periodMs)
{
    m_series = std::move(series);
    m_fromMs = fromMs;
    m_toMs = std::max(toMs, fromMs + 1);
    m_periodMs = std::max<int64_t>(periodMs, 1);
    uint32_t longest = 0;
    for (const Series &s : m_series)
        for (const HistoryFigures &period : s.periods)
            longest = std::max(longest, period.maxMs);
    m_scaleMs = roundScale(longest);
    render();
}

// 1, 2 or 5 times a power of ten, at least the longest time.
uint32_t MonitorChart::roundScale(uint32_t ms)
{
    for (uint32_t power = 1;; power *= 10)
        for (uint32_t step : {1u, 2u, 5u})
            if (step * power >= ms || power >= 1000000000u)
                return step * power;
}

QRect MonitorChart::plotArea() const
{
    return QRect(LeftMargin, TopMargin, std::max(1, width() - LeftMargin - RightMargin),
                 std::max(1, height() - TopMargin - BottomMargin));
}

int MonitorChart::xOf(int64_t ms) const
{
    const QRect plot = plotArea();
    return plot.left() + int((ms - m_fromMs) * plot.width() / (m_toMs - m_fromMs));
}

int MonitorChart::yOf(uint32_t rttMs) const
{
    const QRect plot = plotArea();
    return plot.bottom() - int(int64_t(std::min(rttMs, m_scaleMs)) * (plot.height() - 1) / m_scaleMs);
}

void MonitorChart::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    render();
}

void MonitorChart::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
}

void MonitorChart::render()
{
    m_image = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_image.fill(Qt::black);
    QPainter painter(&m_image);
    painter.setFont(smallFont());
    drawAxes(painter);
    painter.setClipRect(plotArea());
    for (size_t i = 0; i < m_series.size(); ++i)
        drawBand(painter, m_series[i], colourOf(i));
    for (size_t i = 0; i < m_series.size(); ++i)
        drawMedian(painter, m_series[i], colourOf(i));
    painter.setClipping(false);
    for (const Series &series : m_series)
        drawLoss(painter, series);
    drawLegend(painter);
    update();
}

void MonitorChart::drawAxes(QPainter &painter) const
{
    const QRect plot = plotArea();
    painter.setPen(AxisColour);
    painter.drawLine(plot.bottomLeft() + QPoint(-1, 1), plot.bottomRight() + QPoint(0, 1));
    painter.drawLine(plot.topLeft() - QPoint(1, 0), plot.bottomLeft() - QPoint(1, -1));
    painter.setPen(Qt::white);
    const QRect labels(0, plot.top() - 5, LeftMargin - 4, plot.height() + 10);
    painter.drawText(labels, Qt::AlignRight | Qt::AlignTop, QString::number(m_scaleMs) + " ms");
    painter.drawText(labels, Qt::AlignRight | Qt::AlignBottom, "0 ms");
    painter.setPen(AxisColour);
    const QRect times(plot.left(), plot.bottom() + LossLane + 2, plot.width(), height() - plot.bottom() - LossLane - 2);
    painter.drawText(times, Qt::AlignLeft | Qt::AlignVCenter, timeText(m_fromMs));
    painter.drawText(times, Qt::AlignRight | Qt::AlignVCenter, timeText(m_toMs));
}

// A dim shade of the machine's colour, opaque: a hundred machines' bands cost no blending, and the
// medians are drawn over all of them.
void MonitorChart::drawBand(QPainter &painter, const Series &series, const QColor &colour) const
{
    const QColor band = shadeOf(colour);
    for (const HistoryFigures &period : series.periods) {
        if (period.answered() == 0)
            continue;
        const int left = xOf(period.startMs);
        const int right = std::max(left, xOf(period.startMs + m_periodMs) - 1);
        painter.fillRect(QRect(QPoint(left, yOf(period.maxMs)), QPoint(right, yOf(period.minMs))), band);
    }
}

// A step for each period that had an answer, joined to the one before when they are neighbours.
void MonitorChart::drawMedian(QPainter &painter, const Series &series, const QColor &colour) const
{
    painter.setPen(colour);
    const HistoryFigures *previous = nullptr;
    for (const HistoryFigures &period : series.periods) {
        if (period.answered() == 0) {
            previous = nullptr;
            continue;
        }
        const int left = xOf(period.startMs);
        const int right = std::max(left, xOf(period.startMs + m_periodMs) - 1);
        const int y = yOf(period.medianMs);
        if (previous && previous->startMs + m_periodMs == period.startMs)
            painter.drawLine(left, yOf(previous->medianMs), left, y);
        painter.drawLine(left, y, right, y);
        previous = &period;
    }
}

// As tall as the share lost, and never less than a pixel's worth to be seen.
void MonitorChart::drawLoss(QPainter &painter, const Series &series) const
{
    const QRect plot = plotArea();
    const int bottom = plot.bottom() + 1 + LossLane;
    for (const HistoryFigures &period : series.periods) {
        if (period.lost == 0)
            continue;
        const int left = xOf(period.startMs);
        const int right = std::max(left, xOf(period.startMs + m_periodMs) - 1);
        const int height = std::max(2, int(period.loss() * (LossLane - 2)));
        painter.fillRect(QRect(QPoint(left, bottom - height + 1), QPoint(right, bottom)), QColor(LossColour));
    }
}

void MonitorChart::drawLegend(QPainter &painter) const
{
    int x = LeftMargin;
    for (size_t i = 0; i < m_series.size(); ++i) {
        painter.setPen(colourOf(i));
        const QString name = m_series[i].machine;
        painter.drawText(QPoint(x, TopMargin - 3), name);
        x += painter.fontMetrics().horizontalAdvance(name) + 10;
        if (x >= width())
            break;
    }
}
