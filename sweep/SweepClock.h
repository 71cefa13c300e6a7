#pragma once
#include <cstdint>

// The time a sweep keeps, in nanoseconds: CLOCK_MONOTONIC in the program; a simulated clock in tests,
// which moves only when the sweep waits, so that its timing is exact however busy the machine is.
class SweepClock {
public:
    virtual ~SweepClock() = default;
    virtual int64_t nowNs() const = 0;

    // CLOCK_MONOTONIC.
    static const SweepClock &monotonic();
};
