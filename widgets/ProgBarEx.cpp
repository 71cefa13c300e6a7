#include "ProgBarEx.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <stdexcept>
#include <string>

namespace {
constexpr int BlockGap = 2;
}

TProgressBarEx::TProgressBarEx(QWidget *parent) : QProgressBar(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextVisible(false);
    QProgressBar::setRange(0, 100);
    setValue(0);
    connect(this, &QProgressBar::valueChanged, this, &TProgressBarEx::requestRender);
}

void TProgressBarEx::SetMin(int value)
{
    updateRange(value, Max());
}

void TProgressBarEx::SetMax(int value)
{
    updateRange(Min(), value);
}

// Like the system's own bar, a range that moves past the position takes the position along; a
// lowered minimum also puts the position there.
void TProgressBarEx::updateRange(int min, int max)
{
    if (max < min)
        throw std::logic_error(std::string(metaObject()->className()) + " property out of range");
    if (min == Min() && max == Max())
        return;
    const int position = min < Min() ? min : std::clamp(Position(), min, max);
    QProgressBar::setRange(min, max);
    setValue(position);
    requestRender();
}

void TProgressBarEx::SetPosition(int value)
{
    setValue(std::clamp(value, Min(), Max()));
}

void TProgressBarEx::StepIt()
{
    const qint64 next = qint64(Position()) + m_step;
    SetPosition(next > Max() ? Min() : int(std::max<qint64>(next, Min())));
}

void TProgressBarEx::SetBarColor(TColor value)
{
    if (m_barColor == value)
        return;
    m_barColor = value;
    requestRender();
}

void TProgressBarEx::SetColor(TColor value)
{
    if (m_color == value)
        return;
    m_color = value;
    m_parentColor = false;
    requestRender();
}

void TProgressBarEx::SetParentColor(bool value)
{
    if (m_parentColor == value)
        return;
    m_parentColor = value;
    requestRender();
}

void TProgressBarEx::SetSmooth(bool value)
{
    if (m_smooth == value)
        return;
    m_smooth = value;
    requestRender();
}

void TProgressBarEx::SetVertical(bool value)
{
    if (m_vertical == value)
        return;
    m_vertical = value;
    setOrientation(value ? Qt::Vertical : Qt::Horizontal);
    requestRender();
}

const QImage &TProgressBarEx::image()
{
    renderIfNeeded();
    return m_picture;
}

void TProgressBarEx::paintEvent(QPaintEvent *event)
{
    renderIfNeeded();
    QPainter painter(this);
    painter.drawImage(event->rect(), m_picture, event->rect());
}

void TProgressBarEx::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        requestRender();
    QProgressBar::changeEvent(event);
}

void TProgressBarEx::requestRender()
{
    m_stale = true;
    update();
}

void TProgressBarEx::renderIfNeeded()
{
    if (!m_stale && m_picture.size() == size())
        return;
    if (m_picture.size() != size())
        m_picture = QImage(size(), QImage::Format_RGB32);
    m_stale = false;
    ++m_renderCount;
    if (!m_picture.isNull())
        render();
}

QColor TProgressBarEx::groundColor() const
{
    if (m_parentColor && parentWidget())
        return parentWidget()->palette().color(parentWidget()->backgroundRole());
    if (isNoColor(m_color))
        return palette().color(QPalette::Window);
    return toQColor(m_color);
}

int TProgressBarEx::filledLength(int length) const
{
    const qint64 range = qint64(Max()) - Min();
    if (range <= 0)
        return 0;
    return int((qint64(Position()) - Min()) * length / range);
}

// A sunken edge, the ground, then the filled part from the left (or from the bottom), as one bar
// or as blocks two thirds as long as the bar is thick.
void TProgressBarEx::render()
{
    m_picture.fill(groundColor());
    QPainter canvas(&m_picture);
    QRect inner = m_picture.rect();
    drawRings(canvas, inner, colorBtnShadow, colorBtnHighlight, 1);
    if (inner.isEmpty() || isNoColor(m_barColor))
        return;
    const int length = m_vertical ? inner.height() : inner.width();
    const int thickness = m_vertical ? inner.width() : inner.height();
    const int filled = filledLength(length);
    const int block = m_smooth ? filled : std::max(thickness * 2 / 3, 1);
    const int pitch = m_smooth ? std::max(filled, 1) : block + BlockGap;
    canvas.setClipRect(inner);
    for (int offset = 0; offset < filled; offset += pitch) {
        const QRect part = m_vertical ? QRect(inner.left(), inner.bottom() + 1 - offset - block, thickness, block)
                                      : QRect(inner.left() + offset, inner.top(), block, thickness);
        canvas.fillRect(part, toQColor(m_barColor));
    }
}
