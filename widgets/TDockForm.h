#pragma once
#include "DockTypes.h"

#include <QMargins>
#include <QPointer>
#include <QWidget>

class ToxDockBar;

// The small window a floating dock bar lives in: always on top, with its own thin frame, a tool
// caption with a close box and a sizing border as the bar's options ask. It shows only while its
// owner window shows, and with opAutoHide only while the owner is active; it never takes the
// focus, so the owner stays the active window.
class TDockForm : public QWidget {
    Q_OBJECT
public:
    TDockForm(ToxDockBar *bar, QWidget *owner);
    ~TDockForm() override;

    // The room that frame and caption take around the bar.
    static QMargins chrome(ToxDockOptions options);
    QRect captionRect() const;
    QRect closeBoxRect() const;

    void fitBar();
    void syncVisibility();
    void optionsChanged();
    void releaseBar() { m_bar = nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    ToxDockOptions options() const;
    bool ownerAllowsShowing() const;
    bool captionActive() const;
    Qt::Edges sizingEdgesAt(const QPoint &point) const;
    void sizeTo(const QPoint &global);
    void paintCaption(QPainter &painter) const;
    void paintCloseBox(QPainter &painter) const;

    ToxDockBar *m_bar;
    QPointer<QWidget> m_owner;
    Qt::Edges m_sizingEdges;
    QRect m_sizingStart;
    QPoint m_sizingPress;
    bool m_closePressed = false;
    bool m_captionPressed = false;
};
