#pragma once
#include "Colors.h"
#include "DockTypes.h"
#include "TDockLineUp.h"

#include <vector>

class QPainter;
class TBandGradient;
class ToxDockBack;

// How a dock bar paints itself: the background, the frame for where the bar is, and the etched
// lines of the oxdWin97 look at its spacers.
class TDockBarPainter {
public:
    // A gradient runs from the background's Gradient colour (gradient's start) to the bar's colour.
    static void paintBackground(QPainter &painter, const QRect &rect, const ToxDockBack &background, TColor color,
                                TBandGradient &gradient);
    static void paintFrame(QPainter &painter, QRect rect, TDockBarStyle style, bool floating);
    // An etched line at every visible spacer, as long as the tallest control or, at a side,
    // across inner.
    static void paintSeparators(QPainter &painter, const std::vector<TDockItem> &items, bool sideDocked,
                                const QRect &inner);
};
