#include "LogoSplash.h"

#include "Artwork.h"

#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int BorderWidth = 2;
}

LogoSplash::LogoSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_picture(Artwork::splash(QSize(SplashWidth, SplashHeight)))
{
    setObjectName("logo");
    setFixedSize(SplashWidth, SplashHeight);
}

void LogoSplash::run(int delayMs)
{
    if (delayMs > 0) {
        move(screen()->availableGeometry().center() - rect().center());
        show();
        QEventLoop loop;
        QTimer::singleShot(delayMs, &loop, &QEventLoop::quit);
        loop.exec();
        hide();
    }
    if (OnSplashDone)
        OnSplashDone(this);
}

void LogoSplash::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(rect(), m_picture);
    // A lowered panel frame around the picture.
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(outer.topLeft(), outer.topRight());
    painter.drawLine(outer.topLeft(), outer.bottomLeft());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(outer.bottomLeft(), outer.bottomRight());
    painter.drawLine(outer.topRight(), outer.bottomRight());
    painter.setPen(QPen(palette().color(QPalette::Button), BorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth));
}
