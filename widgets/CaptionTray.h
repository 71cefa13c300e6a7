#pragma once
#include "Events.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

// The tray icon of a caption bar's window. It reaches the tray only once the window has been
// shown or hidden for the first time; where the desktop has no tray it keeps its state and shows
// nothing. While it is enabled it watches the tray, and says so when the tray goes away.
class TCaptionTray : public QObject {
    Q_OBJECT
public:
    TCaptionTray(QWidget *form, QObject *owner);

    QIcon Icon() const { return m_icon; }
    void SetIcon(const QIcon &value);
    QString Hint() const { return m_hint; }
    void SetHint(const QString &value);
    QMenu *Menu() const { return m_menu; }
    void SetMenu(QMenu *value) { m_menu = value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);

    // The window was shown or hidden.
    void formShownOrHidden();
    QSystemTrayIcon *icon() const { return m_tray; }

    // Whether the desktop has a tray to show the icon in, now.
    static bool available();
    // Tests stand in for the desktop's tray; an empty hook asks the desktop again.
    static void setAvailabilityHook(std::function<bool()> hook);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClk;
    // The tray went away while the icon was enabled; the icon stays enabled.
    TNotifyEvent OnLost;

private:
    void update();
    void watch();
    void activated(QSystemTrayIcon::ActivationReason reason);

    QWidget *m_form;
    QSystemTrayIcon *m_tray;
    QTimer m_watch;
    QIcon m_icon;
    QString m_hint;
    QPointer<QMenu> m_menu;
    bool m_enabled = false;
    bool m_started = false;
};
