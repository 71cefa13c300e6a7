#include "Gradient.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// The line gradient paints one strip of this thickness and copies it across the area, so the
// colour arithmetic runs once per band, not once per pixel.
constexpr int StripThickness = 8;

struct Rgb {
    double red, green, blue;
};

Rgb components(TColor color)
{
    const QColor resolved = toQColor(color);
    return {double(resolved.red()), double(resolved.green()), double(resolved.blue())};
}

QImage lineStrip(const std::vector<QRgb> &colors, int lineSize, int length, bool alongX)
{
    std::vector<QRgb> line(std::size_t(length), 0);
    for (std::size_t band = 0; band < colors.size(); ++band) {
        const int start = int(band) * lineSize;
        const int end = std::min(start + lineSize, length);
        for (int pos = start; pos < end; ++pos)
            line[std::size_t(pos)] = colors[band];
    }
    QImage strip(alongX ? length : StripThickness, alongX ? StripThickness : length, QImage::Format_RGB32);
    for (int row = 0; row < strip.height(); ++row) {
        auto *pixels = reinterpret_cast<QRgb *>(strip.scanLine(row));
        if (alongX)
            std::copy(line.begin(), line.end(), pixels);
        else
            std::fill(pixels, pixels + StripThickness, line[std::size_t(row)]);
    }
    return strip;
}

} // namespace

TGradient::TGradient(QObject *owner) : ChangeNotifier(owner) {}

void TGradient::SetGradientStyle(TGradientStyle value)
{
    assignField(m_style, value);
}

void TGradient::SetLineSize(int value)
{
    assignField(m_lineSize, value);
}

void TGradient::SetColorCount(TColorCount value)
{
    assignField(m_colorCount, value);
}

void TGradient::SetLineDirection(TLineDirection value)
{
    assignField(m_direction, value);
}

void TGradient::setStop(int index, TColor value)
{
    assignField(m_stops[std::size_t(index)], value);
}

void TGradient::Assign(const TGradient &source)
{
    m_style = source.m_style;
    m_lineSize = source.m_lineSize;
    m_stops = source.m_stops;
    m_colorCount = source.m_colorCount;
    m_direction = source.m_direction;
    notifyChange();
}

int TGradient::effectiveLineSize() const
{
    return std::max(m_lineSize, 1);
}

int TGradient::effectiveColorCount() const
{
    return m_colorCount < 1 ? 3 : std::min(m_colorCount, 4);
}

std::vector<QRgb> TGradient::bandColors(int length) const
{
    const int count = effectiveColorCount();
    const int lineSize = effectiveLineSize();
    // A strip shorter than the number of transitions would have no room for a transition at all;
    // let each one take a pixel.
    const int segment = std::max(length / count, 1);
    std::array<Rgb, 5> stops;
    std::transform(m_stops.begin(), m_stops.end(), stops.begin(), components);

    Rgb current = stops[0];
    std::size_t from = 0;
    std::size_t to = count == 1 ? 0 : 1;
    int boundary = segment;
    int transition = 1;
    std::vector<QRgb> colors;
    for (int pos = 0; pos <= length;) {
        colors.push_back(qRgb(clampByte(current.red), clampByte(current.green), clampByte(current.blue)));
        pos += lineSize;
        // The step belongs to the transition the band was in, so each transition ends exactly on
        // its stop colour: with blue, navy, black over 241 pixels, column 120 is navy and column
        // 240 black.
        current.red += (stops[to].red - stops[from].red) / segment * lineSize;
        current.green += (stops[to].green - stops[from].green) / segment * lineSize;
        current.blue += (stops[to].blue - stops[from].blue) / segment * lineSize;
        if (boundary <= pos) {
            boundary += segment;
            from = to;
            transition = std::min(transition + 1, count);
            to = std::size_t(transition);
        }
    }
    return colors;
}

void TGradient::paint(QPainter &canvas, const QRect &rect)
{
    if (rect.isEmpty())
        return;
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    switch (m_style) {
    case gsLine: paintLine(canvas, rect); break;
    case gsEllipse: paintEllipses(canvas, rect); break;
    case gsRect:
    case gsCustomRect: paintRects(canvas, rect); break;
    }
    canvas.restore();
}

void TGradient::paintLine(QPainter &canvas, const QRect &rect) const
{
    const bool alongX = m_direction == diVertical;
    const int length = alongX ? rect.width() : rect.height();
    const QImage strip = lineStrip(bandColors(length), effectiveLineSize(), length, alongX);
    if (alongX) {
        for (int y = rect.top(); y <= rect.bottom(); y += StripThickness)
            canvas.drawImage(rect.left(), y, strip);
    } else {
        for (int x = rect.left(); x <= rect.right(); x += StripThickness)
            canvas.drawImage(x, rect.top(), strip);
    }
}

// Concentric rectangles, one band thick each, from the outer edge in.
void TGradient::paintRects(QPainter &canvas, const QRect &rect)
{
    const int lineSize = effectiveLineSize();
    const std::vector<QRgb> colors = bandColors(std::min(rect.width(), rect.height()) / 2);
    for (std::size_t band = 0; band < colors.size(); ++band) {
        const int inset = int(band) * lineSize;
        const QRect ring = rect.adjusted(inset, inset, -inset, -inset);
        if (ring.isEmpty())
            break;
        canvas.setPen(Qt::NoPen);
        canvas.setBrush(QColor(colors[band]));
        if (m_style == gsCustomRect && OnDrawRect)
            OnDrawRect(this, &canvas, ring);
        else
            canvas.fillRect(ring, QColor(colors[band]));
    }
}

// Concentric ellipses shrinking evenly toward the centre; the corners keep the first colour.
void TGradient::paintEllipses(QPainter &canvas, const QRect &rect) const
{
    const int lineSize = effectiveLineSize();
    const int length = std::max(rect.width(), rect.height()) / 2;
    const std::vector<QRgb> colors = bandColors(length);
    canvas.fillRect(rect, QColor(colors.front()));
    canvas.setPen(Qt::NoPen);
    const double stepX = rect.width() / 2.0 / std::max(length, 1);
    const double stepY = rect.height() / 2.0 / std::max(length, 1);
    for (std::size_t band = 0; band < colors.size(); ++band) {
        const double inset = double(band) * lineSize;
        const QRectF ellipse = QRectF(rect).adjusted(inset * stepX, inset * stepY, -inset * stepX, -inset * stepY);
        if (ellipse.width() <= 0 || ellipse.height() <= 0)
            break;
        canvas.setBrush(QColor(colors[band]));
        canvas.drawEllipse(ellipse);
    }
}
