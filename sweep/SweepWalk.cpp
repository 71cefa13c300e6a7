#include "SweepWalk.h"

#include "SweepPlan.h"

#include <algorithm>

SweepWalk::SweepWalk(const SweepPlan &plan, uint64_t first, uint64_t end)
    : m_plan(plan), m_first(first),
      // Each part walks an order of its own, so that the senders do not march in step.
      m_order(plan.settings.randomOrder
                  ? SweepOrder::random(end - first, plan.settings.seed ^ first * 0x9E3779B97F4A7C15ull)
                  : SweepOrder::ascending(end - first)),
      m_tried((end - first + 63) / 64)
{
}

void SweepWalk::restart()
{
    m_order.restart();
    m_pending.clear();
    std::fill(m_tried.begin(), m_tried.end(), 0);
    m_done = false;
}

// Members already heard from are passed over.
bool SweepWalk::next(uint64_t &member)
{
    for (;;) {
        if (!m_pending.empty()) {
            member = m_pending.front();
            m_pending.pop_front();
        } else if (m_order.next(member)) {
            member += m_first;
        } else {
            return false;
        }
        if (!m_plan.wasHeard(member))
            return true;
    }
}

void SweepWalk::lookAhead()
{
    uint64_t member = 0;
    if (m_done || !m_pending.empty())
        return;
    if (next(member))
        m_pending.push_front(member);
    else
        m_done = true;
}

void SweepWalk::markTried(uint64_t member)
{
    const uint64_t bit = member - m_first;
    m_tried[bit / 64] |= uint64_t(1) << (bit % 64);
}

bool SweepWalk::wasTried(uint64_t member) const
{
    const uint64_t bit = member - m_first;
    return (m_tried[bit / 64] >> (bit % 64) & 1) != 0;
}
