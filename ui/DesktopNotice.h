#pragma once
#include <QString>

// A notice on the desktop, through the freedesktop notification service of the session's bus, for a
// window that has no tray to show one in. Sent without waiting for an answer, so that a service that
// hangs holds up nothing.
class DesktopNotice {
public:
    static constexpr const char *Service = "org.freedesktop.Notifications";
    static constexpr const char *Path = "/org/freedesktop/Notifications";

    // Whether the session runs a service that shows notices.
    static bool available();
    static void show(const QString &title, const QString &text);
};
