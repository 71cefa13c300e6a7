#include "CaptionTray.h"

#include <QCursor>

namespace {

constexpr int HintLength = 63;

} // namespace

TCaptionTray::TCaptionTray(QWidget *form, QObject *owner)
    : QObject(owner), m_form(form), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, &TCaptionTray::activated);
}

void TCaptionTray::SetIcon(const QIcon &value)
{
    if (m_icon.cacheKey() == value.cacheKey())
        return;
    m_icon = value;
    update();
}

void TCaptionTray::SetHint(const QString &value)
{
    if (m_hint == value)
        return;
    m_hint = value;
    update();
}

void TCaptionTray::SetEnabled(bool value)
{
    if (m_enabled == value)
        return;
    m_enabled = value;
    update();
}

void TCaptionTray::formShownOrHidden()
{
    if (m_started)
        return;
    m_started = true;
    update();
}

void TCaptionTray::update()
{
    if (!m_started)
        return;
    m_tray->setIcon(m_icon.isNull() ? m_form->windowIcon() : m_icon);
    m_tray->setToolTip(m_hint.left(HintLength));
    m_tray->setVisible(m_enabled);
}

void TCaptionTray::activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (OnClick)
            OnClick(this);
        break;
    case QSystemTrayIcon::DoubleClick:
        if (OnDblClk)
            OnDblClk(this);
        break;
    case QSystemTrayIcon::Context:
        if (m_menu) {
            m_form->raise();
            m_form->activateWindow();
            m_menu->popup(QCursor::pos());
        }
        break;
    default: break;
    }
}
