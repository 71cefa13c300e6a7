#include "CaptionGlyphs.h"

#include <QColor>
#include <QHash>

namespace {

using Rows = const char *const[TCaptionGlyphs::Size];

// Monochrome pictures are black; the start flag uses the four colours of a classic 16-colour
// palette.
QRgb pixelColor(char code)
{
    switch (code) {
    case '#': return qRgb(0, 0, 0);
    case 'R': return qRgb(255, 0, 0);
    case 'G': return qRgb(0, 128, 0);
    case 'B': return qRgb(0, 0, 255);
    case 'Y': return qRgb(255, 255, 0);
    case 'W': return qRgb(255, 255, 255);
    default: return qRgba(0, 0, 0, 0);
    }
}

QImage fromRows(const Rows &rows)
{
    QImage image(TCaptionGlyphs::Size, TCaptionGlyphs::Size, QImage::Format_ARGB32);
    for (int y = 0; y < TCaptionGlyphs::Size; ++y)
        for (int x = 0; x < TCaptionGlyphs::Size; ++x)
            image.setPixel(x, y, pixelColor(rows[y][x]));
    return image;
}

Rows rollUp = {"..........", "..........", "..........", "....##....", "...####...",
               "..######..", ".###..###.", ".##....##.", "..........", ".........."};
Rows rollDown = {"..........", "..........", ".##....##.", ".###..###.", "..######..",
                 "...####...", "....##....", "..........", "..........", ".........."};
// A push-pin lying on its side, point to the left.
Rows onTopUp = {"..........", "....#.....", "....#####.", "....#..W##", "#####..W##",
                "....#..W##", "....######", "....#.....", "..........", ".........."};
// The same pin pushed in: seen from above, point down.
Rows onTopDown = {"..........", "..######..", "..#W####..", "..#W####..", "..#W####..",
                  ".########.", "....##....", "....#.....", "....#.....", ".........."};
Rows startFlag = {"..........", ".#RRR#GGG.", ".#RRR#GGG.", ".#RRR#GGG.", ".#########",
                  ".#BBB#YYY.", ".#BBB#YYY.", ".#BBB#YYY.", ".#........", ".#........"};
Rows closeBox = {"..........", ".##....##.", "..##..##..", "...####...", "....##....",
                 "...####...", "..##..##..", ".##....##.", "..........", ".........."};
Rows maximizeBox = {"##########", "##########", "#........#", "#........#", "#........#",
                    "#........#", "#........#", "#........#", "#........#", "##########"};
Rows restoreBox = {"...#######", "...#######", "...#.....#", "#######..#", "#######..#",
                   "#.....####", "#.....#...", "#.....#...", "#######...", ".........."};
Rows minimizeBox = {"..........", "..........", "..........", "..........", "..........",
                    "..........", "..........", "..######..", "..######..", ".........."};

} // namespace

QImage TCaptionGlyphs::picture(const QString &name)
{
    static const QHash<QString, const Rows *> pictures = {
        {"RollUpButton", &rollUp},     {"RollDownButton", &rollDown}, {"OnTopButtonU", &onTopUp},
        {"OnTopButtonD", &onTopDown},  {"StartButton", &startFlag},   {"CloseBox", &closeBox},
        {"MaximizeBox", &maximizeBox}, {"RestoreBox", &restoreBox},   {"MinimizeBox", &minimizeBox},
    };
    const Rows *rows = pictures.value(name);
    return rows ? fromRows(*rows) : QImage();
}
