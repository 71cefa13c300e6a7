#include "TDockSite.h"

#include <QBoxLayout>
#include <QWidget>
#include <algorithm>

bool TDockSite::adopt(QWidget *parent, const QWidget *floatingWindow)
{
    if (!parent || parent == floatingWindow || parent == m_site)
        return false;
    if (m_site)
        m_site->removeEventFilter(m_bar);
    m_site = parent;
    m_site->installEventFilter(m_bar);
    return true;
}

bool TDockSite::holdsBar() const
{
    return m_site && m_bar->parentWidget() == m_site;
}

bool TDockSite::holdsInLayout() const
{
    return holdsBar() && m_site->layout() && m_site->layout()->indexOf(m_bar) >= 0;
}

void TDockSite::placeOnEdge(TDockAlign edge) const
{
    if (!holdsBar())
        return;
    const QRect room = m_site->contentsRect();
    const int width = m_bar->width();
    const int height = m_bar->height();
    switch (edge) {
    case dkTop: m_bar->setGeometry(room.left(), room.top(), room.width(), height); break;
    case dkBottom: m_bar->setGeometry(room.left(), room.bottom() + 1 - height, room.width(), height); break;
    case dkLeft: m_bar->setGeometry(room.left(), room.top(), width, room.height()); break;
    case dkRight: m_bar->setGeometry(room.right() + 1 - width, room.top(), width, room.height()); break;
    case dkFloat: break;
    }
}

void TDockSite::rememberSlot()
{
    m_slotLayout = nullptr;
    if (!holdsBar())
        return;
    if (auto *box = qobject_cast<QBoxLayout *>(m_site->layout())) {
        const int index = box->indexOf(m_bar);
        if (index >= 0) {
            m_slotLayout = box;
            m_slotIndex = index;
            m_slotStretch = box->stretch(index);
        }
    }
}

void TDockSite::restoreSlot() const
{
    if (m_slotLayout && m_slotLayout->indexOf(m_bar) < 0)
        m_slotLayout->insertWidget(std::min(m_slotIndex, m_slotLayout->count()), m_bar, m_slotStretch);
}
