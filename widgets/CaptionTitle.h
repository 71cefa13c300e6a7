#pragma once
#include <QColor>
#include <QFont>
#include <QString>
#include <vector>

class QPainter;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum T3DEffect { ox3Normal, ox3Flat, ox3Raised, ox3Inset, ox3Ridged, ox3Grooved, ox3Shadow, ox3None, ox3Disabled };

// One run of the title in one style; x is where it starts.
struct TTitlePiece {
    QString text;
    bool italic;
    int x;
};

// The title of a caption bar: shortened with "..." when it does not fit its room, aligned in it,
// and split into an italic lead and an upright rest.
class TCaptionTitle {
public:
    // The pieces of title in the room from start to right (right excluded), measured in font.
    static std::vector<TTitlePiece> layout(const QString &title, const QFont &font, int start, int right,
                                           TAlignment alignment, int italicWords);
    // Draws the pieces with their top at top, in color with the given 3D effect.
    static void draw(QPainter &painter, const std::vector<TTitlePiece> &pieces, const QFont &font, int top,
                     const QColor &color, T3DEffect effect);

private:
    static void drawText(QPainter &painter, const TTitlePiece &piece, const QFont &font, int baseline,
                         const QColor &color, T3DEffect effect);
};
