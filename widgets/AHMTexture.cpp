#include "AHMTexture.h"

#include <QPainter>
#include <algorithm>

TAHMTexture::TAHMTexture(QObject *owner) : ChangeNotifier(owner) {}

void TAHMTexture::SetImage(const QImage &value)
{
    assignField(m_image, value);
}

void TAHMTexture::SetImageStyle(TImageStyle value)
{
    assignField(m_imageStyle, value);
}

void TAHMTexture::SetTransparentColor(TColor value)
{
    assignField(m_transparentColor, value);
}

void TAHMTexture::SetTransparentBackground(TColor value)
{
    assignField(m_transparentBackground, value);
}

void TAHMTexture::Assign(const TAHMTexture &source)
{
    m_image = source.m_image;
    m_imageStyle = source.m_imageStyle;
    m_transparentColor = source.m_transparentColor;
    m_transparentBackground = source.m_transparentBackground;
    notifyChange();
}

QImage TAHMTexture::shownImage() const
{
    if (isNoColor(m_transparentColor))
        return m_image;
    QImage copy = m_image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = toQColor(m_transparentColor).rgb();
    const QRgb replacement = toQColor(m_transparentBackground).rgb();
    for (int y = 0; y < copy.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(copy.scanLine(y));
        std::replace(line, line + copy.width(), key, replacement);
    }
    return copy;
}

void TAHMTexture::paint(QPainter &canvas, int width, int height) const
{
    if (m_image.isNull())
        return;
    const QImage image = shownImage();
    const int imageWidth = image.width();
    const int imageHeight = image.height();
    switch (m_imageStyle) {
    case isTile:
        for (int row = 0; row <= height / imageHeight; ++row)
            for (int column = 0; column <= width / imageWidth; ++column)
                canvas.drawImage(column * imageWidth, row * imageHeight, image);
        break;
    case isStretched: canvas.drawImage(QRect(0, 0, width, height), image); break;
    case isCenter:
        canvas.drawImage(imageWidth < width ? (width - imageWidth) / 2 : 0,
                         imageHeight < height ? (height - imageHeight) / 2 : 0, image);
        break;
    }
}
