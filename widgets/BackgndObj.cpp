#include "BackgndObj.h"

#include "Gradient.h"

#include <QPainter>

TBackgndObj::TBackgndObj(QObject *owner) : ChangeNotifier(owner), m_gradient(new TGradient(this))
{
    connect(m_gradient, &TGradient::changed, this, &TBackgndObj::notifyChange);
}

void TBackgndObj::SetGradient(const TGradient &value)
{
    m_gradient->Assign(value);
}

void TBackgndObj::SetPicture(const QImage &value)
{
    assignField(m_picture, value);
}

void TBackgndObj::SetBackStyle(TBackStyle value)
{
    assignField(m_backStyle, value);
}

void TBackgndObj::SetColor(TColor value)
{
    assignField(m_color, value);
}

void TBackgndObj::Assign(const TBackgndObj &source)
{
    const QSignalBlocker quiet(m_gradient);
    m_gradient->Assign(*source.m_gradient);
    m_picture = source.m_picture;
    m_backStyle = source.m_backStyle;
    notifyChange();
}

void TBackgndObj::paint(QPainter &canvas, const QRect &rect) const
{
    if (rect.isEmpty())
        return;
    switch (m_backStyle) {
    case bgSingleColor:
        if (!isNoColor(m_color))
            canvas.fillRect(rect, toQColor(m_color));
        break;
    case bgGradient: m_gradient->paint(canvas, rect); break;
    case bgSingleBitmap:
        canvas.save();
        canvas.setClipRect(rect, Qt::IntersectClip);
        canvas.drawImage(0, 0, m_picture);
        canvas.restore();
        break;
    case bgTileBitmap: paintTiles(canvas, rect); break;
    }
}

// The tile grid is anchored at the canvas origin, so neighbouring areas tile seamlessly.
void TBackgndObj::paintTiles(QPainter &canvas, const QRect &rect) const
{
    if (m_picture.isNull())
        return;
    const int width = m_picture.width();
    const int height = m_picture.height();
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    const int firstX = rect.left() - (rect.left() % width + width) % width;
    const int firstY = rect.top() - (rect.top() % height + height) % height;
    for (int y = firstY; y <= rect.bottom(); y += height)
        for (int x = firstX; x <= rect.right(); x += width)
            canvas.drawImage(x, y, m_picture);
    canvas.restore();
}
