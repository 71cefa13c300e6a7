#include "TDockBarLook.h"

#include "BandGradient.h"
#include "TDockBarPainter.h"
#include "ToxDockBack.h"

TDockBarLook::TDockBarLook(QObject *owner) : m_background(new ToxDockBack(owner)), m_gradient(new TBandGradient(owner))
{
    QObject::connect(m_background, &ToxDockBack::changed, owner, [this] { changed(); });
    syncGradient();
}

void TDockBarLook::setColor(TColor value)
{
    if (m_color == value)
        return;
    m_color = value;
    changed();
}

void TDockBarLook::setStyle(TDockBarStyle value)
{
    if (m_style == value)
        return;
    m_style = value;
    if (OnChange)
        OnChange();
}

void TDockBarLook::changed()
{
    syncGradient();
    if (OnChange)
        OnChange();
}

void TDockBarLook::syncGradient()
{
    m_gradient->SetStartColor(toRgbColor(m_background->Gradient()));
    m_gradient->SetEndColor(toRgbColor(m_color));
}

void TDockBarLook::paint(QPainter &painter, const QRect &rect, bool floating) const
{
    TDockBarPainter::paintBackground(painter, rect, *m_background, m_color, *m_gradient);
    TDockBarPainter::paintFrame(painter, rect, effectiveStyle(), floating);
}
