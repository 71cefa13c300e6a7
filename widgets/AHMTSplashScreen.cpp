#include "AHMTSplashScreen.h"

#include "AHMClasses.h"
#include "AHMTBackground.h"
#include "Colors.h"
#include "SplashForm.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <typeinfo>

namespace {

QObject *windowOwner(QObject *owner)
{
    const auto *window = qobject_cast<QWidget *>(owner);
    if (owner && !(window && window->isWindow()))
        throw std::bad_cast();
    return owner;
}

int centred(int room, int size)
{
    return size < room ? roundEven((room - size) / 2.0) : 0;
}

} // namespace

TAHMSplashScreen::TAHMSplashScreen(QObject *owner)
    : TAHMExecComponent(windowOwner(owner)), m_outsideFrame(new TAHMFrame(this)), m_insideFrame(new TAHMFrame(this))
{
    m_insideFrame->SetFrameStyle(frameLowered);
}

void TAHMSplashScreen::SetDelayInMsec(int value)
{
    if (value >= 0)
        m_delayInMsec = value;
}

void TAHMSplashScreen::SetOutsideFrame(const TAHMFrame &value)
{
    m_outsideFrame->Assign(value);
}

void TAHMSplashScreen::SetInsideFrame(const TAHMFrame &value)
{
    m_insideFrame->Assign(value);
}

void TAHMSplashScreen::SetBorderwidth(int value)
{
    if (value >= 0)
        m_borderwidth = value;
}

QPoint TAHMSplashScreen::imagePosition() const
{
    return {centred(m_splashWidth, m_image.width()), centred(m_splashHeight, m_image.height())};
}

QImage TAHMSplashScreen::composePicture() const
{
    if (m_splashWidth <= 0 || m_splashHeight <= 0)
        return QImage();
    QImage picture(m_splashWidth, m_splashHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter canvas(&picture);
    if (m_background)
        m_background->paint(canvas, m_splashWidth, m_splashHeight);
    if (!m_image.isNull())
        canvas.drawImage(imagePosition(), m_image);
    QRect rect = picture.rect();
    m_outsideFrame->draw(canvas, rect);
    rect.adjust(m_borderwidth, m_borderwidth, -m_borderwidth, -m_borderwidth);
    m_insideFrame->draw(canvas, rect);
    return picture;
}

bool TAHMSplashScreen::Execute()
{
    const auto form = std::make_unique<TSplashForm>();
    try {
        show(*form);
        if (OnRun)
            OnRun(form.get());
        wait();
    } catch (...) {
        finish(*form);
        throw;
    }
    finish(*form);
    return true;
}

void TAHMSplashScreen::show(TSplashForm &form) const
{
    form.setFixedSize(std::max(m_splashWidth, 1), std::max(m_splashHeight, 1));
    if (m_screencenter)
        form.move(form.screen()->availableGeometry().center() - form.rect().center());
    form.show();
    form.setPicture(composePicture());
}

// The caller is held for the whole delay while timers, painting and input go on; pending events
// are processed at least once, even with no delay.
void TAHMSplashScreen::wait() const
{
    QElapsedTimer clock;
    clock.start();
    do {
        QEventLoop loop;
        const int remaining = int(std::max<qint64>(m_delayInMsec - clock.elapsed(), 0));
        QTimer::singleShot(remaining, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    } while (clock.elapsed() < m_delayInMsec);
}

void TAHMSplashScreen::finish(TSplashForm &form)
{
    form.close();
    if (OnSplashDone)
        OnSplashDone(&form);
}
