#pragma once
#include <cstdint>

// The kernel stamps a packet's arrival on the wall clock (CLOCK_REALTIME, as SO_TIMESTAMPNS gives it);
// requests are timed on the monotonic clock.
namespace ArrivalClock {

// What to take from a time of the wall clock to have it on the monotonic one. The wall clock is read
// between two readings of the monotonic clock, again if this thread was held up in between, and set
// against the later of them: a pause makes a converted arrival later than it was, never earlier, so
// that no round-trip time comes out shorter than it was.
int64_t realtimeOffsetNs();

} // namespace ArrivalClock
