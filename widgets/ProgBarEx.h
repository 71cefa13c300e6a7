#pragma once
#include "Colors.h"

#include <QImage>
#include <QProgressBar>

// A progress bar over the full 32-bit range with a continuous or blocked bar of its own colour,
// filling left to right or bottom to top. Positions are kept inside the range.
class TProgressBarEx : public QProgressBar {
    Q_OBJECT
public:
    explicit TProgressBarEx(QWidget *parent = nullptr);

    int Min() const { return minimum(); }
    void SetMin(int value);
    int Max() const { return maximum(); }
    void SetMax(int value);
    int Position() const { return value(); }
    void SetPosition(int value);
    int Step() const { return m_step; }
    void SetStep(int value) { m_step = value; }
    TColor BarColor() const { return m_barColor; }
    void SetBarColor(TColor value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);
    bool Smooth() const { return m_smooth; }
    void SetSmooth(bool value);
    bool Vertical() const { return m_vertical; }
    void SetVertical(bool value);

    // Advances Position by Step; past Max it starts over from Min.
    void StepIt();

    // The bar as drawn; rendered first when it is out of date.
    const QImage &image();
    int renderCount() const { return m_renderCount; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Throws std::logic_error when max is below min; the range is left as it was.
    void updateRange(int min, int max);
    void requestRender();
    void renderIfNeeded();
    void render();
    QColor groundColor() const;
    int filledLength(int length) const;

    int m_step = 10;
    TColor m_barColor = colorActiveCaption;
    TColor m_color = colorWindow;
    bool m_parentColor = true;
    bool m_smooth = false;
    bool m_vertical = false;
    QImage m_picture;
    bool m_stale = true;
    int m_renderCount = 0;
};
