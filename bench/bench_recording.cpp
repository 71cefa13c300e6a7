// What recording costs the window: 1,000 answers a second handed to the history from the window's
// thread, as the re-ping walk hands them, for TOZELO_BENCH_SECONDS of real time (a minute unless
// told; an hour is 3600), with the Monitor page shown and read again every ten seconds. The longest
// the window's event loop was held up (a frame), the recording thread's CPU time and the file's size.
#include "FileSize.h"
#include "OffscreenMain.h"
#include "history/HistoryRecorder.h"
#include "history/WallClock.h"
#include "main/MonitorPage.h"
#include "main/Unit1.h"
#include "platform/HelperProcess.h"
#include "ui/HistoryFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
constexpr int Machines = 1000;
constexpr int FeedEveryMs = 10;
constexpr int TickMs = 5;
constexpr double FrameTargetMs = 50;

// The CPU seconds of this process's thread of that name.
double threadCpu(const QString &name)
{
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name.toLatin1())
            continue;
        QFile stat("/proc/self/task/" + task + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        // After the name in parentheses: state is field 3, utime 14 and stime 15.
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        return (fields.value(11).toDouble() + fields.value(12).toDouble()) / tick;
    }
    return 0;
}

void benchRecording()
{
    const char *asked = std::getenv("TOZELO_BENCH_SECONDS");
    const int seconds = asked && std::atoi(asked) > 0 ? std::atoi(asked) : 60;
    const std::string file = HistoryFile::path().toStdString();
    std::vector<std::string> names;
    for (int m = 0; m < Machines; ++m)
        names.push_back("198.18." + std::to_string(m / 256) + "." + std::to_string(m % 256));

    TForm1 form;
    form.show();
    form.Monitor1->trigger();
    QApplication::processEvents();
    HistoryRecorder recorder(file, WallClock::system());

    double longestFrameMs = 0;
    std::vector<std::pair<double, int64_t>> longFrames; // the frames over the target, and when
    uint64_t recorded = 0;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double frameMs = sinceTick.nsecsElapsed() / 1e6 - TickMs;
        longestFrameMs = std::max(longestFrameMs, frameMs);
        if (frameMs > FrameTargetMs)
            longFrames.push_back({frameMs, clock.elapsed() / 1000});
        sinceTick.restart();
    });
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        // Catch up with the clock, so that a late tick does not lower the rate.
        const uint64_t due = uint64_t(clock.elapsed()) * Machines / 1000;
        const int64_t now = WallClock::system().nowMs();
        for (; recorded < due; ++recorded) {
            const int m = int(recorded % Machines);
            const bool answered = recorded % 10 != 0;
            recorder.record({names[size_t(m)], now, answered, answered ? uint32_t(1 + recorded % 40) : 0u,
                             answered ? "" : "Request timed out"});
        }
    });
    QTimer reread;
    QObject::connect(&reread, &QTimer::timeout, [&] { form.monitor().reload(); });

    clock.start();
    sinceTick.start();
    ticks.start(TickMs);
    feed.start(FeedEveryMs);
    reread.start(10000);
    while (clock.elapsed() < seconds * 1000LL)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    feed.stop();
    ticks.stop();
    recorder.flush();
    const double cpu = threadCpu("tozelo-history");
    if (const auto failure = recorder.takeFailure())
        std::printf("the history failed: %s\n", failure->what());
    double load[1] = {};
    getloadavg(load, 1);
    std::printf("recording %llu answers in %d s (1,000 a second) with the Monitor shown:\n",
                static_cast<unsigned long long>(recorded), seconds);
    std::printf("  longest frame %.1f ms (target <= %.0f ms): %s\n", longestFrameMs, FrameTargetMs,
                longestFrameMs <= FrameTargetMs ? "met" : "MISSED");
    std::sort(longFrames.rbegin(), longFrames.rend());
    std::printf("  %zu frames over %.0f ms;", longFrames.size(), FrameTargetMs);
    for (size_t i = 0; i < std::min<size_t>(longFrames.size(), 5); ++i)
        std::printf(" %.0f ms at %llds", longFrames[i].first, static_cast<long long>(longFrames[i].second));
    std::printf("\n");
    // Where they fell: a busy neighbour on the machine shows as a cluster.
    std::vector<int> bySlice(size_t(seconds + 599) / 600);
    for (const auto &frame : longFrames)
        ++bySlice[std::min(size_t(frame.second / 600), bySlice.size() - 1)];
    std::printf("  frames over %.0f ms by ten minutes:", FrameTargetMs);
    for (const int count : bySlice)
        std::printf(" %d", count);
    std::printf("\n");
    std::printf("  recording thread CPU %.1f s (%.2f %% of one core); file %.1f MB (load %.2f)\n", cpu,
                100.0 * cpu / seconds, megabytesOf(file), load[0]);
}
} // namespace

int main(int argc, char *argv[])
{
    return runOffscreen(argc, argv, [] {
        HelperProcess::Testing::program() = TOZELO_HELPER;
        benchRecording();
    });
}
