#pragma once
#include "DockTypes.h"

#include <QPointer>

class QBoxLayout;
class QWidget;

// The widget a dock bar docks in, and the bar's place there: its slot in the site's box layout,
// kept while the bar floats so that it docks back into it with its stretch, or, in a site
// without a layout, along the edge it docks at. The site's events go to the bar's event filter.
class TDockSite {
public:
    explicit TDockSite(QWidget *bar) : m_bar(bar) {}

    QWidget *widget() const { return m_site; }
    // The bar's parent becomes its site, unless it is none or the bar's floating window; true
    // when the site changed.
    bool adopt(QWidget *parent, const QWidget *floatingWindow);
    // Whether the bar stands in the site's layout.
    bool holdsInLayout() const;
    void placeOnEdge(TDockAlign edge) const;
    // Where the bar stands in the site's box layout, if it stands in one.
    void rememberSlot();
    // Puts the bar back where it stood, unless it is in the layout already.
    void restoreSlot() const;

private:
    bool holdsBar() const;

    QWidget *m_bar;
    QPointer<QWidget> m_site;
    QPointer<QBoxLayout> m_slotLayout;
    int m_slotIndex = 0;
    int m_slotStretch = 0;
};
