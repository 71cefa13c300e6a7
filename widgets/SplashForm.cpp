#include "SplashForm.h"

#include <QPaintEvent>
#include <QPainter>

TSplashForm::TSplashForm() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSplashForm::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void TSplashForm::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), m_picture, event->rect());
}
