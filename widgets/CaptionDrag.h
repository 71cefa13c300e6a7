#pragma once
#include <QPoint>
#include <Qt>

class QMouseEvent;
class QWidget;

// A press on a caption bar or a window's border, which moves or resizes the window once the held
// button has carried the pointer a little: a tap, however quick, moves nothing, and the press of a
// double click starts no drag that would swallow its second click. Where the window system cannot
// move the window, the caption moves it itself.
class TCaptionDrag {
public:
    explicit TCaptionDrag(QWidget *form) : m_form(form) {}

    // A left press: on the border's edges, or on the caption when none and onCaption.
    void press(const QMouseEvent *event, Qt::Edges edges, bool onCaption);
    // False when no press is under way: the move is not the drag's.
    bool move(const QMouseEvent *event);
    void end() { *this = TCaptionDrag(m_form); }

private:
    void dragTo(const QMouseEvent *event);

    QWidget *m_form;
    bool m_pending = false;
    bool m_following = false; // moved by the caption itself
    Qt::Edges m_edges;
    QPoint m_pressed;
    QPoint m_offset; // from the window's top left to the pointer on the screen
};
