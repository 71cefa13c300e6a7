#pragma once
#include <QFont>
#include <QPoint>
#include <QSize>

class QWidget;

// The frame and caption sizes of a window and its caption fonts, as the classic desktop has them
// at its default font size, by the kind of window: sizing or fixed frame, normal or tool caption.
struct TCaptionMetrics {
    static TCaptionMetrics of(const QWidget *form);
    static bool resizable(const QWidget *form);

    // Width of the window's own caption buttons (minimise, maximise, close) with their margins.
    int systemButtonsWidth() const;
    // Height of a window rolled up to its caption bar.
    int rolledHeight() const { return 2 * frame + captionHeight; }
    // The edges that a press at point of a window of that size drags; none on the inside.
    Qt::Edges edgesAt(const QPoint &point, const QSize &window) const;
    static Qt::CursorShape cursorFor(Qt::Edges edges);

    bool toolWindow = false;
    bool dialog = false;
    bool minMaxBoxes = true;
    int frame = 4;
    int captionHeight = 19;
    int buttonWidth = 18;
    QFont captionFont;
    QFont buttonFont;
};
