#pragma once
#include <QImage>
#include <QWidget>

// A control that draws itself into an off-screen picture of its own size and copies from it on
// paint. Property setters only ask for a render; the render runs once before the next paint, so
// a repaint of an unchanged control is a plain copy.
class TDFGraphicControl : public QWidget {
    Q_OBJECT
public:
    explicit TDFGraphicControl(QWidget *parent = nullptr);

    // The off-screen picture, rendered first when it is out of date.
    const QImage &image();
    int renderCount() const { return m_renderCount; }

protected:
    void requestRender();
    // Draws the whole control into picture, which has the control's size.
    virtual void renderPicture(QImage &picture) = 0;
    void paintEvent(QPaintEvent *event) override;

private:
    void renderIfNeeded();

    QImage m_picture;
    bool m_stale = true;
    int m_renderCount = 0;
};
