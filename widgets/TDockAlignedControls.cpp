#include "TDockAlignedControls.h"

#include <QWidget>

bool TDockAlignedControls::setAlign(QObject *control, TControlAlign align)
{
    if (this->align(control) == align)
        return false;
    if (align == caNone)
        m_aligns.remove(control);
    else
        m_aligns.insert(control, align);
    return true;
}

std::vector<QWidget *> TDockAlignedControls::shownAt(const QObjectList &controls, TControlAlign align) const
{
    std::vector<QWidget *> shown;
    for (QObject *object : controls)
        if (m_aligns.value(object, caNone) == align && !explicitlyHidden(static_cast<QWidget *>(object)))
            shown.push_back(static_cast<QWidget *>(object));
    return shown;
}

QRect TDockAlignedControls::place(const QObjectList &controls, QRect area) const
{
    for (QWidget *control : shownAt(controls, caTop)) {
        control->setGeometry(area.left(), area.top(), area.width(), control->height());
        area.setTop(area.top() + control->height());
    }
    const std::vector<QWidget *> bottom = shownAt(controls, caBottom);
    for (auto control = bottom.rbegin(); control != bottom.rend(); ++control) {
        (*control)->setGeometry(area.left(), area.bottom() + 1 - (*control)->height(), area.width(),
                                (*control)->height());
        area.setBottom(area.bottom() - (*control)->height());
    }
    for (QWidget *control : shownAt(controls, caLeft)) {
        control->setGeometry(area.left(), area.top(), control->width(), area.height());
        area.setLeft(area.left() + control->width());
    }
    const std::vector<QWidget *> right = shownAt(controls, caRight);
    for (auto control = right.rbegin(); control != right.rend(); ++control) {
        (*control)->setGeometry(area.right() + 1 - (*control)->width(), area.top(), (*control)->width(), area.height());
        area.setRight(area.right() - (*control)->width());
    }
    return area;
}

QSize TDockAlignedControls::extent() const
{
    QSize extent(0, 0);
    for (auto aligned = m_aligns.cbegin(); aligned != m_aligns.cend(); ++aligned) {
        const auto *control = static_cast<const QWidget *>(aligned.key());
        if (explicitlyHidden(control))
            continue;
        if (aligned.value() == caTop || aligned.value() == caBottom)
            extent.rheight() += control->height();
        else
            extent.rwidth() += control->width();
    }
    return extent;
}
