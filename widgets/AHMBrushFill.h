#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QObject>

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// The hatch part of a background component.
class TAHMBrushFill : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TAHMBrushFill(QObject *owner = nullptr);

    TBrushStyle BrushStyle() const { return m_brushStyle; }
    void SetBrushStyle(TBrushStyle value);
    TColor BrushColor() const { return m_brushColor; }
    void SetBrushColor(TColor value);

    void Assign(const TAHMBrushFill &source);

    // Fills (0, 0, width, height) with the pattern over ground.
    void paint(QPainter &canvas, int width, int height, TColor ground) const;

private:
    TBrushStyle m_brushStyle = bsSolid;
    TColor m_brushColor = colorBtnFace;
};
