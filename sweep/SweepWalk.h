#pragma once
#include "SweepOrder.h"

#include <cstdint>
#include <deque>
#include <vector>

struct SweepPlan;

// One sender's walk over its part of the targets, in the sweep's order, once a pass: the members not
// yet heard from, those drawn but not sent going first, and which of them were tried.
class SweepWalk {
public:
    SweepWalk(const SweepPlan &plan, uint64_t first, uint64_t end);

    void restart();
    // The next member to send to; false at the end of the part.
    bool next(uint64_t &member);
    // Drawn but not sent: it goes first.
    void putBack(uint64_t member) { m_pending.push_front(member); }
    // The end of the walk shows without a request spent on finding it.
    void lookAhead();
    void finish() { m_done = true; }
    bool done() const { return m_done; }

    // Sent or refused in this pass.
    void markTried(uint64_t member);
    bool wasTried(uint64_t member) const;

private:
    const SweepPlan &m_plan;
    const uint64_t m_first;
    SweepOrder m_order;             // of the part, from 0
    std::deque<uint64_t> m_pending; // drawn from the order but not sent
    std::vector<uint64_t> m_tried;  // one bit a member of the part
    bool m_done = false;
};
