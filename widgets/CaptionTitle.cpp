#include "CaptionTitle.h"

#include "Colors.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {

const QString ellipsis = QStringLiteral("...");

// The title cut one character at a time until it fits with "..." or a single character is left.
QString shortened(QString title, const QFontMetrics &metrics, int room)
{
    while (title.size() > 1 && metrics.horizontalAdvance(title + ellipsis) > room)
        title.chop(1);
    return title + ellipsis;
}

int startOf(TAlignment alignment, int start, int right, int width)
{
    switch (alignment) {
    case taRightJustify: return right - width;
    case taCenter: return start + (right - start - width) / 2;
    default: return start;
    }
}

// Position just after the n-th space, or -1 when the title has fewer spaces.
int splitAfterSpaces(const QString &text, int count)
{
    int index = -1;
    for (int found = 0; found < count; ++found) {
        index = text.indexOf(QLatin1Char(' '), index + 1);
        if (index < 0)
            return -1;
    }
    return index + 1;
}

QFont styled(QFont font, bool italic)
{
    font.setItalic(italic);
    return font;
}

} // namespace

std::vector<TTitlePiece> TCaptionTitle::layout(const QString &title, const QFont &font, int start, int right,
                                               TAlignment alignment, int italicWords)
{
    const QFontMetrics upright(styled(font, false));
    QString text = title;
    int x = start;
    if (upright.horizontalAdvance(title) > right - start)
        text = shortened(title, upright, right - start);
    else
        x = startOf(alignment, start, right, upright.horizontalAdvance(title));
    if (italicWords <= 0)
        return {{text, false, x}};
    const int split = splitAfterSpaces(text, italicWords);
    if (split < 0 || split == text.size())
        return {{text, true, x}};
    const QString lead = text.left(split);
    return {{lead, true, x}, {text.mid(split), false, x + upright.horizontalAdvance(lead)}};
}

void TCaptionTitle::draw(QPainter &painter, const std::vector<TTitlePiece> &pieces, const QFont &font, int top,
                         const QColor &color, T3DEffect effect)
{
    const int baseline = top + QFontMetrics(font).ascent();
    for (const TTitlePiece &piece : pieces)
        drawText(painter, piece, font, baseline, color, effect);
}

void TCaptionTitle::drawText(QPainter &painter, const TTitlePiece &piece, const QFont &font, int baseline,
                             const QColor &color, T3DEffect effect)
{
    const QColor highlight = toQColor(colorBtnHighlight);
    const QColor shadow = toQColor(colorBtnShadow);
    const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);
    painter.setFont(styled(font, piece.italic));
    const auto copy = [&](const QColor &inColor, int dx, int dy) {
        painter.setPen(inColor);
        painter.drawText(piece.x + dx, baseline + dy, piece.text);
    };
    // Raised and inset copies that would vanish in the text itself are left out.
    const auto edge = [&](const QColor &inColor, int offset) {
        if (inColor != color)
            copy(inColor, offset, offset);
    };
    switch (effect) {
    case ox3None: return;
    case ox3Raised:
        edge(highlight, -1);
        edge(shadow, 1);
        break;
    case ox3Inset:
        edge(shadow, -1);
        edge(highlight, 1);
        break;
    case ox3Ridged:
        copy(shadow, 1, 1);
        copy(highlight, -1, -1);
        copy(windowText, 0, 0);
        return;
    case ox3Grooved:
        copy(highlight, 1, 1);
        copy(shadow, -1, -1);
        copy(windowText, 0, 0);
        return;
    case ox3Shadow: copy(shadow, 2, 2); break;
    case ox3Disabled:
        copy(highlight, 1, 1);
        copy(shadow, 0, 0);
        return;
    default: break;
    }
    copy(color, 0, 0);
}
