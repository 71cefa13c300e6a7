#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QObject>

enum TBevelType { btNone, btWindows95, btFlat3D, btIE4Interactive, bt2DRect };

// The frame of a picture control, with its shades worked out from one colour.
class TDFBevel : public ChangeNotifier {
    Q_OBJECT
public:
    explicit TDFBevel(QObject *owner = nullptr);

    TBevelType BevelType() const { return m_bevelType; }
    void SetBevelType(TBevelType value);
    // 0 to 5; other values are ignored.
    int Size() const { return m_size; }
    void SetSize(int value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value);

    void Assign(const TDFBevel &source);

    // Pixels the bevel takes on each side.
    int thickness() const;
    // Draws along the edge of rect and shrinks it by thickness(); the interactive type draws only
    // while active.
    void draw(QPainter &canvas, QRect &rect, bool active) const;

private:
    TBevelType m_bevelType = btWindows95;
    int m_size = 2;
    TColor m_color = colorBtnFace;
};
