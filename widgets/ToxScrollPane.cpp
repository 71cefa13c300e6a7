#include "ToxScrollPane.h"

#include "Colors.h"
#include "oxSplits.h"

#include <QEvent>
#include <algorithm>

ToxScrollPane::ToxScrollPane(QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, toQColor(colorWindow));
    setPalette(colours);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    // While the pane is still being made the split cannot tell it from any other child.
    if (ToxSplit *owner = split())
        owner->addPane(this);
}

ToxSplit *ToxScrollPane::split() const
{
    return qobject_cast<ToxSplit *>(parentWidget());
}

int ToxScrollPane::PaneIndex() const
{
    const ToxSplit *owner = split();
    if (!owner)
        return -1;
    const auto &panes = owner->Panes();
    const auto found = std::find(panes.begin(), panes.end(), this);
    return found == panes.end() ? -1 : int(found - panes.begin());
}

void ToxScrollPane::SetPaneIndex(int value)
{
    if (ToxSplit *owner = split(); owner && value != PaneIndex())
        owner->movePane(this, value);
}

bool ToxScrollPane::event(QEvent *event)
{
    const bool result = QScrollArea::event(event);
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        if (ToxSplit *owner = split())
            owner->layOut();
    }
    return result;
}
