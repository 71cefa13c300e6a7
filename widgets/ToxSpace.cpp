#include "ToxSpace.h"

#include "oxDockBr.h"

#include <QEvent>

ToxSpace::ToxSpace(QWidget *parent) : QWidget(parent)
{
    setEnabled(false);
    fitToBar();
}

void ToxSpace::fitToBar()
{
    if (const auto *bar = qobject_cast<const ToxDockBar *>(parentWidget())) {
        setFixedSize(bar->SpacesSize(), bar->SpacesSize());
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

bool ToxSpace::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        fitToBar();
    return QWidget::event(event);
}
