#include "CaptionTray.h"

#include <QCursor>

namespace {

constexpr int HintLength = 63;
// The desktop tells no one when its tray goes; it is asked this often while the icon is enabled.
constexpr int WatchMs = 500;

std::function<bool()> &availabilityHook()
{
    static std::function<bool()> hook;
    return hook;
}

} // namespace

TCaptionTray::TCaptionTray(QWidget *form, QObject *owner)
    : QObject(owner), m_form(form), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, &TCaptionTray::activated);
    m_watch.setInterval(WatchMs);
    connect(&m_watch, &QTimer::timeout, this, &TCaptionTray::watch);
}

bool TCaptionTray::available()
{
    return availabilityHook() ? availabilityHook()() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TCaptionTray::setAvailabilityHook(std::function<bool()> hook)
{
    availabilityHook() = std::move(hook);
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
    if (m_enabled && available())
        m_watch.start();
    else
        m_watch.stop();
}

void TCaptionTray::watch()
{
    if (available())
        return;
    m_watch.stop();
    if (OnLost)
        OnLost(this);
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
