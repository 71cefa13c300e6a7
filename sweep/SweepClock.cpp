#include "SweepClock.h"

#include <time.h>

namespace {

class MonotonicClock final : public SweepClock {
public:
    int64_t nowNs() const override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
};

} // namespace

const SweepClock &SweepClock::monotonic()
{
    static const MonotonicClock clock;
    return clock;
}
