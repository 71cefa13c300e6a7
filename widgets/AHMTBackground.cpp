#include "AHMTBackground.h"

#include "AHMBrushFill.h"
#include "AHMGradient.h"
#include "AHMTexture.h"

#include <QPainter>

TAHMBackground::TAHMBackground(QObject *owner)
    : TAHMComponent(owner), m_texture(new TAHMTexture(this)), m_gradient(new TAHMGradient(this)),
      m_brushFill(new TAHMBrushFill(this))
{
    connect(m_texture, &TAHMTexture::changed, this, &TAHMBackground::notifyChange);
    connect(m_gradient, &TAHMGradient::changed, this, &TAHMBackground::notifyChange);
    connect(m_brushFill, &TAHMBrushFill::changed, this, &TAHMBackground::notifyChange);
}

void TAHMBackground::SetTexture(const TAHMTexture &value)
{
    m_texture->Assign(value);
}

void TAHMBackground::SetGradient(const TAHMGradient &value)
{
    m_gradient->Assign(value);
}

void TAHMBackground::SetBrushFill(const TAHMBrushFill &value)
{
    m_brushFill->Assign(value);
}

void TAHMBackground::SetSolidColor(TColor value)
{
    if (m_solidColor == value)
        return;
    m_solidColor = value;
    notifyChange();
}

void TAHMBackground::SetBackgroundStyle(TBackgroundStyle value)
{
    if (m_backgroundStyle == value)
        return;
    m_backgroundStyle = value;
    notifyChange();
}

void TAHMBackground::notifyChange()
{
    emit changed();
    if (OnChanged)
        OnChanged(this);
}

void TAHMBackground::paint(QPainter &canvas, int width, int height) const
{
    switch (m_backgroundStyle) {
    case bGradient: m_gradient->paint(canvas, width, height, m_solidColor); break;
    case bTexture: m_texture->paint(canvas, width, height); break;
    case bSolidcolor:
        if (!isNoColor(m_solidColor))
            canvas.fillRect(0, 0, width, height, toQColor(m_solidColor));
        break;
    case bBrushFillUseCurrent: m_brushFill->paint(canvas, width, height, colorWhite); break;
    case bBrushFillSolidColor: m_brushFill->paint(canvas, width, height, m_solidColor); break;
    }
}
