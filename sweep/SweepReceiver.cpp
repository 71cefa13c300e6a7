#include "SweepReceiver.h"

#include "SweepPlan.h"
#include "SweepValidation.h"
#include "platform/IcmpTypes.h"

#include <algorithm>

namespace {

constexpr int64_t Millisecond = 1000000;
// Answers read in one call.
constexpr size_t MaxReadBatch = 64;
// Bounds the reads of one wake-up, so that a flood of answers cannot hold the sending back forever.
constexpr size_t MaxReadsPerDrain = 65536;
constexpr int MaxRecheckAttempts = 3;

void add(std::atomic<uint64_t> &counter)
{
    counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

} // namespace

SweepReceiver::SweepReceiver(SweepPlan &plan, SweepSlots &slots, SweepRechecks &rechecks, SweepChannel &channel)
    : m_plan(plan), m_slots(slots), m_rechecks(rechecks), m_source(channel.source()), m_clock(channel.clock())
{
}

// Reads what came; false when a flood kept it from being read to its end.
bool SweepReceiver::drain(bool walkDone, int64_t lastDeadlineNs)
{
    m_walkDone = walkDone;
    m_lastDeadlineNs = lastDeadlineNs;
    for (size_t reads = 0; reads < MaxReadsPerDrain;) {
        m_heard.clear();
        const size_t read = m_source.read(MaxReadBatch, m_heard);
        if (read == 0)
            return true;
        reads += read;
        for (const SweepSource::Heard &heard : m_heard)
            take(heard);
    }
    return false;
}

// An answer counts only for the request it names and proves it answers: one that came after the
// time-out, before its request was given up, is given up with it.
void SweepReceiver::take(const SweepSource::Heard &heard)
{
    if (heard.slot >= m_slots.count())
        return;
    SweepSlots::Slot &slot = m_slots.at(heard.slot);
    if (!SweepValidation::answers(m_plan, slot, heard))
        return;
    const int64_t arrived = heard.arrivedNs != 0 ? heard.arrivedNs : m_clock.nowNs();
    const uint32_t status = heard.reply ? uint32_t(IP_SUCCESS) : heard.status;
    if ((slot.spreadUs & SweepSlots::RecheckFlag) != 0)
        rechecked(heard.slot, status, arrived);
    else if (arrived <= m_slots.deadlineOf(slot))
        record(slot, status, heard.from, arrived);
    slot.sentNs = 0;
}

// An answer to a request timed in a call that was held up has its host asked again.
void SweepReceiver::record(const SweepSlots::Slot &slot, uint32_t status, const IpAddress &from, int64_t arrivedNs)
{
    m_answers.push_back({m_plan.addressOf(slot.target), status, from, rttOf(slot, arrivedNs)});
    add(status == IP_SUCCESS ? m_replies : m_errors);
    m_plan.markHeard(slot.target);
    ++m_heardCount;
    if (status == IP_SUCCESS && slot.spreadUs > SweepSlots::PreciseSpreadUs && mayAskAgain(arrivedNs - slot.sentNs))
        m_rechecks.add(m_answers.size() - 1, slot.target);
    else
        settle(m_answers.size() - 1);
}

// The host's round-trip time is the shortest measured; while none was timed from a request whose
// time was certain, the host is asked once more.
void SweepReceiver::rechecked(uint32_t slotIndex, uint32_t status, int64_t arrivedNs)
{
    size_t which = 0;
    if (!m_rechecks.inFlight(slotIndex, which))
        return;
    SweepRechecks::Recheck &recheck = m_rechecks.at(which);
    const SweepSlots::Slot &slot = m_slots.at(slotIndex);
    if (status == IP_SUCCESS && arrivedNs <= m_slots.deadlineOf(slot)) {
        double &rttMs = m_answers[recheck.answer].rttMs;
        rttMs = std::min(rttMs, rttOf(slot, arrivedNs));
        if ((slot.spreadUs & ~SweepSlots::RecheckFlag) > SweepSlots::PreciseSpreadUs &&
            ++recheck.attempts < MaxRecheckAttempts && mayAskAgain(arrivedNs - slot.sentNs)) {
            m_rechecks.again(which);
            return;
        }
    }
    if (m_rechecks.close(which))
        settle(recheck.answer);
}

// Only while the answer may come before the pass would end all the same: a round-trip time made
// exact never makes a sweep longer.
bool SweepReceiver::mayAskAgain(int64_t roundTripNs) const
{
    return !m_walkDone || m_clock.nowNs() + roundTripNs < m_lastDeadlineNs;
}

void SweepReceiver::settle(size_t answer)
{
    if (m_plan.handOver)
        m_settled.push_back(answer);
}

void SweepReceiver::handOver()
{
    if (m_settled.empty())
        return;
    m_handing.clear();
    for (const size_t answer : m_settled)
        m_handing.push_back(m_answers[answer]);
    m_settled.clear();
    m_plan.handOver(m_handing.data(), m_handing.size());
}

double SweepReceiver::rttOf(const SweepSlots::Slot &slot, int64_t arrivedNs)
{
    return double(std::max<int64_t>(0, arrivedNs - slot.sentNs)) / Millisecond;
}
