#include "ArrivalClock.h"

#include <climits>
#include <ctime>

namespace {

// Readings of the two clocks taken closer together than this are as good as simultaneous.
constexpr int64_t CloseEnoughNs = 2000;
constexpr int Attempts = 3;

int64_t nowNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

int64_t ArrivalClock::realtimeOffsetNs()
{
    int64_t best = 0;
    int64_t bestSpan = INT64_MAX;
    for (int attempt = 0; attempt < Attempts && bestSpan > CloseEnoughNs; ++attempt) {
        const int64_t before = nowNs(CLOCK_MONOTONIC);
        const int64_t realtime = nowNs(CLOCK_REALTIME);
        const int64_t after = nowNs(CLOCK_MONOTONIC);
        if (after - before < bestSpan) {
            bestSpan = after - before;
            best = realtime - after;
        }
    }
    return best;
}
