#pragma once
#include <optional>

class QWidget;

// What Qt neither asks of nor tells about an X desktop, spoken to the X server directly. Where the
// window system is not X, nothing is asked and nothing is known.
class TXDesktop {
public:
    // Asks the window manager for no close, minimise or maximise box and no window menu on window:
    // a border and a title that moves it. Qt's own flags cannot leave out the close box. Asked again
    // each time the window is shown, since its native window may be new.
    static void askForNoWindowButtons(QWidget *window);
    // Whether the left button is down on the X server now; Qt's events may still be catching up
    // with a release.
    static std::optional<bool> leftButtonDown();
};
