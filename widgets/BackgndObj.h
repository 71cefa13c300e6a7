#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QImage>
#include <QObject>

class TGradient;

enum TBackStyle { bgSingleColor, bgGradient, bgSingleBitmap, bgTileBitmap };

// What fills an area: one colour, a line gradient, a picture at the canvas origin or a picture
// tiled from the canvas origin.
class TBackgndObj : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TBackgndObj(QObject *owner = nullptr);

    TGradient *Gradient() const { return m_gradient; }
    void SetGradient(const TGradient &value);
    const QImage &Picture() const { return m_picture; }
    void SetPicture(const QImage &value);
    TBackStyle BackStyle() const { return m_backStyle; }
    void SetBackStyle(TBackStyle value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);

    // Copies picture, gradient and style.
    void Assign(const TBackgndObj &source);

    void paint(QPainter &canvas, const QRect &rect) const;

private:
    void paintTiles(QPainter &canvas, const QRect &rect) const;

    TGradient *m_gradient;
    QImage m_picture;
    TBackStyle m_backStyle = bgSingleColor;
    TColor m_color = colorBtnFace;
};
