#pragma once
#include <cstdint>

// The time the history keeps: CLOCK_REALTIME in milliseconds since the epoch in the program, a
// scripted clock in tests.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual int64_t nowMs() const = 0;

    static const WallClock &system();
};
