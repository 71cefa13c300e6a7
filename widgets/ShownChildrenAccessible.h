#pragma once
#include <QAccessibleWidget>

// What assistive tools see of a container: only the child widgets it shows, or would show once it
// is itself shown. A child hidden on purpose (state kept in a hidden caption, a rolled-up window's
// content) is no part of what a user can reach. The dock bar reads as the tool bar it is.
class TShownChildrenAccessible : public QAccessibleWidget {
public:
    TShownChildrenAccessible(QWidget *container, QAccessible::Role role);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

    // Makes plain containers, main windows and the dock bar known to the accessibility framework.
    static void registerContainers();

private:
    QList<QWidget *> shownChildren() const;
};
