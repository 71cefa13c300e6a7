#pragma once
#include "DFClasses.h"
#include "Events.h"

class TBackgndObj;
class TDFBevel;

// A double-buffered control with a background description and a bevel, which knows whether the
// mouse is over it.
class TDFControl : public TDFGraphicControl {
    Q_OBJECT
public:
    explicit TDFControl(QWidget *parent = nullptr);

    TBackgndObj *Background() const { return m_background; }
    void SetBackground(const TBackgndObj &value);
    TDFBevel *Bevel() const { return m_bevel; }
    void SetBevel(const TDFBevel &value);
    bool MouseInside() const { return m_mouseInside; }

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void renderIfInteractive();

    TBackgndObj *m_background;
    TDFBevel *m_bevel;
    bool m_mouseInside = false;
};
