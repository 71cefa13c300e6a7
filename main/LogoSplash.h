#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

// The splash screen: a frameless picture shown for a while, the event loop running meanwhile.
class LogoSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int SplashWidth = 350;
    static constexpr int SplashHeight = 262;
    static constexpr int DelayInMsec = 3000;

    explicit LogoSplash(QWidget *parent = nullptr);

    // Shows the picture for delayMs (none for 0), then fires OnSplashDone.
    void run(int delayMs);

    std::function<void(QObject *Sender)> OnSplashDone;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};
