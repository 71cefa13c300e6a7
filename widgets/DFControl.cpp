#include "DFControl.h"

#include "BackgndObj.h"
#include "DFBevel.h"

TDFControl::TDFControl(QWidget *parent)
    : TDFGraphicControl(parent), m_background(new TBackgndObj(this)), m_bevel(new TDFBevel(this))
{
    connect(m_background, &TBackgndObj::changed, this, &TDFControl::requestRender);
    connect(m_bevel, &TDFBevel::changed, this, &TDFControl::requestRender);
}

void TDFControl::SetBackground(const TBackgndObj &value)
{
    m_background->Assign(value);
}

void TDFControl::SetBevel(const TDFBevel &value)
{
    m_bevel->Assign(value);
}

// The interactive bevel shows while the mouse is over the control.
void TDFControl::renderIfInteractive()
{
    if (m_bevel->BevelType() == btIE4Interactive)
        requestRender();
}

void TDFControl::enterEvent(QEnterEvent *event)
{
    m_mouseInside = true;
    renderIfInteractive();
    if (OnMouseEnter)
        OnMouseEnter(this);
    TDFGraphicControl::enterEvent(event);
}

void TDFControl::leaveEvent(QEvent *event)
{
    m_mouseInside = false;
    renderIfInteractive();
    if (OnMouseLeave)
        OnMouseLeave(this);
    TDFGraphicControl::leaveEvent(event);
}
