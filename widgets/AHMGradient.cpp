#include "AHMGradient.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

QColor parseColor(const QString &text)
{
    bool isNumber = false;
    const uint value = text.trimmed().toUInt(&isNumber, 0);
    if (isNumber)
        return toQColor(TColor(value));
    return QColor::fromString(text.trimmed());
}

double ratio(double value, double range)
{
    return range > 0 ? std::clamp(value / range, 0.0, 1.0) : 0.0;
}

// The triangle wave that rises from 0 at the edges to 1 in the middle of the range, repeated
// 'peaks' times.
double crest(double value, double range, int peaks)
{
    const double phase = std::fmod(ratio(value, range) * peaks, 1.0);
    return 1.0 - std::abs(2.0 * phase - 1.0);
}

// Where pixel (x, y) lies on the way from the first step (0) to the last (1).
double position(TFillStyle style, int x, int y, int width, int height)
{
    const double w = width - 1;
    const double h = height - 1;
    const double dx = x - w / 2;
    const double dy = y - h / 2;
    switch (style) {
    case TFillStyle::Circle: return ratio(std::hypot(dx, dy), std::hypot(w / 2, h / 2));
    case TFillStyle::Horizontal: return ratio(y, h);
    case TFillStyle::Vertical:
    case TFillStyle::Spectral: return ratio(x, w);
    case TFillStyle::LeftBottom: return ratio(w - x + y, w + h);
    case TFillStyle::RoundMiddle:
        return 1.0 - std::min(1.0, std::hypot(ratio(std::abs(dx), w / 2), ratio(std::abs(dy), h / 2)));
    case TFillStyle::SquareMiddle: return 1.0 - std::max(ratio(std::abs(dx), w / 2), ratio(std::abs(dy), h / 2));
    case TFillStyle::DoppelFlash: return crest(x + y, w + h, 2);
    case TFillStyle::Singleflash: return crest(x + y, w + h, 1);
    case TFillStyle::MiddleHBar: return crest(y, h, 1);
    case TFillStyle::MiddleVBar: return crest(x, w, 1);
    case TFillStyle::VerticalDoppelBar: return crest(x, w, 2);
    case TFillStyle::HorizontalDoppelBar: return crest(y, h, 2);
    }
    return 0.0;
}

QRgb blend(const QColor &from, const QColor &to, double t)
{
    const auto channel = [t](int a, int b) { return clampByte(a + (b - a) * t); };
    return qRgb(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

} // namespace

TAHMGradient::TAHMGradient(QObject *owner) : ChangeNotifier(owner) {}

void TAHMGradient::SetFillStyle(TFillStyle value)
{
    assignField(m_fillStyle, value);
}

void TAHMGradient::SetBeginColor(TColor value)
{
    assignField(m_beginColor, value);
}

void TAHMGradient::SetEndColor(TColor value)
{
    assignField(m_endColor, value);
}

void TAHMGradient::SetNoOfColors(int value)
{
    if (value >= 2 && value <= 255)
        assignField(m_noOfColors, value);
}

void TAHMGradient::SetColorsInbetween(const QStringList &value)
{
    assignField(m_colorsInbetween, value);
}

void TAHMGradient::Assign(const TAHMGradient &source)
{
    m_fillStyle = source.m_fillStyle;
    m_beginColor = source.m_beginColor;
    m_endColor = source.m_endColor;
    m_noOfColors = source.m_noOfColors;
    m_colorsInbetween = source.m_colorsInbetween;
    notifyChange();
}

std::vector<QColor> TAHMGradient::stops() const
{
    std::vector<QColor> result{toQColor(m_beginColor)};
    for (const QString &text : m_colorsInbetween) {
        const QColor color = parseColor(text);
        if (color.isValid())
            result.push_back(color);
    }
    result.push_back(toQColor(m_endColor));
    return result;
}

// The NoOfColors colours of the fill, evenly spread over the stops.
std::vector<QRgb> TAHMGradient::steps(TColor solidColor) const
{
    const std::vector<QColor> colorStops = stops();
    const int segments = int(colorStops.size()) - 1;
    std::vector<QRgb> result;
    for (int step = 0; step < m_noOfColors; ++step) {
        const double along = double(step) / (m_noOfColors - 1) * segments;
        const int segment = std::min(int(along), segments - 1);
        if (m_fillStyle == TFillStyle::Spectral)
            result.push_back(QColor::fromHsvF(float(step) / m_noOfColors, 1.0f, 1.0f).rgb());
        else
            result.push_back(
                blend(colorStops[std::size_t(segment)], colorStops[std::size_t(segment) + 1], along - segment));
    }
    const bool flash = m_fillStyle == TFillStyle::DoppelFlash || m_fillStyle == TFillStyle::Singleflash;
    if (flash && !isNoColor(solidColor))
        result.back() = toQColor(solidColor).rgb();
    return result;
}

void TAHMGradient::paint(QPainter &canvas, int width, int height, TColor solidColor) const
{
    if (width <= 0 || height <= 0)
        return;
    const std::vector<QRgb> colors = steps(solidColor);
    QImage fill(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(fill.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int step = int(position(m_fillStyle, x, y, width, height) * m_noOfColors);
            line[x] = colors[std::size_t(std::min(step, m_noOfColors - 1))];
        }
    }
    canvas.drawImage(0, 0, fill);
}
