#include "TDockBarPainter.h"

#include "BandGradient.h"
#include "PictureFill.h"
#include "ToxDockBack.h"

#include <QPainter>
#include <algorithm>

void TDockBarPainter::paintBackground(QPainter &painter, const QRect &rect, const ToxDockBack &background, TColor color,
                                      TBandGradient &gradient)
{
    switch (background.Style()) {
    case oxdGradient: gradient.fillHorizontal(painter, rect); return;
    case oxdVertGradient: gradient.fillVertical(painter, rect); return;
    default: break;
    }
    painter.fillRect(rect, toQColor(color));
    const QImage &picture = background.Picture();
    switch (background.Style()) {
    case oxdPictureClip: TPictureFill::drawCentred(painter, rect, picture); break;
    case oxdPictureStretch: TPictureFill::drawStretched(painter, rect, picture); break;
    case oxdPicturePattern: TPictureFill::drawTiled(painter, rect, picture); break;
    default: break;
    }
}

// oxdAuto looks like oxdWin95. Docked: an outer ring, then a raised one; floating, the window
// draws the frame and only oxdWin31 adds a ring of its own.
void TDockBarPainter::paintFrame(QPainter &painter, QRect rect, TDockBarStyle style, bool floating)
{
    const bool win31 = style == oxdWin31;
    if (floating) {
        if (win31)
            drawRings(painter, rect, colorBtnHighlight, colorBtnShadow, 1);
        return;
    }
    if (win31)
        drawRings(painter, rect, colorWindowFrame, colorWindowFrame, 1);
    else
        drawRings(painter, rect, colorBtnShadow, colorBtnHighlight, 1);
    drawRings(painter, rect, colorBtnHighlight, colorBtnShadow, 1);
}

void TDockBarPainter::paintSeparators(QPainter &painter, const std::vector<TDockItem> &items, bool sideDocked,
                                      const QRect &inner)
{
    int tallest = 0;
    for (const TDockItem &item : items)
        if (item.visible)
            tallest = std::max(tallest, item.rect.height());
    const QColor shadow = toQColor(colorBtnShadow);
    const QColor highlight = toQColor(colorBtnHighlight);
    for (const TDockItem &item : items) {
        if (!item.spacer || !item.visible)
            continue;
        if (sideDocked) {
            const int y = item.rect.top() + item.rect.height() / 2;
            painter.fillRect(inner.left(), y - 1, inner.width(), 1, shadow);
            painter.fillRect(inner.left(), y, inner.width(), 1, highlight);
        } else {
            const int x = item.rect.left() + item.rect.width() / 2;
            const int top = item.rect.top() + (item.rect.height() - tallest) / 2;
            painter.fillRect(x - 1, top, 1, tallest, shadow);
            painter.fillRect(x, top, 1, tallest, highlight);
        }
    }
}
