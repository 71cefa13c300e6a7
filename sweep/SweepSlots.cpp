#include "SweepSlots.h"

#include "SweepSender.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

constexpr int64_t Microsecond = 1000;

// Fresh pages from the system are zero, and calloc knows it: the slots cost nothing until they are
// first used, so that a ring of millions does not hold up the first request.
std::unique_ptr<SweepSlots::Slot[], void (*)(void *)> zeroedSlots(uint64_t count)
{
    auto *slots = static_cast<SweepSlots::Slot *>(std::calloc(count, sizeof(SweepSlots::Slot)));
    if (!slots)
        throw std::bad_alloc();
    return {slots, &std::free};
}

} // namespace

SweepSlots::SweepSlots(unsigned identifiers, int64_t timeoutNs)
    : m_count(uint64_t(identifiers) * SweepSender::SlotsPerIdentifier), m_timeoutNs(timeoutNs),
      m_slots(zeroedSlots(m_count))
{
}

uint64_t SweepSlots::leftInIdentifier() const
{
    return SweepSender::SlotsPerIdentifier - m_issued % SweepSender::SlotsPerIdentifier;
}

void SweepSlots::issue(const Slot &slot)
{
    m_slots[next()] = slot;
    ++m_issued;
    m_newest = m_issued;
}

void SweepSlots::skip()
{
    m_slots[next()] = Slot();
    ++m_issued;
}

int64_t SweepSlots::deadlineOf(const Slot &slot) const
{
    return slot.sentNs + int64_t(slot.spreadUs & ~RecheckFlag) * Microsecond + m_timeoutNs;
}

void SweepSlots::expire(int64_t horizonNs, const std::function<void(uint32_t index)> &expired)
{
    while (m_retired < m_issued) {
        const auto index = uint32_t(m_retired % m_count);
        Slot &slot = m_slots[index];
        if (slot.sentNs != 0) {
            if (deadlineOf(slot) > horizonNs)
                return;
            slot.sentNs = 0;
            if ((slot.spreadUs & RecheckFlag) != 0)
                expired(index);
        }
        ++m_retired;
    }
}

// Found from the newest down, as answers move it.
int64_t SweepSlots::latestDeadline(int64_t nowNs)
{
    while (m_newest > m_retired && m_slots[(m_newest - 1) % m_count].sentNs == 0)
        --m_newest;
    return m_newest > m_retired ? deadlineOf(m_slots[(m_newest - 1) % m_count]) : nowNs;
}

// While requests go out, slots are given back as their time comes, for those that follow; after the
// last one, one wake-up at the latest time-out gives back the rest: a busy machine has fewer wake-ups
// to be late for at the end.
int64_t SweepSlots::dueNs(int64_t nowNs, bool sending, int64_t atMostNs)
{
    if (m_retired == m_issued)
        return atMostNs;
    const Slot &oldest = m_slots[m_retired % m_count];
    const int64_t due = oldest.sentNs == 0 ? nowNs : sending ? deadlineOf(oldest) : latestDeadline(nowNs);
    return std::min(atMostNs, due);
}
