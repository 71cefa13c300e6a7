#pragma once
#include "DockTypes.h"

#include <QHash>
#include <QObjectList>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

// The controls of a dock bar that keep to one side of it, outside the line-up, across the whole
// height (top, bottom: width) that is left. Controls of one side stand in the order they were
// made, left to right or top to bottom: the last made of the right side is at the right edge.
// Controls hidden on purpose take no room.
class TDockAlignedControls {
public:
    TControlAlign align(QObject *control) const { return m_aligns.value(control, caNone); }
    // False when control was aligned so already.
    bool setAlign(QObject *control, TControlAlign align);
    void forget(QObject *control) { m_aligns.remove(control); }
    // Places the aligned ones among controls (the bar's children, in the order they were made)
    // along the edges of area, top and bottom first; returns the area left inside them.
    QRect place(const QObjectList &controls, QRect area) const;
    // The height the top and bottom ones take and the width the side ones take.
    QSize extent() const;

private:
    std::vector<QWidget *> shownAt(const QObjectList &controls, TControlAlign align) const;

    QHash<QObject *, TControlAlign> m_aligns;
};
