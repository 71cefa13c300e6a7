#pragma once
#include "Events.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

// The tray icon of a caption bar's window. It reaches the tray only once the window has been
// shown or hidden for the first time; where the desktop has no tray it keeps its state and shows
// nothing.
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

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClk;

private:
    void update();
    void activated(QSystemTrayIcon::ActivationReason reason);

    QWidget *m_form;
    QSystemTrayIcon *m_tray;
    QIcon m_icon;
    QString m_hint;
    QPointer<QMenu> m_menu;
    bool m_enabled = false;
    bool m_started = false;
};
