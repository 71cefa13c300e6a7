#pragma once
#include <QWidget>

// A gap in a dock bar's line-up: a square of the bar's SpacesSize that shows nothing and takes
// no clicks, which go to the bar beneath.
class ToxSpace : public QWidget {
    Q_OBJECT
public:
    explicit ToxSpace(QWidget *parent = nullptr);

    // Takes the size of the dock bar it is in; outside a dock bar any size goes.
    void fitToBar();

protected:
    bool event(QEvent *event) override;
};
