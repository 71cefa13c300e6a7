#pragma once
#include <QIcon>
#include <QImage>
#include <QSize>

// The program's pictures, drawn rather than stored: two desktop computers joined by a network
// cable, and the splash picture built around them.
class Artwork {
public:
    static QImage computers(int size);
    static QIcon computerIcon(); // the 48 and the 16 pixel pictures
    static QImage splash(QSize size);
};
