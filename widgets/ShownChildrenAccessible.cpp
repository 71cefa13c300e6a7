#include "ShownChildrenAccessible.h"

#include <QMenu>
#include <QWidget>

namespace {
QAccessibleInterface *containerFactory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String("ToxDockBar"))
        return new TShownChildrenAccessible(widget, QAccessible::ToolBar);
    if (className == QLatin1String("QMainWindow"))
        return new TShownChildrenAccessible(widget, QAccessible::Window);
    if (className == QLatin1String("QWidget"))
        return new TShownChildrenAccessible(widget, QAccessible::Client);
    return nullptr;
}
} // namespace

TShownChildrenAccessible::TShownChildrenAccessible(QWidget *container, QAccessible::Role role)
    : QAccessibleWidget(container, role)
{
}

// Windows and menus are reached on their own, as Qt's own containers have them.
QList<QWidget *> TShownChildrenAccessible::shownChildren() const
{
    QList<QWidget *> shown;
    for (QObject *object : widget()->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (child && !child->isWindow() && !child->isHidden() && !qobject_cast<QMenu *>(child))
            shown << child;
    }
    return shown;
}

int TShownChildrenAccessible::childCount() const
{
    return int(shownChildren().size());
}

QAccessibleInterface *TShownChildrenAccessible::child(int index) const
{
    const QList<QWidget *> shown = shownChildren();
    return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
}

int TShownChildrenAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    return int(shownChildren().indexOf(qobject_cast<QWidget *>(child->object())));
}

void TShownChildrenAccessible::registerContainers()
{
    static const bool registered = [] {
        QAccessible::installFactory(containerFactory);
        return true;
    }();
    Q_UNUSED(registered);
}
