#include "StartFocus.h"

#include <QLineEdit>
#include <QWidget>

StartFocus::StartFocus(QWidget *start, QLineEdit *field) : m_start(start), m_field(field) {}

void StartFocus::setEnabled(bool enabled)
{
    const bool held = holdsFocus(m_start);
    m_start->setEnabled(enabled);
    if (!enabled) {
        if (held)
            lend();
        return;
    }
    if (m_lent && holdsFocus(m_field) && m_field->text() == m_textLent)
        m_start->setFocus(Qt::OtherFocusReason);
    m_lent = false;
}

void StartFocus::lend()
{
    m_field->setFocus(Qt::OtherFocusReason);
    m_lent = true;
    m_textLent = m_field->text();
}

// Asked of the window, whether it is active or not: the toolkit moves a disabled control's focus
// on either way.
bool StartFocus::holdsFocus(const QWidget *widget)
{
    return widget->window()->focusWidget() == widget;
}
