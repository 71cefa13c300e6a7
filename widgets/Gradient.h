#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QObject>
#include <array>
#include <vector>

enum TGradientStyle { gsLine, gsEllipse, gsRect, gsCustomRect };
enum TLineDirection { diHorizonal, diVertical };
using TColorCount = int;

using TDrawRectEvent = std::function<void(QObject *Sender, QPainter *Canvas, const QRect &Rect)>;

// A multi-colour gradient through up to five colour stops, painted in bands of LineSize pixels.
class TGradient : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TGradient(QObject *owner = nullptr);

    TGradientStyle GradientStyle() const { return m_style; }
    void SetGradientStyle(TGradientStyle value);
    int LineSize() const { return m_lineSize; }
    void SetLineSize(int value);
    TColor Color1() const { return m_stops[0]; }
    void SetColor1(TColor value) { setStop(0, value); }
    TColor Color2() const { return m_stops[1]; }
    void SetColor2(TColor value) { setStop(1, value); }
    TColor Color3() const { return m_stops[2]; }
    void SetColor3(TColor value) { setStop(2, value); }
    TColor Color4() const { return m_stops[3]; }
    void SetColor4(TColor value) { setStop(3, value); }
    TColor Color5() const { return m_stops[4]; }
    void SetColor5(TColor value) { setStop(4, value); }
    TColorCount ColorCount() const { return m_colorCount; }
    void SetColorCount(TColorCount value);
    TLineDirection LineDirection() const { return m_direction; }
    void SetLineDirection(TLineDirection value);

    // Copies style, line size, colours, count and direction; one change notification.
    void Assign(const TGradient &source);

    // Paints the gradient into rect; nothing for an empty rect.
    void paint(QPainter &canvas, const QRect &rect);
    // The colours of the bands at 0, LineSize, 2 * LineSize ... up to and including length.
    std::vector<QRgb> bandColors(int length) const;

    TDrawRectEvent OnDrawRect;

private:
    void setStop(int index, TColor value);
    int effectiveLineSize() const;
    int effectiveColorCount() const;
    void paintLine(QPainter &canvas, const QRect &rect) const;
    void paintRects(QPainter &canvas, const QRect &rect);
    void paintEllipses(QPainter &canvas, const QRect &rect) const;

    TGradientStyle m_style = gsLine;
    int m_lineSize = 3;
    std::array<TColor, 5> m_stops{colorGray, colorWhite, colorSilver, colorWhite, colorBlack};
    TColorCount m_colorCount = 3;
    TLineDirection m_direction = diHorizonal;
};
