// The window's fast sweep page on a /16 in the bench's testbed, against `tozelo-cli sweep` with the
// same settings: the wall time of each, the longest the window's event loop was held up while its
// page swept (a frame), how long the found machines took to take in every answer, and how soon a
// stop ends a sweep, sending or waiting for answers. Two /16s: every address answering (the host
// namespace takes 198.19.0.0/16 as its own: 65,536 rows and found machines), and all silent but one
// /24 (the router drops the rest).
#include "main/FastSweepPage.h"
#include "main/MachineListView.h"
#include "main/Unit1.h"
#include "sweep/BackgroundSweep.h"
#include "tests/testbed/TestbedGuard.h"
#include "tests/testbed/TestbedNamespaces.h"
#include "ui/TestSeams.h"
#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {
const QString Block = "198.19.0.0/16";
const QString Answering = "198.19.7.0/24";
constexpr int Rate = 100000;
constexpr int TimeoutMs = 200;
constexpr int TickMs = 5;
constexpr double FrameTargetMs = 50;
constexpr int Runs = 3;

// Every address of the block answers, or only those of one /24 of it.
struct Routes {
    explicit Routes(bool everyAddress) : m_every(everyAddress) { m_ok = apply("add"); }
    ~Routes() { apply("del"); }
    bool ok() const { return m_ok; }

private:
    bool apply(const QString &action) const
    {
        const QString answering = m_every ? Block : Answering;
        QStringList router{QString("route %1 %2 via 198.18.2.1").arg(action, answering)};
        if (!m_every)
            router << QString("route %1 blackhole %2").arg(action, Block);
        return TestbedNamespaces::batch("r", router) &&
               TestbedNamespaces::batch("h", {QString("route %1 local %2 dev lo").arg(action, answering)});
    }

    bool m_every;
    bool m_ok = false;
};

struct PageRun {
    double sweepSeconds = 0;    // Start to the page's end of the sweep
    double recordedSeconds = 0; // Start to the last answer among the found machines
    double longestFrameMs = 0;  // the longest gap between two ticks of a 5 ms timer, less the 5 ms
    int rows = 0;
    QString state;
};

PageRun sweepInTheWindow(int answering)
{
    TForm1 form;
    form.show();
    form.BarridoRapido1Click();
    FastSweepPage &page = form.fastSweep();
    page.targets->setText(Block);
    page.rate->SetText(QString::number(Rate));
    page.timeout->SetText(QString::number(TimeoutMs));
    QApplication::processEvents();

    PageRun run;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        run.longestFrameMs = std::max(run.longestFrameMs, sinceTick.nsecsElapsed() / 1e6 - TickMs);
        sinceTick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticks.start(TickMs);
    page.startClick();
    while (page.sweeping() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    run.sweepSeconds = clock.nsecsElapsed() / 1e9;
    while (form.ListView1->count() < answering && clock.elapsed() < 120000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    run.recordedSeconds = clock.nsecsElapsed() / 1e9;
    ticks.stop();
    run.rows = page.table->model()->rowCount();
    run.state = page.state->text();
    return run;
}

double sweepOnTheCommandLine(QByteArray &tail)
{
    QProcess cli;
    QElapsedTimer clock;
    clock.start();
    cli.start(QCoreApplication::applicationDirPath() + "/../tozelo-cli",
              {"sweep", Block, "--rate", QString::number(Rate), "--timeout", QString::number(TimeoutMs)});
    cli.waitForFinished(120000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    tail = cli.readAllStandardOutput().trimmed().split('\n').last();
    return seconds;
}

// Stop to the end of the sweep's thread, in a sweep of the silent part of the block: while one
// sender sends slowly, or once many have sent everything at a fast rate and wait out a long time-out.
double stopMs(bool waiting)
{
    SweepTargets targets;
    targets.add(Block.toStdString());
    Sweep::Settings settings;
    settings.rate = waiting ? 1000000 : 1000;
    settings.timeoutMs = waiting ? 60000 : 500;
    auto sweep = std::make_unique<BackgroundSweep>(targets, settings);
    const uint64_t sent = waiting ? targets.count() : 100;
    QElapsedTimer clock;
    clock.start();
    while (sweep->take().progress.sent < sent && clock.elapsed() < 5000)
        QThread::msleep(5);
    clock.restart();
    sweep.reset();
    return clock.nsecsElapsed() / 1e6;
}

void compare(bool everyAddress)
{
    const Routes routes(everyAddress);
    if (!routes.ok()) {
        std::printf("  skipped: cannot add the bench's routes\n");
        return;
    }
    const int answering = everyAddress ? 65536 : 256;
    std::printf("%s answering, rate %d, time-out %d ms:\n", everyAddress ? "/16, every address" : "/16, one /24", Rate,
                TimeoutMs);
    double worstFrame = 0;
    for (int i = 0; i < Runs; ++i) {
        QByteArray tail;
        const double cli = sweepOnTheCommandLine(tail);
        const PageRun page = sweepInTheWindow(answering);
        worstFrame = std::max(worstFrame, page.longestFrameMs);
        std::printf("  run %d: page %.2f s (found machines complete at %.2f s, %d rows, \"%s\"), command line %.2f s "
                    "(\"%s\"); page/command line %.2f; longest frame %.1f ms\n",
                    i + 1, page.sweepSeconds, page.recordedSeconds, page.rows, qPrintable(page.state), cli,
                    tail.constData(), page.sweepSeconds / cli, page.longestFrameMs);
    }
    std::printf("  longest frame over %d runs %.1f ms (target <= %.0f ms): %s\n", Runs, worstFrame, FrameTargetMs,
                worstFrame <= FrameTargetMs ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::printf("bench_fastsweep: the window's fast sweep page against tozelo-cli sweep\n");
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("  skipped: %s\n", outside.c_str());
        return 0;
    }
    TestSeams::instance().splashDelayMs = 0;
    compare(false);
    compare(true);
    for (const bool waiting : {false, true}) {
        double worstStop = 0;
        for (int i = 0; i < 5; ++i)
            worstStop = std::max(worstStop, stopMs(waiting));
        std::printf("stop to the end of the sweep's thread, %s, worst of 5: %.1f ms (target <= 100 ms): %s\n",
                    waiting ? "every sender waiting for answers (up to one a core)" : "one sender sending", worstStop,
                    worstStop <= 100 ? "met" : "MISSED");
    }
    return 0;
}
