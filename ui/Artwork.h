#pragma once
#include <QIcon>
#include <QImage>
#include <QRect>
#include <QSize>

// The program's pictures, drawn rather than stored: two desktop computers joined by a network
// cable, the splash picture built around them, and the button glyphs.
class Artwork {
public:
    static constexpr int SplashWidth = 350;
    static constexpr int SplashHeight = 262;

    static QImage computers(int size);
    static QIcon computerIcon(); // the 48 and the 16 pixel pictures
    static QImage splash(QSize size);
    // Where the splash picture of that size carries the maker's signature.
    static QRect signatureRect(QSize size);
    // An icon of size pixels inside a one-pixel margin of the key colour, which the transparent
    // buttons leave out (they take the colour of a cell's bottom-left pixel as transparent).
    static QImage glyph(const QIcon &icon, int size);
    // Two cells side by side: the icon as it is and as the style shows it disabled.
    static QImage glyphStrip(const QIcon &icon, int size);
};
