#pragma once
#include <QPointer>
#include <QSize>
#include <functional>
#include <vector>

class QWidget;

// A window rolled up to its caption bar: the content it hid and the size and minimum height it had,
// given back as it rolls down. The window manager knows nothing of a roll-up: a window maximised
// while rolled up would come back from that at the rolled size, so it takes the size it had before
// the roll-up as it leaves the maximised state.
class TCaptionRollUp {
public:
    TCaptionRollUp(QWidget *form, QWidget *captionBar);

    bool rolledUp() const { return m_rolledUp; }
    // While rolling up or down the window's size changes are the roll-up's own.
    bool changing() const { return m_changing; }
    // Down to height, the content hidden.
    void rollUp(int height);
    // Back to the height before the roll-up, the content shown.
    void rollDown();
    // The window was made taller from outside: it is unrolled at the size it was given, content shown.
    void unrolled();
    // The window's state changed from old to what it is now.
    void stateChanged(Qt::WindowStates old);

    // After the roll-up state changed, before the window takes its new height.
    std::function<void()> OnChange;

private:
    void changed();
    void showContent(bool shown);

    QWidget *m_form;
    QWidget *m_captionBar;
    bool m_rolledUp = false;
    bool m_changing = false;
    QSize m_size;
    int m_minimumHeight = 0;
    // Taken when the window leaves the maximised state that unrolled it.
    QSize m_restoreSize;
    std::vector<QPointer<QWidget>> m_hiddenContent;
    QPointer<QWidget> m_hiddenFocus;
};
