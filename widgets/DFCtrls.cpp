#include "DFCtrls.h"

#include "BackgndObj.h"
#include "DFBevel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>

namespace {

constexpr int DefaultSize = 64;

QRgb transparentColor(const QImage &picture)
{
    return picture.pixel(0, picture.height() - 1);
}

// The picture with its transparent colour turned fully transparent.
QImage keyedOut(const QImage &picture)
{
    const QRgb key = transparentColor(picture);
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        std::replace(line, line + keyed.width(), key, QRgb(0));
    }
    return keyed;
}

// Four parts of the picture's colour to one of what lies beside it, per component.
QRgb soften(QRgb picture, QRgb beside)
{
    const auto mix = [](int a, int b) { return (4 * a + b + 2) / 5; };
    return qRgb(mix(qRed(picture), qRed(beside)), mix(qGreen(picture), qGreen(beside)),
                mix(qBlue(picture), qBlue(beside)));
}

// Draws picture at 'at' without its transparent colour, then blends every background pixel that
// touches the picture's outline towards the picture pixel it touches, so the edge does not look
// jagged against a gradient.
void drawSmoothed(QImage &target, const QImage &picture, QPoint at)
{
    const int width = picture.width();
    const int height = picture.height();
    const QRgb key = transparentColor(picture);
    const auto transparent = [&](int x, int y) {
        return x < 0 || y < 0 || x >= width || y >= height || picture.pixel(x, y) == key;
    };
    QImage part = target.copy(at.x() - 1, at.y() - 1, width + 2, height + 2);
    {
        QPainter canvas(&part);
        canvas.drawImage(1, 1, keyedOut(picture));
    }
    constexpr std::array<QPoint, 4> Neighbours{{{-1, 0}, {0, -1}, {1, 0}, {0, 1}}};
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (transparent(x, y))
                continue;
            for (const QPoint step : Neighbours) {
                if (!transparent(x + step.x(), y + step.y()))
                    continue;
                const QPoint there(x + 1 + step.x(), y + 1 + step.y());
                part.setPixel(there, soften(picture.pixel(x, y), part.pixel(there)));
            }
        }
    }
    QPainter canvas(&target);
    canvas.setCompositionMode(QPainter::CompositionMode_Source);
    canvas.drawImage(at.x() - 1, at.y() - 1, part);
}

} // namespace

TBCBitmap::TBCBitmap(QWidget *parent) : TDFControl(parent)
{
    resize(DefaultSize, DefaultSize);
}

template <typename T> void TBCBitmap::assignField(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    requestRender();
}

void TBCBitmap::SetPicture(const QImage &value)
{
    if (m_picture == value)
        return;
    m_picture = value;
    applyAutoSize();
    requestRender();
}

void TBCBitmap::SetDrawStyle(TDrawStyle value)
{
    assignField(m_drawStyle, value);
}

void TBCBitmap::SetColorOption(TColorOption value)
{
    assignField(m_colorOption, value);
}

void TBCBitmap::SetInvertImageOnMouseDown(bool value)
{
    assignField(m_invertImageOnMouseDown, value);
}

void TBCBitmap::SetAutoSize(bool value)
{
    if (m_autoSize == value)
        return;
    m_autoSize = value;
    applyAutoSize();
}

void TBCBitmap::applyAutoSize()
{
    if (!m_autoSize || m_picture.isNull())
        return;
    const int border = 2 * Bevel()->thickness();
    resize(m_picture.width() + border, m_picture.height() + border);
}

QRect TBCBitmap::placement(const QRect &rect) const
{
    switch (m_drawStyle) {
    case dsNone: return QRect(rect.topLeft(), m_picture.size()).intersected(rect);
    case dsClient: return rect;
    case dsCentered: break;
    }
    const QPoint centred(roundEven((width() - m_picture.width()) / 2.0),
                         roundEven((height() - m_picture.height()) / 2.0));
    return QRect(centred, m_picture.size());
}

QImage TBCBitmap::shownPicture() const
{
    QImage shown = m_picture.convertToFormat(QImage::Format_ARGB32);
    if (m_invertImageOnMouseDown && m_pressed)
        shown.invertPixels();
    return shown;
}

void TBCBitmap::renderPicture(QImage &target)
{
    QRect rect = target.rect();
    QPainter canvas(&target);
    Bevel()->draw(canvas, rect, MouseInside());
    Background()->paint(canvas, rect);
    if (m_picture.isNull())
        return;
    const QImage shown = shownPicture();
    const QRect place = placement(rect);
    switch (m_colorOption) {
    case coNone:
        if (m_drawStyle == dsClient)
            canvas.drawImage(place, shown);
        else
            canvas.drawImage(place.topLeft(), shown, QRect(QPoint(), place.size()));
        break;
    case coTransparent: canvas.drawImage(0, 0, keyedOut(shown)); break;
    case coSmoothed:
        canvas.end();
        drawSmoothed(target, shown, place.topLeft());
        break;
    }
}

void TBCBitmap::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        setPressed(true);
    TDFControl::mousePressEvent(event);
}

void TBCBitmap::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        setPressed(false);
    TDFControl::mouseReleaseEvent(event);
}

void TBCBitmap::setPressed(bool pressed)
{
    m_pressed = pressed;
    if (m_invertImageOnMouseDown)
        requestRender();
}
