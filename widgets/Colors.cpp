#include "Colors.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace {

QColor systemColor(TColor color)
{
    const QPalette palette = QGuiApplication::palette();
    switch (color) {
    case colorBtnFace: return palette.color(QPalette::Button);
    case colorBtnHighlight: return palette.color(QPalette::Light);
    case colorBtnShadow: return palette.color(QPalette::Dark);
    case colorDarkShadow: return palette.color(QPalette::Shadow);
    case colorHighlight: return palette.color(QPalette::Active, QPalette::Highlight);
    case colorWindowFrame: return palette.color(QPalette::WindowText);
    case colorWindow: return palette.color(QPalette::Base);
    case colorBtnText: return palette.color(QPalette::ButtonText);
    case colorActiveCaption: return palette.color(QPalette::Active, QPalette::Highlight);
    case colorInactiveCaption: return palette.color(QPalette::Mid);
    case colorCaptionText: return palette.color(QPalette::Active, QPalette::HighlightedText);
    default: return Qt::black;
    }
}

// One stretch of a one-pixel line; nothing when it is empty.
void fillSpan(QPainter &painter, const QColor &color, int x, int y, int width, int height)
{
    if (width > 0 && height > 0)
        painter.fillRect(QRect(x, y, width, height), color);
}

} // namespace

QColor toQColor(TColor color)
{
    if (isNoColor(color))
        return QColor();
    if (color & systemColorFlag)
        return systemColor(color);
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

TColor toRgbColor(TColor color)
{
    return fromQColor(toQColor(color));
}

TColor fromQColor(const QColor &color)
{
    if (!color.isValid())
        return colorNone;
    return rgbColor(color.red(), color.green(), color.blue());
}

TColor shiftColor(TColor color, int delta)
{
    const QColor base = toQColor(color);
    return rgbColor(clampByte(base.red() + delta), clampByte(base.green() + delta), clampByte(base.blue() + delta));
}

int roundEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return int(floor) + 1;
    if (fraction < 0.5)
        return int(floor);
    return std::fmod(floor, 2.0) == 0.0 ? int(floor) : int(floor) + 1;
}

int truncInt(double value)
{
    return int(std::trunc(value));
}

int clampByte(double value)
{
    return std::clamp(roundEven(value), 0, 255);
}

void drawRing(QPainter &painter, const QRect &rect, TColor topLeft, TColor bottomRight)
{
    if (rect.isEmpty())
        return;
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.right();
    const int bottom = rect.bottom();
    if (!isNoColor(topLeft)) {
        const QColor color = toQColor(topLeft);
        fillSpan(painter, color, left, top + 1, 1, bottom - top);
        fillSpan(painter, color, left, top, right - left, 1);
    }
    if (!isNoColor(bottomRight)) {
        const QColor color = toQColor(bottomRight);
        fillSpan(painter, color, right, top, 1, bottom - top);
        fillSpan(painter, color, left, bottom, right - left + 1, 1);
    }
}

void drawRings(QPainter &painter, QRect &rect, TColor topLeft, TColor bottomRight, int count)
{
    for (int ring = 0; ring < count; ++ring) {
        drawRing(painter, rect, topLeft, bottomRight);
        rect.adjust(1, 1, -1, -1);
    }
}

void drawFocusDots(QImage &image, const QRect &rect)
{
    const QRect ring = rect.intersected(image.rect());
    if (ring.width() < 2 || ring.height() < 2)
        return;
    const auto dot = [&image](int x, int y) {
        image.setPixel(x, y, (x + y) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    };
    for (int x = ring.left(); x <= ring.right(); ++x) {
        dot(x, ring.top());
        dot(x, ring.bottom());
    }
    for (int y = ring.top() + 1; y < ring.bottom(); ++y) {
        dot(ring.left(), y);
        dot(ring.right(), y);
    }
}
