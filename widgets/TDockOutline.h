#pragma once
#include <QWidget>

// The dotted outline that shows where a dragged dock bar would go: one ring for a docked shape,
// three nested for a floating one. It floats above everything and never takes the mouse.
class TDockOutline : public QWidget {
    Q_OBJECT
public:
    TDockOutline();

    // rect in screen coordinates.
    void setOutline(const QRect &rect, int rings);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_rings = 1;
};
