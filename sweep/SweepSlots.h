#pragma once
#include <cstdint>
#include <functional>
#include <memory>

// One sender's requests in flight: a ring of identifiers x 65,536 sequence numbers. Slots are handed
// out in turn and given back in the same order, so that the ring is also the queue of time-outs.
class SweepSlots {
public:
    // One request in flight; sentNs 0 marks a free slot. The request went out between sentNs and
    // spreadUs later (RecheckFlag aside): a call that sends many may be held up half-way.
    struct Slot {
        uint32_t target = 0; // its member's number in the plan
        uint32_t spreadUs = 0;
        int64_t sentNs = 0;
    };
    // In a slot's spreadUs: its request asks again a host whose answer came to a request sent at an
    // uncertain time, for a round-trip time that can be trusted.
    static constexpr uint32_t RecheckFlag = 0x80000000;
    // An answer whose request may have gone out this much later than it was timed has its host asked
    // again, for a round-trip time that a busy machine did not stretch.
    static constexpr uint32_t PreciseSpreadUs = 200;

    SweepSlots(unsigned identifiers, int64_t timeoutNs);

    uint64_t count() const { return m_count; }
    bool full() const { return m_issued - m_retired >= m_count; }
    uint64_t free() const { return m_count - (m_issued - m_retired); }
    bool allRetired() const { return m_retired == m_issued; }
    // The ring's index of the next slot handed out, and how many follow it within its identifier.
    uint32_t next() const { return uint32_t(m_issued % m_count); }
    uint64_t leftInIdentifier() const;

    Slot &at(uint32_t index) { return m_slots[index]; }
    // Hands out the next slot to a request that went out.
    void issue(const Slot &slot);
    // The next slot goes unused: its request was never sent.
    void skip();

    // A request is late only when it would be even had it gone out at the end of its call.
    int64_t deadlineOf(const Slot &slot) const;
    // Gives back, in turn, the slots answered and those whose time-out passed by horizonNs; a recheck's
    // slot given back unanswered is told to expired.
    void expire(int64_t horizonNs, const std::function<void(uint32_t index)> &expired);
    // When the oldest slot in flight is due, no later than atMostNs; for the last wake-up of a pass
    // (nothing more to send), the newest one's time-out.
    int64_t dueNs(int64_t nowNs, bool sending, int64_t atMostNs);

private:
    int64_t latestDeadline(int64_t nowNs);

    const uint64_t m_count;
    const int64_t m_timeoutNs;
    const std::unique_ptr<Slot[], void (*)(void *)> m_slots;
    uint64_t m_issued = 0;  // slots handed out, ever
    uint64_t m_retired = 0; // slots given back in turn, ever
    uint64_t m_newest = 0;  // slots from m_retired to here may wait; those after were answered
};
