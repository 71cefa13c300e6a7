#include "Artwork.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {
constexpr qreal DesignSize = 48.0;
const QColor Case(0xc0, 0xc0, 0xc0);
const QColor Edge(0x40, 0x40, 0x40);
const QColor Screen(0x00, 0x00, 0x80);
const QColor Glare(0x40, 0x80, 0xff);
const QColor Cable(0xff, 0xd0, 0x00);

constexpr int TextMargin = 12;
const QString Signature = "Zarvo SoftWare";

QFont signatureFont(QSize size)
{
    QFont font("Arial");
    font.setPixelSize(size.height() / 20);
    return font;
}

// One computer in the 48-unit design: a monitor on a stand above a flat system unit, 22 by 24.
void drawComputer(QPainter &painter, const QPointF &topLeft)
{
    painter.save();
    painter.translate(topLeft);
    painter.setPen(QPen(Edge, 1));
    painter.setBrush(Case);
    painter.drawRect(QRectF(2.5, 0.5, 17, 13));
    painter.setBrush(Screen);
    painter.drawRect(QRectF(4.5, 2.5, 13, 9));
    painter.setPen(QPen(Glare, 1));
    painter.drawLine(QPointF(6, 4), QPointF(10, 4));
    painter.setPen(QPen(Edge, 1));
    painter.setBrush(Case);
    painter.drawRect(QRectF(8.5, 13.5, 5, 3));
    painter.drawRect(QRectF(0.5, 16.5, 21, 6));
    painter.setPen(QPen(Qt::green, 1));
    painter.drawLine(QPointF(3, 19.5), QPointF(5, 19.5));
    painter.restore();
}
} // namespace

QImage Artwork::computers(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    painter.scale(size / DesignSize, size / DesignSize);
    QPainterPath cable(QPointF(11, 23));
    cable.lineTo(11, 45);
    cable.lineTo(37, 45);
    cable.lineTo(37, 47);
    painter.strokePath(cable, QPen(Cable, 2));
    drawComputer(painter, QPointF(0, 0));
    drawComputer(painter, QPointF(25, 21));
    return image;
}

QIcon Artwork::computerIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(computers(48)));
    icon.addPixmap(QPixmap::fromImage(computers(16)));
    return icon;
}

QImage Artwork::splash(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0x00, 0x00, 0xff));
    sky.setColorAt(0.6, QColor(0x00, 0x00, 0x80));
    sky.setColorAt(1, Qt::black);
    painter.fillRect(image.rect(), sky);
    const int iconSize = size.height() / 2;
    painter.drawImage(QPoint(size.width() / 10, (size.height() - iconSize) / 2), computers(iconSize));
    painter.setPen(Qt::white);
    // The title shrinks until its longest line keeps the margin from the frame.
    const QString title = "Tozelo 99\nversion 1.1";
    const QRect text(size.width() / 2, TextMargin, size.width() / 2 - TextMargin, size.height() - 2 * TextMargin);
    QFont font("Times New Roman");
    font.setBold(true);
    for (int pixels = size.height() / 7; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).boundingRect(text, Qt::AlignCenter, title).width() <= text.width())
            break;
    }
    painter.setFont(font);
    painter.drawText(text, Qt::AlignCenter, title);
    painter.setFont(signatureFont(size));
    painter.drawText(signatureRect(size), Qt::AlignLeft | Qt::AlignBottom, Signature);
    return image;
}

// Bottom left, where the credits dialog's buttons, on the right, leave it in sight.
QRect Artwork::signatureRect(QSize size)
{
    const QSize text = QFontMetrics(signatureFont(size)).size(Qt::TextSingleLine, Signature);
    return QRect(QPoint(TextMargin, size.height() - TextMargin / 2 - text.height()), text);
}

namespace {
const QColor GlyphKey(0xff, 0x00, 0xff);

// Half-transparent edges would blend into the key colour and show as a fringe, so every pixel is
// either the key or the icon's own colour at full strength.
void drawKeyed(QImage &cells, const QIcon &icon, int size, QIcon::Mode mode, int left)
{
    const QImage picture = icon.pixmap(QSize(size, size), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < std::min(size, picture.height()); ++y) {
        for (int x = 0; x < std::min(size, picture.width()); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            if (qAlpha(pixel) >= 128)
                cells.setPixel(left + 1 + x, 1 + y, qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)));
        }
    }
}
} // namespace

QImage Artwork::glyph(const QIcon &icon, int size)
{
    QImage cell(size + 2, size + 2, QImage::Format_RGB32);
    cell.fill(GlyphKey);
    drawKeyed(cell, icon, size, QIcon::Normal, 0);
    return cell;
}

QImage Artwork::glyphStrip(const QIcon &icon, int size)
{
    const int side = size + 2;
    QImage strip(2 * side, side, QImage::Format_RGB32);
    strip.fill(GlyphKey);
    drawKeyed(strip, icon, size, QIcon::Normal, 0);
    drawKeyed(strip, icon, size, QIcon::Disabled, side);
    return strip;
}
