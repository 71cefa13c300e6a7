#pragma once
#include "DockTypes.h"

#include <QRect>
#include <vector>

class QWidget;

// One control of a dock bar's line-up: where it is and whether it shows.
struct TDockItem {
    QWidget *control = nullptr;
    QRect rect;
    bool spacer = false;
    bool visible = true;
};

// The placement rule of a dock bar's unaligned controls: one row when docked at the top or the
// bottom, one column at the sides, and rows that wrap inside the area when floating.
class TDockLineUp {
public:
    TDockLineUp(TDockAlign dock, const QRect &area, int borderWidth, int gapSize);

    // Orders items as they stood in a line-up made while docked at lastDock, so that a bar moved
    // from the top to a side keeps its left-to-right order as top-to-bottom order.
    static void sortByPlace(std::vector<TDockItem> &items, TDockAlign lastDock, int borderWidth);
    // Moves the items to their places and returns the size they need; an empty size, with
    // nothing moved, when no item has any height.
    QSize arrange(std::vector<TDockItem> &items) const;

private:
    QSize arrangeRow(std::vector<TDockItem> &items, int rowHeight) const;
    QSize arrangeColumn(std::vector<TDockItem> &items, int columnWidth) const;
    QSize arrangeRows(std::vector<TDockItem> &items, int rowHeight) const;

    TDockAlign m_dock;
    QRect m_area;
    int m_borderWidth;
    int m_gapSize;
};
