#pragma once
#include <QImage>
#include <QRect>

class QPainter;

// The picture backgrounds of dock bars and graphic buttons: a picture centred, stretched or
// tiled over an area.
class TPictureFill {
public:
    // A bitmap without an alpha channel leaves out its transparent colour, the colour of its
    // bottom-left pixel; a picture with an alpha channel (an icon) is kept as it is.
    static QImage transparentCopy(const QImage &picture);
    // Unscaled and centred; a bitmap's transparent colour shows what lies beneath.
    static void drawCentred(QPainter &painter, const QRect &rect, const QImage &picture);
    static void drawStretched(QPainter &painter, const QRect &rect, const QImage &picture);
    // Tiles from the top-left corner of rect.
    static void drawTiled(QPainter &painter, const QRect &rect, const QImage &picture);
};
