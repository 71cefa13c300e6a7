#pragma once
#include "Colors.h"
#include "DockTypes.h"

#include <QRect>
#include <functional>

class QObject;
class QPainter;
class TBandGradient;
class ToxDockBack;

// How a dock bar looks: its colour, what it paints behind its controls and the style of its
// frame, and the painting of its background and frame with them. A gradient runs from the
// background's Gradient colour to the bar's colour.
class TDockBarLook {
public:
    explicit TDockBarLook(QObject *owner);

    TColor color() const { return m_color; }
    void setColor(TColor value);
    TDockBarStyle style() const { return m_style; }
    void setStyle(TDockBarStyle value);
    // oxdAuto looks like oxdWin95.
    TDockBarStyle effectiveStyle() const { return m_style == oxdAuto ? oxdWin95 : m_style; }
    ToxDockBack *background() const { return m_background; }
    // Named colours are resolved here, so that a palette change rebuilds the colour table.
    void syncGradient();
    void paint(QPainter &painter, const QRect &rect, bool floating) const;

    // The look changed.
    std::function<void()> OnChange;

private:
    void changed();

    TColor m_color = colorBtnFace;
    TDockBarStyle m_style = oxdAuto;
    ToxDockBack *m_background;
    TBandGradient *m_gradient;
};
