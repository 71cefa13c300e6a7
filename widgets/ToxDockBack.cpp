#include "ToxDockBack.h"

ToxDockBack::ToxDockBack(QObject *owner) : QObject(owner) {}

void ToxDockBack::SetStyle(ToxDockBackStyle value)
{
    if (m_style == value)
        return;
    m_style = value;
    emit changed();
}

void ToxDockBack::SetPicture(const QImage &value)
{
    if (m_picture == value)
        return;
    m_picture = value;
    emit changed();
}

void ToxDockBack::SetGradient(TColor value)
{
    if (m_gradient == value)
        return;
    m_gradient = value;
    emit changed();
}

void ToxDockBack::Assign(const ToxDockBack &source)
{
    if (m_style == source.m_style && m_picture == source.m_picture && m_gradient == source.m_gradient)
        return;
    m_style = source.m_style;
    m_picture = source.m_picture;
    m_gradient = source.m_gradient;
    emit changed();
}
