#include "TNCButtonFocus.h"

#include "ButtonAccessible.h"
#include "Colors.h"
#include "TNCButton.h"

#include <QKeyEvent>
#include <QPainter>

TNCButtonFocus::TNCButtonFocus(TNCButton &button, QWidget *captionBar) : QWidget(captionBar), m_button(button)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
    TButtonAccessible::registerButtons();
    follow();
}

// Bounds are in the window's coordinates.
void TNCButtonFocus::follow()
{
    const QWidget *bar = parentWidget();
    setGeometry(m_button.Bounds().translated(-bar->mapTo(bar->window(), QPoint())));
    setVisible(m_button.Shown() && !m_button.Bounds().isEmpty());
    setEnabled(m_button.Enabled());
    setAccessibleName(m_button.Hint().isEmpty() ? m_button.Caption() : m_button.Hint());
    update();
}

void TNCButtonFocus::press()
{
    if (isEnabled())
        m_button.Click();
}

bool TNCButtonFocus::opensMenu() const
{
    return m_button.Menu() != nullptr;
}

void TNCButtonFocus::paintEvent(QPaintEvent *)
{
    if (!hasFocus() || !window()->testAttribute(Qt::WA_KeyboardFocusChange))
        return;
    QImage mark(size(), QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    drawFocusDots(mark, mark.rect().adjusted(2, 2, -2, -2));
    QPainter(this).drawImage(0, 0, mark);
}

// Space shows the button pressed while held and clicks it on release; Enter clicks at once.
void TNCButtonFocus::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
    } else if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat())
            m_button.SetKeyHeld(true);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        press();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TNCButtonFocus::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_button.KeyHeld()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_button.SetKeyHeld(false);
    press();
}

void TNCButtonFocus::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void TNCButtonFocus::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    m_button.SetKeyHeld(false);
    update();
}
