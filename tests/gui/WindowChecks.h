#pragma once
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QWidget>

// What a user sees of a window at its design size and what a screen reader finds in it. Each
// check returns the faults it found, one line each, for QVERIFY2.

namespace WindowChecks {

// Qt's own parts of a control (scroll bars, viewports) and the backgrounds that lie under a whole
// page or window on purpose.
inline bool isPartOfTheLayout(const QWidget *widget)
{
    return widget->isVisible() && !widget->isWindow() && !widget->objectName().startsWith("qt_") &&
           !widget->inherits("TBackground") && !widget->inherits("ToxForm");
}

// A picture that the design lays controls on.
inline bool isPicture(const QWidget *widget)
{
    const auto *label = qobject_cast<const QLabel *>(widget);
    return label && !label->pixmap().isNull();
}

inline QString nameOf(const QWidget *widget)
{
    return QString("%1 %2").arg(widget->metaObject()->className(), widget->objectName());
}

// How wide the text of a control is, and how much room the control gives it; a control without
// text gives none.
inline std::pair<int, int> textAndRoom(const QWidget *widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    const auto advance = [&](const QString &text) {
        return metrics.horizontalAdvance(QString(text).remove(QRegularExpression("&(?!&)")));
    };
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->text().isEmpty() || label->wordWrap() || !label->pixmap().isNull())
            return {0, 0};
        const int inset = 2 * label->margin() + 2 * std::max(0, label->indent());
        return {advance(label->text()), label->contentsRect().width() - inset};
    }
    if (const auto *box = qobject_cast<const QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return {advance(box->text()), room.width()};
    }
    if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        return {icon + advance(button->text()), room.width()};
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(widget))
        return {advance(group->title()), group->width() - 16};
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return {advance(edit->text()), edit->width() - 8};
    return {0, 0};
}

// Every control of the window inside its parent, beside its sisters rather than over them, and
// with room for its whole text. The controls of the parents named in checkedElsewhere are left out.
inline QStringList layoutFaults(const QWidget *window, const QStringList &checkedElsewhere = {})
{
    QStringList faults;
    QList<const QWidget *> parents = {window};
    while (!parents.isEmpty()) {
        const QWidget *parent = parents.takeFirst();
        if (checkedElsewhere.contains(parent->objectName()))
            continue;
        QList<const QWidget *> children;
        for (const QWidget *child : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (isPartOfTheLayout(child))
                children << child;
        for (int i = 0; i < children.size(); ++i) {
            const QWidget *child = children[i];
            if (!parent->rect().contains(child->geometry()))
                faults << QString("%1 leaves its parent %2").arg(nameOf(child), nameOf(parent));
            for (int j = i + 1; j < children.size(); ++j)
                if (child->geometry().intersects(children[j]->geometry()) && !isPicture(child) &&
                    !isPicture(children[j]))
                    faults << QString("%1 overlaps %2").arg(nameOf(child), nameOf(children[j]));
            const auto [text, room] = textAndRoom(child);
            if (text > room)
                faults << QString("%1 clips its text: %2 pixels in %3").arg(nameOf(child)).arg(text).arg(room);
            if (const auto *area = qobject_cast<const QScrollArea *>(child)) {
                if (area->widget())
                    parents << area->widget();
            } else if (!child->inherits("QAbstractScrollArea")) {
                parents << child;
            }
        }
    }
    return faults;
}

// The interface of every object in the window's accessibility tree that a user can see.
inline void collect(QAccessibleInterface *node, QList<QAccessibleInterface *> &nodes)
{
    if (!node || node->state().invisible)
        return;
    nodes << node;
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), nodes);
}

// The widgets of the tree that the program hid, rather than a page not shown, a closed menu or Qt's
// own parts of a control.
inline void collectHidden(QAccessibleInterface *node, QStringList &hidden)
{
    if (!node)
        return;
    const auto *widget = qobject_cast<const QWidget *>(node->object());
    if (widget && widget->isHidden() && !qobject_cast<const QStackedWidget *>(widget->parentWidget()) &&
        !qobject_cast<const QMenu *>(widget) && !widget->objectName().startsWith("qt_"))
        hidden << widget->objectName();
    for (int i = 0; i < node->childCount(); ++i)
        collectHidden(node->child(i), hidden);
}

inline QString describe(QAccessibleInterface *node)
{
    return QString("%1 (role %2)").arg(node->object() ? node->object()->objectName() : QString()).arg(node->role());
}

inline bool pressable(QAccessibleInterface *node)
{
    const QAccessibleActionInterface *actions = node->actionInterface();
    return actions && actions->actionNames().contains(QAccessibleActionInterface::pressAction());
}

// Every control that takes the keyboard or is one of the kinds a screen reader announces has a
// name; every button can be pressed; nothing hidden is there to be found.
inline QStringList accessibilityFaults(QWidget *window)
{
    static const QList<QAccessible::Role> named = {
        QAccessible::Button,       QAccessible::ButtonMenu, QAccessible::CheckBox,
        QAccessible::EditableText, QAccessible::List,       QAccessible::ProgressBar,
        QAccessible::StatusBar,    QAccessible::Graphic,    QAccessible::ToolBar};
    QList<QAccessibleInterface *> nodes;
    collect(QAccessible::queryAccessibleInterface(window), nodes);
    QStringList faults;
    for (QAccessibleInterface *node : nodes) {
        const bool unnamed = node->text(QAccessible::Name).trimmed().isEmpty();
        if (unnamed && (named.contains(node->role()) || node->state().focusable))
            faults << describe(node) + " has no name";
        const bool button = node->role() == QAccessible::Button || node->role() == QAccessible::ButtonMenu;
        if (button && !node->state().disabled && !pressable(node))
            faults << describe(node) + " cannot be pressed";
        if (node->role() == QAccessible::PageTab || node->role() == QAccessible::PageTabList)
            faults << describe(node) + " is a page tab";
    }
    QStringList hidden;
    collectHidden(QAccessible::queryAccessibleInterface(window), hidden);
    for (const QString &name : hidden)
        faults << name + " is hidden but in the tree";
    return faults;
}

// The names of what a screen reader offers to press in the window, as it reads them.
inline QStringList pressableNames(QWidget *window)
{
    QList<QAccessibleInterface *> nodes;
    collect(QAccessible::queryAccessibleInterface(window), nodes);
    QStringList names;
    for (QAccessibleInterface *node : nodes)
        if (pressable(node))
            names << node->text(QAccessible::Name);
    return names;
}

// Left and right, top and bottom gaps between the window's frame and its screen's room.
inline bool centredOnScreen(const QWidget *window)
{
    const QRect room = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    const int left = frame.left() - room.left(), right = room.right() - frame.right();
    const int top = frame.top() - room.top(), bottom = room.bottom() - frame.bottom();
    return std::abs(left - right) <= 1 && std::abs(top - bottom) <= 1;
}

} // namespace WindowChecks
