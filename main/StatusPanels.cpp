#include "StatusPanels.h"

#include <QLabel>

StatusPanels::StatusPanels(const std::vector<int> &widths, QWidget *parent) : QWidget(parent)
{
    // The panels never ask the window to be wider than it is.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    int left = 0;
    for (const int width : widths) {
        auto *label = new QLabel(this);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setGeometry(left, 0, width, height());
        left += width;
        m_panels.push_back(label);
    }
}

void StatusPanels::resizeEvent(QResizeEvent *)
{
    for (QLabel *label : m_panels)
        label->resize(label->width(), height());
}
