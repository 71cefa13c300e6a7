#pragma once
#include <QImage>
#include <QWidget>

// The borderless, topmost window in which a splash screen shows its picture.
class TSplashForm : public QWidget {
    Q_OBJECT
public:
    TSplashForm();

    const QImage &picture() const { return m_picture; }
    void setPicture(const QImage &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};
