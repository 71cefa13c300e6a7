#include "Backgnd.h"

#include "BackgndObj.h"

#include <QEvent>
#include <QPainter>

namespace {
constexpr int DefaultSize = 144;
}

TBackground::TBackground(QWidget *parent) : TDFGraphicControl(parent), m_backObj(new TBackgndObj(this))
{
    resize(DefaultSize, DefaultSize);
    connect(m_backObj, &TBackgndObj::changed, this, &TBackground::requestRender);
}

void TBackground::SetBackObj(const TBackgndObj &value)
{
    m_backObj->Assign(value);
}

void TBackground::SetAlign(TAlign value)
{
    if (m_align == value)
        return;
    m_align = value;
    if (!parentWidget())
        return;
    if (m_align == alClient) {
        parentWidget()->installEventFilter(this);
        fillParent();
    } else {
        parentWidget()->removeEventFilter(this);
    }
}

void TBackground::renderPicture(QImage &picture)
{
    QPainter canvas(&picture);
    m_backObj->paint(canvas, picture.rect());
}

bool TBackground::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fillParent();
    return TDFGraphicControl::eventFilter(watched, event);
}

void TBackground::fillParent()
{
    setGeometry(parentWidget()->rect());
    lower();
}
