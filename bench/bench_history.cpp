// What keeping every answer costs: an hour of 1,000 machines answering every second (3,600,000
// answers, a tenth of them lost) recorded on a scripted clock as fast as the disk takes them, a
// minute at a time. The recording thread's CPU time, the file's size after the hour (and that of a
// day of every answer, which ageing then keeps at most), and the machine's load (it is shared).
#include "FileSize.h"
#include "history/HistoryRecorder.h"
#include "history/WallClock.h"

#include <sys/resource.h>

#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct ScriptedClock : WallClock {
    std::atomic<int64_t> now{1714564800000}; // 2024-05-01T12:00:00Z
    int64_t nowMs() const override { return now; }
};

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double processCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double threadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main()
{
    constexpr int Machines = 1000;
    constexpr int Seconds = 3600;
    QTemporaryDir folder;
    const std::string file = folder.filePath("history.sqlite").toStdString();
    ScriptedClock clock;
    std::vector<std::string> names;
    for (int m = 0; m < Machines; ++m)
        names.push_back("198.18." + std::to_string(m / 256) + "." + std::to_string(m % 256));

    const double cpuBefore = processCpu();
    const double feederBefore = threadCpu();
    const auto started = std::chrono::steady_clock::now();
    {
        HistoryRecorder recorder(file, clock);
        for (int s = 0; s < Seconds; ++s) {
            for (int m = 0; m < Machines; ++m) {
                HistoryAnswer answer;
                answer.machine = names[size_t(m)];
                answer.atMs = clock.now + m;
                answer.answered = (s + m) % 10 != 0;
                answer.rttMs = answer.answered ? uint32_t(1 + (s * 7 + m) % 40) : 0;
                answer.status = answer.answered ? "" : "Request timed out";
                recorder.record(std::move(answer));
            }
            clock.now += 1000;
            if (s % 60 == 59)
                recorder.flush();
        }
        recorder.flush();
        if (const auto failure = recorder.takeFailure())
            std::printf("the history failed: %s\n", failure->what());
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double feeder = threadCpu() - feederBefore;
    const double recording = processCpu() - cpuBefore - feeder;
    const double megabytes = megabytesOf(file);
    double load[1] = {};
    getloadavg(load, 1);
    std::printf("history: an hour of %d machines a second (%d answers) recorded in %.1f s\n", Machines,
                Machines * Seconds, wall);
    std::printf("  recording thread CPU: %.1f s for the hour (%.2f %% of one core)\n", recording,
                100.0 * recording / Seconds);
    std::printf("  file: %.1f MB after the hour, about %.0f MB for a day of every answer (load %.2f)\n", megabytes,
                24 * megabytes, load[0]);
    return 0;
}
