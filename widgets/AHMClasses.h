#pragma once
#include "Colors.h"
#include "Events.h"

#include <QObject>

enum TAHMFrameStyle {
    frameSolid,
    frameRaised,
    frameLowered,
    frameNone,
    frameFramedUp,
    frameFramedDown,
    framePanelUp,
    framePanelDown,
    frameLightBordered
};

// A frame of one or two groups of 3D rings. A change repaints the owner when the owner is a
// control.
class TAHMFrame : public QObject {
    Q_OBJECT
public:
    explicit TAHMFrame(QObject *owner = nullptr);

    TAHMFrameStyle FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(TAHMFrameStyle value);
    TColor Highlight() const { return m_highlight; }
    void SetHighlight(TColor value);
    TColor Shadow() const { return m_shadow; }
    void SetShadow(TColor value);
    int Offset() const { return m_offset; }
    void SetOffset(int value);
    TColor Solid() const { return m_solid; }
    void SetSolid(TColor value);
    int FrameWidth() const { return m_frameWidth; }
    void SetFrameWidth(int value);

    void Assign(const TAHMFrame &source);

    // Draws the frame along the edge of rect and shrinks rect by what it drew.
    void draw(QPainter &canvas, QRect &rect) const;

    TNotifyEvent OnChange;

private:
    template <typename T> void assignField(T &field, T value);
    void notifyChange();

    TAHMFrameStyle m_frameStyle = frameRaised;
    TColor m_highlight = colorBtnHighlight;
    TColor m_shadow = colorBtnShadow;
    int m_offset = 0;
    TColor m_solid = colorBlack;
    int m_frameWidth = 1;
};
