#include "TNCButton.h"

#include "Colors.h"
#include "TNCButtonFocus.h"

#include <QPainter>

TNCButton::TNCButton(QObject *owner) : QObject(owner)
{
    if (auto *captionBar = qobject_cast<QWidget *>(owner)) {
        m_focus = new TNCButtonFocus(*this, captionBar);
        connect(this, &TNCButton::changed, m_focus, &TNCButtonFocus::follow);
    }
}

// The stand-in lives in the caption bar, which may outlive the button.
TNCButton::~TNCButton()
{
    delete m_focus;
}

void TNCButton::SetBounds(const QRect &value)
{
    if (m_bounds == value)
        return;
    m_bounds = value;
    emit changed();
}

void TNCButton::SetShown(bool value)
{
    if (m_shown == value)
        return;
    m_shown = value;
    emit changed();
}

void TNCButton::SetEnabled(bool value)
{
    if (m_enabled == value)
        return;
    m_enabled = value;
    m_tracking = false;
    m_keyHeld = false;
    emit changed();
}

void TNCButton::SetDown(bool value)
{
    if (m_down == value)
        return;
    m_down = value;
    emit changed();
}

void TNCButton::SetCaption(const QString &value)
{
    if (m_caption == value)
        return;
    m_caption = value;
    emit changed();
}

void TNCButton::SetGlyph(const QImage &value)
{
    if (m_glyph == value)
        return;
    m_glyph = value;
    emit changed();
}

void TNCButton::SetDownGlyph(const QImage &value)
{
    if (m_downGlyph == value)
        return;
    m_downGlyph = value;
    emit changed();
}

void TNCButton::SetFont(const QFont &value)
{
    if (m_font == value)
        return;
    m_font = value;
    emit changed();
}

void TNCButton::SetHint(const QString &value)
{
    if (m_hint == value)
        return;
    m_hint = value;
    emit changed();
}

void TNCButton::SetMenu(QMenu *value)
{
    if (m_menu == value)
        return;
    m_menu = value;
    emit changed();
}

void TNCButton::SetKeyHeld(bool value)
{
    value = value && m_enabled;
    if (m_keyHeld == value)
        return;
    m_keyHeld = value;
    emit changed();
}

void TNCButton::Click()
{
    if (m_enabled && OnClick)
        OnClick(this);
}

TNCButtonState TNCButton::State() const
{
    if ((m_tracking && m_inside) || m_keyHeld)
        return nbsPressed;
    return m_down ? nbsLocked : nbsUp;
}

void TNCButton::setInside(bool inside)
{
    if (m_inside == inside)
        return;
    m_inside = inside;
    emit changed();
}

void TNCButton::mousePress(const QPoint &point, Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !m_enabled)
        return;
    m_tracking = true;
    m_inside = false;
    setInside(QRect(QPoint(), m_bounds.size()).contains(point));
}

void TNCButton::mouseMove(const QPoint &point)
{
    if (m_tracking)
        setInside(QRect(QPoint(), m_bounds.size()).contains(point));
}

void TNCButton::mouseRelease(const QPoint &point, Qt::MouseButton button)
{
    if (!m_tracking || button != Qt::LeftButton)
        return;
    m_tracking = false;
    const bool inside = QRect(QPoint(), m_bounds.size()).contains(point);
    m_inside = false;
    emit changed();
    if (inside)
        Click();
}

void TNCButton::paint(QPainter &painter, const QPoint &origin) const
{
    QRect rect = m_bounds.translated(-origin);
    painter.fillRect(rect, toQColor(colorBtnFace));
    switch (State()) {
    case nbsUp:
        drawRings(painter, rect, colorBtnHighlight, colorWindowFrame, 1);
        drawRings(painter, rect, colorBtnFace, colorBtnShadow, 1);
        paintContent(painter, rect, QPoint(-1, 0));
        break;
    case nbsPressed:
        drawRings(painter, rect, colorWindowFrame, colorBtnHighlight, 1);
        drawRings(painter, rect, colorBtnShadow, colorBtnFace, 1);
        paintContent(painter, rect, QPoint(0, 1));
        break;
    case nbsLocked:
        drawRings(painter, rect, colorBtnShadow, colorBtnHighlight, 1);
        paintContent(painter, rect, QPoint(0, 1));
        break;
    }
}

void TNCButton::paintContent(QPainter &painter, const QRect &inner, const QPoint &shift) const
{
    painter.save();
    painter.setClipRect(inner);
    const bool sunken = State() != nbsUp;
    const QImage &glyph = sunken && !m_downGlyph.isNull() ? m_downGlyph : m_glyph;
    if (!glyph.isNull()) {
        const QPoint at(inner.left() + (inner.width() - glyph.width()) / 2,
                        inner.top() + (inner.height() - glyph.height()) / 2);
        painter.drawImage(at + shift, glyph);
    } else if (!m_caption.isEmpty()) {
        painter.setFont(m_font);
        painter.setPen(toQColor(colorBtnText));
        painter.drawText(inner.translated(shift), Qt::AlignCenter, m_caption.left(1));
    }
    painter.restore();
}
