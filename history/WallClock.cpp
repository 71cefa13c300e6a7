#include "WallClock.h"

#include <chrono>

namespace {
class SystemWallClock : public WallClock {
public:
    int64_t nowMs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
};
} // namespace

const WallClock &WallClock::system()
{
    static const SystemWallClock clock;
    return clock;
}
