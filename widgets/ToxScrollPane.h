#pragma once
#include <QScrollArea>

class ToxSplit;

// One pane of a split: a borderless scroll box on the window colour. Made with a split as parent
// (or moved into one) it joins the split's pane list; destroyed, it leaves it.
class ToxScrollPane : public QScrollArea {
    Q_OBJECT
public:
    explicit ToxScrollPane(QWidget *parent = nullptr);

    ToxSplit *split() const;
    // The pane's place in its split's list; -1 outside a split.
    int PaneIndex() const;
    void SetPaneIndex(int value);

protected:
    bool event(QEvent *event) override;
};
