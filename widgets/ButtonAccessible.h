#pragma once
#include <QAccessibleWidget>

// What assistive tools see of the kit's own push buttons (transparent, graphic and caption
// buttons): a push button named by its caption or hint, whose press action does what Space does.
// The button offers that press as an invokable press(); one whose press opens a menu says so through
// an invokable opensMenu() and reads as a menu button.
class TButtonAccessible : public QAccessibleWidget {
public:
    explicit TButtonAccessible(QWidget *button);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

    // A caption as read aloud: the accelerator's "&" dropped, "&&" kept as one "&".
    static QString captionName(QString caption);
    // Makes the kit's buttons known to the accessibility framework; a button calls it when made.
    static void registerButtons();
};
