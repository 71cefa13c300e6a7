#include "DFClasses.h"

#include <QPaintEvent>
#include <QPainter>

TDFGraphicControl::TDFGraphicControl(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

const QImage &TDFGraphicControl::image()
{
    renderIfNeeded();
    return m_picture;
}

void TDFGraphicControl::requestRender()
{
    m_stale = true;
    update();
}

void TDFGraphicControl::renderIfNeeded()
{
    if (!m_stale && m_picture.size() == size())
        return;
    if (m_picture.size() != size()) {
        m_picture = QImage(size(), QImage::Format_RGB32);
        m_picture.fill(palette().color(QPalette::Window));
    }
    m_stale = false;
    ++m_renderCount;
    if (!m_picture.isNull())
        renderPicture(m_picture);
}

void TDFGraphicControl::paintEvent(QPaintEvent *event)
{
    renderIfNeeded();
    QPainter painter(this);
    painter.drawImage(event->rect(), m_picture, event->rect());
}
