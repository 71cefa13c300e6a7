#pragma once
#include <QString>

class QLineEdit;
class QWidget;

// A page's start control, disabled while its work runs. Disabled while it holds the keyboard, it
// lends the focus to the field that names the target rather than letting it fall to what follows
// it (a Stop that the next Space would press, or a log that takes typed text); enabled again, it
// takes the focus back while that field holds it untouched, so that the next start is one key away.
class StartFocus {
public:
    StartFocus(QWidget *start, QLineEdit *field);

    void setEnabled(bool enabled);

private:
    void lend();
    static bool holdsFocus(const QWidget *widget);

    QWidget *m_start;
    QLineEdit *m_field;
    bool m_lent = false;
    QString m_textLent; // the field's text when the focus was lent
};
