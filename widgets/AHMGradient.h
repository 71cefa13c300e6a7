#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QObject>
#include <QStringList>
#include <vector>

enum class TFillStyle {
    Circle,
    Horizontal,
    Vertical,
    LeftBottom,
    RoundMiddle,
    SquareMiddle,
    Spectral,
    DoppelFlash,
    Singleflash,
    MiddleHBar,
    MiddleVBar,
    VerticalDoppelBar,
    HorizontalDoppelBar
};

// The gradient part of a background component: NoOfColors steps from BeginColor through the
// colours in between to EndColor, laid out by FillStyle.
class TAHMGradient : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TAHMGradient(QObject *owner = nullptr);

    TFillStyle FillStyle() const { return m_fillStyle; }
    void SetFillStyle(TFillStyle value);
    TColor BeginColor() const { return m_beginColor; }
    void SetBeginColor(TColor value);
    TColor EndColor() const { return m_endColor; }
    void SetEndColor(TColor value);
    int NoOfColors() const { return m_noOfColors; }
    void SetNoOfColors(int value);
    // Colours as names ("#00ff00", "navy") or numbers of the kit's colour values.
    const QStringList &ColorsInbetween() const { return m_colorsInbetween; }
    void SetColorsInbetween(const QStringList &value);

    void Assign(const TAHMGradient &source);

    // Fills (0, 0, width, height); the flash styles show solidColor on their crest.
    void paint(QPainter &canvas, int width, int height, TColor solidColor) const;

private:
    std::vector<QColor> stops() const;
    std::vector<QRgb> steps(TColor solidColor) const;

    TFillStyle m_fillStyle = TFillStyle::Horizontal;
    TColor m_beginColor = colorSilver;
    TColor m_endColor = colorGray;
    int m_noOfColors = 32;
    QStringList m_colorsInbetween;
};
