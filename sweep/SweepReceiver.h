#pragma once
#include "SweepFindings.h"
#include "SweepNetwork.h"
#include "SweepRechecks.h"
#include "SweepSlots.h"
#include "SweepSource.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct SweepPlan;

// What came back to one sender: read from its receive source, each answer matched to the request
// in its slot and proven (SweepValidation), timed from its arrival, recorded, and handed over once its
// round-trip time is final. An answer to a request whose time was uncertain has its host asked again.
class SweepReceiver {
public:
    SweepReceiver(SweepPlan &plan, SweepSlots &slots, SweepRechecks &rechecks, SweepChannel &channel);

    // Reads what came; false when a flood kept it from being read to its end. A host is asked again
    // only while that makes the pass no longer: before its walk is done, or while the answer may
    // come before lastDeadlineNs.
    bool drain(bool walkDone, int64_t lastDeadlineNs);
    // The answer's round-trip time is final: it is handed over with the next.
    void settle(size_t answer);
    // To the plan's handOver, when it has one.
    void handOver();

    const std::vector<SweepFindings::Answer> &answers() const { return m_answers; }
    uint64_t heardCount() const { return m_heardCount; }
    // Read from any thread.
    uint64_t replies() const { return m_replies.load(std::memory_order_relaxed); }
    uint64_t errors() const { return m_errors.load(std::memory_order_relaxed); }

private:
    void take(const SweepSource::Heard &heard);
    void record(const SweepSlots::Slot &slot, uint32_t status, const IpAddress &from, int64_t arrivedNs);
    void rechecked(uint32_t slotIndex, uint32_t status, int64_t arrivedNs);
    bool mayAskAgain(int64_t roundTripNs) const;
    static double rttOf(const SweepSlots::Slot &slot, int64_t arrivedNs);

    SweepPlan &m_plan;
    SweepSlots &m_slots;
    SweepRechecks &m_rechecks;
    SweepSource &m_source;
    const SweepClock &m_clock;
    std::vector<SweepFindings::Answer> m_answers;
    std::vector<SweepSource::Heard> m_heard;
    std::vector<size_t> m_settled;                // answers whose round-trip time is final
    std::vector<SweepFindings::Answer> m_handing; // what is handed over in one call
    uint64_t m_heardCount = 0;
    std::atomic<uint64_t> m_replies{0};
    std::atomic<uint64_t> m_errors{0};
    bool m_walkDone = false;
    int64_t m_lastDeadlineNs = 0;
};
