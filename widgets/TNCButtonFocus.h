#pragma once
#include <QWidget>

class TNCButton;

// The keyboard's and assistive tools' way to a caption button, which is drawn by the caption bar
// and is no widget of its own: a see-through widget over the button that takes the focus by Tab,
// draws the focus mark, presses the button with Space and Enter, and lets the mouse through.
class TNCButtonFocus : public QWidget {
    Q_OBJECT
public:
    TNCButtonFocus(TNCButton &button, QWidget *captionBar);

    // Follows the button's bounds, visibility, state and name.
    void follow();
    // What Space does: clicks the button.
    Q_INVOKABLE void press();
    // Whether pressing opens a menu rather than doing the work at once.
    Q_INVOKABLE bool opensMenu() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    TNCButton &m_button;
};
