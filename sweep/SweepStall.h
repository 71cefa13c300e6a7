#pragma once
#include <cstdint>

// How long the system has had no room for a sender's requests. On a busy link room comes back within
// moments; a link without carrier keeps its queue full for as long as it is gone, so once there has
// been no room for longer than the time-out the sender stops waiting for it.
class SweepStall {
public:
    explicit SweepStall(int64_t limitNs) : m_limitNs(limitNs) {}

    // A send found no room at nowNs.
    void noRoom(int64_t nowNs);
    // A request went out: there is room.
    void moved() { m_sinceNs = -1; }
    bool hopeless(int64_t nowNs) const { return m_sinceNs >= 0 && nowNs - m_sinceNs > m_limitNs; }

private:
    const int64_t m_limitNs;
    int64_t m_sinceNs = -1; // since when there has been no room; -1 while there is
};
