#include "ToxBackground.h"

ToxBackground::ToxBackground(QObject *owner) : QObject(owner) {}

void ToxBackground::SetDitherDown(bool value)
{
    assignField(m_ditherDown, value);
}

void ToxBackground::SetStyle(ToxBackStyle value)
{
    assignField(m_style, value);
}

void ToxBackground::SetPicture(const QImage &value)
{
    assignField(m_picture, value);
}

void ToxBackground::SetGradient(TColor value)
{
    assignField(m_gradient, value);
}

void ToxBackground::Assign(const ToxBackground &source)
{
    if (m_ditherDown == source.m_ditherDown && m_style == source.m_style && m_picture == source.m_picture &&
        m_gradient == source.m_gradient)
        return;
    m_ditherDown = source.m_ditherDown;
    m_style = source.m_style;
    m_picture = source.m_picture;
    m_gradient = source.m_gradient;
    emit changed();
}
