// What a year of history comes to on disk: the file as ageing leaves it after a year of machines
// re-pinged every second: hour figures for the year before the last week, minute figures for the
// week before the last day (both written as ageing writes them), and every answer of the last day
// written through the store (a tenth of them lost). TOZELO_BENCH_MACHINES machines (100 unless
// told; the size grows with them alike, so it is also told for 1,000).
#include "FileSize.h"
#include "history/HistoryRollup.h"
#include "history/HistoryStore.h"

#include <sys/resource.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
constexpr int64_t Now = 1714564800000; // 2024-05-01T12:00:00Z
constexpr int64_t MinuteMs = HistoryStore::MinuteMs;
constexpr int64_t HourMs = HistoryStore::HourMs;
constexpr int64_t DayMs = 24 * HourMs;
constexpr int64_t WeekMs = 7 * DayMs;
constexpr int64_t YearMs = 365 * DayMs;

uint32_t rttOf(int machine, int64_t at)
{
    return uint32_t(1 + (machine * 7 + at / 1000) % 40);
}

std::vector<HistoryFigures> figuresOf(int machine, int64_t from, int64_t to, int64_t spanMs)
{
    const int64_t perPeriod = spanMs / 1000;
    std::vector<HistoryFigures> periods;
    for (int64_t start = from; start < to; start += spanMs) {
        const uint32_t rtt = rttOf(machine, start);
        periods.push_back({start, perPeriod, perPeriod / 10, 1, rtt, rtt + 40});
    }
    return periods;
}

void writeDay(HistoryStore &store, const std::vector<std::string> &names)
{
    for (int64_t minute = Now - DayMs; minute < Now; minute += MinuteMs) {
        std::vector<HistoryAnswer> batch;
        batch.reserve(names.size() * 60);
        for (size_t m = 0; m < names.size(); ++m)
            for (int64_t at = minute + int64_t(m) % 1000; at < minute + MinuteMs; at += 1000) {
                const bool answered = (at / 1000 + int64_t(m)) % 10 != 0;
                batch.push_back(
                    {names[m], at, answered, answered ? rttOf(int(m), at) : 0u, answered ? "" : "Request timed out"});
            }
        store.append(batch);
    }
}
} // namespace

int main()
{
    const char *asked = std::getenv("TOZELO_BENCH_MACHINES");
    const int machines = asked && std::atoi(asked) > 0 ? std::atoi(asked) : 100;
    QTemporaryDir folder;
    const std::string file = folder.filePath("history.sqlite").toStdString();
    std::vector<std::string> names;
    for (int m = 0; m < machines; ++m)
        names.push_back("198.18." + std::to_string(m / 256) + "." + std::to_string(m % 256));

    const auto started = std::chrono::steady_clock::now();
    {
        HistoryStore store(file);
        for (int m = 0; m < machines; ++m)
            store.transaction([&] {
                store.addFigures(names[size_t(m)], HourMs, figuresOf(m, Now - YearMs, Now - WeekMs, HourMs));
                store.addFigures(names[size_t(m)], MinuteMs, figuresOf(m, Now - WeekMs, Now - DayMs, MinuteMs));
            });
        writeDay(store, names);
        // Ageing at the year's end finds nothing more to take: the file is as it stays from then on.
        HistoryRollup::age(store, Now);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double megabytes = megabytesOf(file);
    double load[1] = {};
    getloadavg(load, 1);
    std::printf("history after a year of %d machines re-pinged every second: %.0f MB (%.0f MB for 1,000 machines; "
                "target < 1,000 MB), written in %.0f s (load %.2f)\n",
                machines, megabytes, megabytes * 1000 / machines, wall, load[0]);
    return 0;
}
