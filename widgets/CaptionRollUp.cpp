#include "CaptionRollUp.h"

#include <QWidget>

TCaptionRollUp::TCaptionRollUp(QWidget *form, QWidget *captionBar) : m_form(form), m_captionBar(captionBar) {}

void TCaptionRollUp::rollUp(int height)
{
    m_changing = true;
    m_size = m_form->size();
    m_minimumHeight = m_form->minimumHeight();
    m_restoreSize = QSize();
    showContent(false);
    m_rolledUp = true;
    changed();
    m_form->setMinimumHeight(height);
    m_form->resize(m_form->width(), height);
    m_changing = false;
}

void TCaptionRollUp::rollDown()
{
    m_changing = true;
    unrolled();
    m_form->resize(m_form->width(), m_size.height());
    m_changing = false;
}

void TCaptionRollUp::unrolled()
{
    m_rolledUp = false;
    m_form->setMinimumHeight(m_minimumHeight);
    changed();
    showContent(true);
}

// The window manager keeps the rolled size to restore a window maximised while rolled up; the
// maximised size unrolls it.
void TCaptionRollUp::stateChanged(Qt::WindowStates old)
{
    const bool was = old.testFlag(Qt::WindowMaximized);
    const bool is = m_form->isMaximized();
    if (is && !was) {
        m_restoreSize = m_rolledUp ? m_size : QSize();
    } else if (was && !is) {
        if (m_restoreSize.isValid())
            m_form->resize(m_restoreSize);
        m_restoreSize = QSize();
    }
}

void TCaptionRollUp::changed()
{
    if (OnChange)
        OnChange();
}

// Rolled up, the window is its caption bar alone: the other children would be laid over the
// caption rows and the borders, taking their clicks, and would keep the keyboard out of sight.
void TCaptionRollUp::showContent(bool shown)
{
    if (shown) {
        for (const QPointer<QWidget> &child : m_hiddenContent) {
            if (child)
                child->show();
        }
        m_hiddenContent.clear();
        if (m_hiddenFocus)
            m_hiddenFocus->setFocus();
        return;
    }
    m_hiddenFocus = m_form->focusWidget();
    for (QWidget *child : m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool keptHidden = child->isHidden() && child->testAttribute(Qt::WA_WState_ExplicitShowHide);
        if (child != m_captionBar && !child->isWindow() && !keptHidden) {
            m_hiddenContent.emplace_back(child);
            child->hide();
        }
    }
}
