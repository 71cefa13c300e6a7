#pragma once
#include "ChangeNotifier.h"
#include "Colors.h"

#include <QObject>
#include <vector>

// The two-colour gradient of caption bars, dock bars and graphic buttons: a fixed number of
// bands from a start colour to an end colour. The colour table is built on first use and again
// after any change.
class TBandGradient : public ChangeNotifier {
    Q_OBJECT
public:
    static constexpr int DefaultSteps = 128;

    explicit TBandGradient(QObject *owner = nullptr);

    TColor StartColor() const { return m_startColor; }
    void SetStartColor(TColor value);
    TColor EndColor() const { return m_endColor; }
    void SetEndColor(TColor value);
    int Steps() const { return m_steps; }
    void SetSteps(int value);

    // Band i is the colour of table entry i; entry 0 (the start colour) is at the left or top edge.
    void fillHorizontal(QPainter &canvas, const QRect &rect);
    void fillVertical(QPainter &canvas, const QRect &rect);
    const std::vector<QRgb> &colorTable();

private:
    void notifyChange() override;
    void buildTable();
    void fillBands(QPainter &canvas, const QRect &rect, bool alongX);

    TColor m_startColor = colorWhite;
    TColor m_endColor = colorBlack;
    int m_steps = DefaultSteps;
    std::vector<QRgb> m_table;
};
