#include "PictureFill.h"

#include <QPainter>

QImage TPictureFill::transparentCopy(const QImage &picture)
{
    if (picture.isNull() || picture.hasAlphaChannel())
        return picture;
    QImage copy = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = copy.pixel(0, copy.height() - 1);
    for (int y = 0; y < copy.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return copy;
}

void TPictureFill::drawCentred(QPainter &painter, const QRect &rect, const QImage &picture)
{
    if (picture.isNull())
        return;
    const QPoint at(rect.left() + (rect.width() - picture.width()) / 2,
                    rect.top() + (rect.height() - picture.height()) / 2);
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.drawImage(at, transparentCopy(picture));
    painter.restore();
}

void TPictureFill::drawStretched(QPainter &painter, const QRect &rect, const QImage &picture)
{
    if (!picture.isNull())
        painter.drawImage(rect, picture);
}

void TPictureFill::drawTiled(QPainter &painter, const QRect &rect, const QImage &picture)
{
    if (!picture.isNull())
        painter.drawTiledPixmap(rect, QPixmap::fromImage(picture));
}
