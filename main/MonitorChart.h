#pragma once
#include "history/HistoryFigures.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

// The round-trip times of the machines chosen on the Monitor, on the page's black: for each period
// the spread from the shortest to the longest time as a dim band, the median as a line in the
// machine's colour, and the share of requests lost as a red mark under the plot. Drawn into a cached
// image when something changes; painting only copies it.
class MonitorChart : public QWidget {
public:
    struct Series {
        QString machine;
        std::vector<HistoryFigures> periods; // in time order
    };
    static constexpr QRgb LossColour = qRgb(255, 0, 0);
    static constexpr int LossLane = 12;

    explicit MonitorChart(QWidget *parent = nullptr);

    void setSeries(std::vector<Series> series, int64_t fromMs, int64_t toMs, int64_t periodMs);
    const QImage &image() const { return m_image; }

    // The n-th machine's colour: never the loss marks' red.
    static QColor colourOf(size_t index);
    // The band's dim shade of a machine's colour.
    static QColor shadeOf(const QColor &colour);
    QRect plotArea() const;
    // The column of a time, the row of a round-trip time, as last drawn.
    int xOf(int64_t ms) const;
    int yOf(uint32_t rttMs) const;
    uint32_t scaleMs() const { return m_scaleMs; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    void drawAxes(QPainter &painter) const;
    void drawBand(QPainter &painter, const Series &series, const QColor &colour) const;
    void drawMedian(QPainter &painter, const Series &series, const QColor &colour) const;
    void drawLoss(QPainter &painter, const Series &series) const;
    void drawLegend(QPainter &painter) const;
    static uint32_t roundScale(uint32_t ms);

    std::vector<Series> m_series;
    int64_t m_fromMs = 0;
    int64_t m_toMs = 1;
    int64_t m_periodMs = 1;
    uint32_t m_scaleMs = 1;
    QImage m_image;
};
