// Painting figures of the widget kit: a full-screen line-gradient page background, and proof that
// repainting an unchanged control only copies its off-screen picture.
#include "main/PageLook.h"
#include "widgets/Backgnd.h"
#include "widgets/BackgndObj.h"
#include "widgets/Gradient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 50;

bool waitExposed(QWidget &widget)
{
    QElapsedTimer clock;
    clock.start();
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return widget.windowHandle() && widget.windowHandle()->isExposed();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each run changes the description so that the control must render again.
void benchGradientRender()
{
    TBackground background;
    describePageGradient(background, 1);
    background.resize(1920, 1080);
    QElapsedTimer firstClock;
    firstClock.start();
    background.image();
    const double first = firstClock.nsecsElapsed() / 1e6;
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        background.BackObj()->Gradient()->SetColor3(run % 2 ? colorBlack : rgbColor(0, 0, 1));
        QElapsedTimer clock;
        clock.start();
        background.image();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    const QImage &image = background.image();
    const bool right = image.pixel(0, 1079) == qRgb(0, 0, 255) && image.pixel(1919, 0) == qRgb(0, 0, 0);
    std::printf("line gradient 1920 x 1080, render: median %.2f ms, worst %.2f ms over %d runs (target <= 5 ms)%s; "
                "the first render of a control: %.2f ms\n",
                median(times), *std::max_element(times.begin(), times.end()), Runs, right ? "" : " WRONG PIXELS",
                first);
}

void benchUnchangedRepaint()
{
    TBackground background;
    describePageGradient(background, 1);
    background.resize(1920, 1080);
    background.show();
    if (!waitExposed(background)) {
        std::printf("repaint: the window was never exposed\n");
        return;
    }
    const int before = background.renderCount();
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        background.repaint();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("unchanged control, %d full repaints: %d render(s) before, %d after; repaint median %.2f ms\n", Runs,
                before, background.renderCount(), median(times));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchGradientRender();
    benchGradientRender();
    benchUnchangedRepaint();
    return 0;
}
