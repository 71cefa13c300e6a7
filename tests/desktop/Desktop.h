#pragma once
#include <QPoint>
#include <QProcess>
#include <QStringList>
#include <QWidget>
#include <QtTest>

// The desktop as a user's tools see and drive it: X properties read with xprop, the pointer and
// the keyboard worked with xdotool through the X server, so that the window manager sees them too.
namespace Desktop {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        qWarning() << program << arguments << process.readAllStandardError();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The values of a property that holds a list: "NAME(TYPE) = a, b, c" gives a, b and c.
inline QStringList values(WId window, const char *property)
{
    const QString line = run("xprop", {"-id", QString::number(window), property});
    const qsizetype equals = line.indexOf(" = ");
    return equals < 0 ? QStringList() : line.mid(equals + 3).split(", ");
}

inline WId activeWindow()
{
    const QString line = run("xprop", {"-root", "_NET_ACTIVE_WINDOW"});
    return WId(line.section('#', 1).trimmed().toULongLong(nullptr, 16));
}

inline bool hasState(QWidget *window, const char *state)
{
    return values(window->winId(), "_NET_WM_STATE").contains(state);
}

inline void xdotool(const QStringList &arguments)
{
    run("xdotool", arguments);
}

inline void clickAt(const QPoint &global, int clicks = 1)
{
    xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "--repeat",
             QString::number(clicks), "--delay", "80", "1"});
}

inline void key(const QString &keys)
{
    xdotool({"key", "--delay", "30", keys});
}

// Whether the window manager made window the active one, and Qt knows it, within seconds.
inline bool activate(QWidget *window)
{
    xdotool({"windowactivate", "--sync", QString::number(window->winId())});
    return QTest::qWaitFor([window] { return activeWindow() == window->winId() && window->isActiveWindow(); });
}

} // namespace Desktop
