#pragma once
#include "AHMExecComponent.h"
#include "AHMTBackground.h"
#include "Events.h"

#include <QImage>
#include <QPointer>

class TAHMFrame;
class TSplashForm;

// Shows a composed picture (background, image, two frames) in a splash window for DelayInMsec
// while the application keeps processing its events, then closes it.
class TAHMSplashScreen : public TAHMExecComponent {
    Q_OBJECT
public:
    // owner must be a window (or none); anything else throws std::bad_cast.
    explicit TAHMSplashScreen(QObject *owner = nullptr);

    const QImage &Image() const { return m_image; }
    void SetImage(const QImage &value) { m_image = value; }
    int SplashWidth() const { return m_splashWidth; }
    void SetSplashWidth(int value) { m_splashWidth = value; }
    int SplashHeight() const { return m_splashHeight; }
    void SetSplashHeight(int value) { m_splashHeight = value; }
    int DelayInMsec() const { return m_delayInMsec; }
    void SetDelayInMsec(int value);
    TAHMBackground *Background() const { return m_background; }
    void SetBackground(TAHMBackground *value) { m_background = value; }
    TAHMFrame *OutsideFrame() const { return m_outsideFrame; }
    void SetOutsideFrame(const TAHMFrame &value);
    TAHMFrame *InsideFrame() const { return m_insideFrame; }
    void SetInsideFrame(const TAHMFrame &value);
    int Borderwidth() const { return m_borderwidth; }
    void SetBorderwidth(int value);
    bool Screencenter() const { return m_screencenter; }
    void SetScreencenter(bool value) { m_screencenter = value; }

    // Shows the splash for DelayInMsec and returns once it has closed.
    bool Execute() override;

    // The picture a run shows: SplashWidth x SplashHeight.
    QImage composePicture() const;
    // Where Image goes in the picture.
    QPoint imagePosition() const;

    TNotifyEvent OnRun;
    TNotifyEvent OnSplashDone;

private:
    void show(TSplashForm &form) const;
    void wait() const;
    void finish(TSplashForm &form);

    QImage m_image;
    int m_splashWidth = 300;
    int m_splashHeight = 200;
    int m_delayInMsec = 0;
    QPointer<TAHMBackground> m_background;
    TAHMFrame *m_outsideFrame;
    TAHMFrame *m_insideFrame;
    int m_borderwidth = 2;
    bool m_screencenter = false;
};
