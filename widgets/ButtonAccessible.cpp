#include "ButtonAccessible.h"

#include <QKeySequence>
#include <QWidget>

namespace {
const char *const ButtonClasses[] = {"TTransparentButton", "ToxGraphicButton", "TNCButtonFocus"};

QAccessibleInterface *buttonFactory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    for (const char *name : ButtonClasses)
        if (className == QLatin1String(name))
            return new TButtonAccessible(widget);
    return nullptr;
}
} // namespace

TButtonAccessible::TButtonAccessible(QWidget *button) : QAccessibleWidget(button, QAccessible::Button) {}

QAccessible::Role TButtonAccessible::role() const
{
    bool opensMenu = false;
    if (widget()->metaObject()->indexOfMethod("opensMenu()") >= 0)
        QMetaObject::invokeMethod(widget(), "opensMenu", Q_RETURN_ARG(bool, opensMenu));
    return opensMenu ? QAccessible::ButtonMenu : QAccessible::Button;
}

// A button without a caption of its own is named by its hint.
QString TButtonAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name: {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? widget()->toolTip() : name;
    }
    case QAccessible::Description: {
        const QString hint = widget()->toolTip();
        return hint == text(QAccessible::Name) ? QString() : hint;
    }
    default: return QAccessibleWidget::text(t);
    }
}

QStringList TButtonAccessible::actionNames() const
{
    QStringList names = QAccessibleWidget::actionNames();
    if (widget()->isEnabled())
        names.prepend(pressAction());
    return names;
}

void TButtonAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (widget()->isEnabled())
        QMetaObject::invokeMethod(widget(), "press");
}

QStringList TButtonAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QKeySequence(Qt::Key_Space).toString()};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

QString TButtonAccessible::captionName(QString caption)
{
    return caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&').replace('\x01', '&');
}

void TButtonAccessible::registerButtons()
{
    static const bool registered = [] {
        QAccessible::installFactory(buttonFactory);
        return true;
    }();
    Q_UNUSED(registered);
}
