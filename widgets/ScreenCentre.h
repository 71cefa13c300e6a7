#pragma once
#include <QMargins>
#include <QObject>
#include <QSize>

class QWidget;

// Keeps a top-level window centred on its screen, frame included, each time it is shown. The
// window system's frame is known only once the window is on screen: until then the frame of
// another decorated window of the program stands in for it, and when the real one turns out
// different the window is centred again.
class TScreenCentre : public QObject {
    Q_OBJECT
public:
    // outerSize, when given, is the window's size with its frame: the client area gets the rest.
    static void keepCentred(QWidget *window, QSize outerSize = QSize());
    // Where the window's frame goes: its top-left corner.
    static QPoint centredFrameOrigin(const QWidget *window, const QMargins &frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TScreenCentre(QWidget *window, QSize outerSize);
    void place();
    void framed();

    QWidget *m_window;
    QSize m_outerSize;
    QMargins m_frame;
    QSize m_placedSize;
};
