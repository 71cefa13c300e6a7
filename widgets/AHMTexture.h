#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QImage>
#include <QObject>

enum TImageStyle { isTile, isCenter, isStretched };

// The picture part of a background component: tiled, centred or stretched, with an optional
// colour that is replaced by TransparentBackground.
class TAHMTexture : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TAHMTexture(QObject *owner = nullptr);

    const QImage &Image() const { return m_image; }
    void SetImage(const QImage &value);
    TImageStyle ImageStyle() const { return m_imageStyle; }
    void SetImageStyle(TImageStyle value);
    TColor TransparentColor() const { return m_transparentColor; }
    void SetTransparentColor(TColor value);
    TColor TransparentBackground() const { return m_transparentBackground; }
    void SetTransparentBackground(TColor value);

    void Assign(const TAHMTexture &source);

    // Fills (0, 0, width, height); nothing when there is no image.
    void paint(QPainter &canvas, int width, int height) const;

private:
    QImage shownImage() const;

    QImage m_image;
    TImageStyle m_imageStyle = isTile;
    TColor m_transparentColor = colorNone;
    TColor m_transparentBackground = colorBtnFace;
};
