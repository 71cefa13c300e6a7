#pragma once
#include "AHMComponent.h"
#include "Colors.h"
#include "Events.h"

class TAHMBrushFill;
class TAHMGradient;
class TAHMTexture;
class QPainter;

enum TBackgroundStyle { bGradient, bTexture, bSolidcolor, bBrushFillUseCurrent, bBrushFillSolidColor };

// A background description that other components link to, such as a splash screen. Whoever
// draws with it listens to changed().
class TAHMBackground : public TAHMComponent {
    Q_OBJECT
public:
    explicit TAHMBackground(QObject *owner = nullptr);

    TAHMTexture *Texture() const { return m_texture; }
    void SetTexture(const TAHMTexture &value);
    TAHMGradient *Gradient() const { return m_gradient; }
    void SetGradient(const TAHMGradient &value);
    TAHMBrushFill *BrushFill() const { return m_brushFill; }
    void SetBrushFill(const TAHMBrushFill &value);
    TColor SolidColor() const { return m_solidColor; }
    void SetSolidColor(TColor value);
    TBackgroundStyle BackgroundStyle() const { return m_backgroundStyle; }
    void SetBackgroundStyle(TBackgroundStyle value);

    // Paints (0, 0, width, height) of canvas.
    void paint(QPainter &canvas, int width, int height) const;

    TNotifyEvent OnChanged;

signals:
    void changed();

private:
    void notifyChange();

    TAHMTexture *m_texture;
    TAHMGradient *m_gradient;
    TAHMBrushFill *m_brushFill;
    TColor m_solidColor = colorBtnFace;
    TBackgroundStyle m_backgroundStyle = bGradient;
};
