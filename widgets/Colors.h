#pragma once
#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>

class QPainter;

// A colour of the widget kit: red in the low byte, then green, then blue; or one of the window
// system's named colours, looked up in the application palette when drawn; or colorNone, for which
// a line or fill is skipped.
using TColor = std::uint32_t;

constexpr TColor colorNone = 0x1FFFFFFF;
constexpr TColor systemColorFlag = 0x80000000;

constexpr TColor rgbColor(int red, int green, int blue)
{
    return TColor(red & 0xFF) | TColor(green & 0xFF) << 8 | TColor(blue & 0xFF) << 16;
}

constexpr TColor colorBlack = rgbColor(0, 0, 0);
constexpr TColor colorNavy = rgbColor(0, 0, 128);
constexpr TColor colorBlue = rgbColor(0, 0, 255);
constexpr TColor colorGreen = rgbColor(0, 128, 0);
constexpr TColor colorGray = rgbColor(128, 128, 128);
constexpr TColor colorSilver = rgbColor(192, 192, 192);
constexpr TColor colorWhite = rgbColor(255, 255, 255);

constexpr TColor colorBtnFace = systemColorFlag | 1;
constexpr TColor colorBtnHighlight = systemColorFlag | 2;
constexpr TColor colorBtnShadow = systemColorFlag | 3;
constexpr TColor colorDarkShadow = systemColorFlag | 4;
constexpr TColor colorHighlight = systemColorFlag | 5;
constexpr TColor colorWindowFrame = systemColorFlag | 6;
constexpr TColor colorWindow = systemColorFlag | 7;
constexpr TColor colorBtnText = systemColorFlag | 8;
constexpr TColor colorActiveCaption = systemColorFlag | 9;
constexpr TColor colorInactiveCaption = systemColorFlag | 10;
constexpr TColor colorCaptionText = systemColorFlag | 11;

inline bool isNoColor(TColor color)
{
    return color == colorNone;
}

// The colour as drawn; named colours come from the current application palette. colorNone gives
// an invalid QColor.
QColor toQColor(TColor color);
// The plain RGB value of a colour, named colours resolved.
TColor toRgbColor(TColor color);
TColor fromQColor(const QColor &color);
// Each of red, green and blue moved by delta, clamped to 0..255.
TColor shiftColor(TColor color, int delta);

// The rounding words of the kit's drawing rules: halves go to the even neighbour; trunc drops the
// fraction. Integer division (div) is C++'s own, which also rounds toward zero.
int roundEven(double value);
int truncInt(double value);
int clampByte(double value);

// One 3D ring along the edge of rect: topLeft on the left and top edges, bottomRight on the right
// and bottom edges, the latter owning the top-right and bottom-left corners. Either may be none.
void drawRing(QPainter &painter, const QRect &rect, TColor topLeft, TColor bottomRight);
// count rings, each one pixel further in; rect is left shrunk by count on every side.
void drawRings(QPainter &painter, QRect &rect, TColor topLeft, TColor bottomRight, int count);
// The keyboard focus mark of the kit's buttons, once the keyboard moved the focus: a one-pixel ring
// along the edge of rect of black and white dots in turn (black where x + y is even), seen on any
// background.
void drawFocusDots(QImage &image, const QRect &rect);
