#include "SweepWorker.h"

#include "SweepPlan.h"
#include "SweepValidation.h"
#include "platform/IcmpTypes.h"

#include <algorithm>

namespace {

constexpr int64_t Microsecond = 1000;
constexpr int64_t Millisecond = 1000 * Microsecond;
// Sending stops after this much work to read what came back, so that the receive queue never has
// to hold more than a burst's answers.
constexpr int64_t BurstNs = Millisecond;
constexpr int64_t BlockedPauseNs = Millisecond;
// The worker that reports progress wakes at least this often.
constexpr int64_t TickNs = 100 * Millisecond;

void add(std::atomic<uint64_t> &counter, uint64_t count = 1)
{
    counter.store(counter.load(std::memory_order_relaxed) + count, std::memory_order_relaxed);
}

} // namespace

SweepWorker::SweepWorker(SweepPlan &plan, uint64_t first, uint64_t end, std::unique_ptr<SweepChannel> channel,
                         unsigned identifiers)
    : m_plan(plan), m_first(first), m_end(end), m_channel(std::move(channel)), m_clock(m_channel->clock()),
      m_slots(identifiers, plan.timeoutNs), m_stall(plan.timeoutNs), m_refusals(plan), m_walk(plan, first, end),
      m_receiver(plan, m_slots, m_rechecks, *m_channel), m_batch(MaxBatch)
{
}

SweepWorker::~SweepWorker() = default;

void SweepWorker::runPass(double rate, const std::function<void()> &tick)
{
    m_walk.restart();
    m_lastDeadlineNs = 0;
    m_throttle.restart(now(), rate);
    SweepSender &sender = m_channel->sender();
    sender.beginPass(m_plan.pass);
    while (!m_plan.stop.load(std::memory_order_relaxed)) {
        // Once the queues are read to the end, a request whose time-out has passed by the time the
        // source tells had no answer.
        const bool readAll = m_receiver.drain(m_walk.done(), m_lastDeadlineNs);
        expire(readAll ? m_channel->source().readUntilNs() : now() - m_plan.timeoutNs);
        m_receiver.handOver();
        sendBurst();
        m_walk.lookAhead();
        if (m_sendingInPass && !sending()) {
            // What this pass still sends (a host asked again for its round-trip time) goes through
            // the sockets, and the link may close from now on.
            sender.passSent();
            m_sendingInPass = false;
            m_plan.sentPass();
        }
        if (!sending() && m_slots.allRetired())
            break;
        tick();
        m_channel->source().wait(nextWakeNs());
    }
    // No host is asked again after its pass: every round-trip time is final.
    for (const size_t answer : m_rechecks.closeAll())
        m_receiver.settle(answer);
    m_receiver.handOver();
}

SweepFindings::Progress SweepWorker::progress() const
{
    SweepFindings::Progress progress;
    progress.sent = m_sent.load(std::memory_order_relaxed);
    progress.replies = m_receiver.replies();
    progress.errors = m_receiver.errors();
    progress.unsent = m_unsentCount.load(std::memory_order_relaxed);
    return progress;
}

// The batch's members from from on went unsent: they go first next time.
void SweepWorker::putBack(size_t from, size_t count)
{
    for (size_t i = count; i > from; --i)
        if (!m_batch[i - 1].recheck)
            m_walk.putBack(m_batch[i - 1].member);
}

// Spends the tokens a batch at a time, for a millisecond's work at most. The bucket fills as the
// batches go: a rate faster than the calls can send never waits for its own tokens (a wait a busy
// machine may stretch).
void SweepWorker::sendBurst()
{
    if (!sending())
        return;
    int64_t at = now();
    if (m_stall.hopeless(at)) {
        giveUpSending();
        return;
    }
    m_sendBlocked = false;
    const int64_t end = at + BurstNs;
    for (;;) {
        const double tokens = m_throttle.tokensAt(at);
        if (m_sendBlocked || tokens < 1 || m_slots.full())
            return;
        // A batch stays within one identifier's numbers: with datagram sockets, within one socket.
        const size_t count = size_t(
            std::min<double>({tokens, double(m_slots.free()), double(MaxBatch), double(m_slots.leftInIdentifier())}));
        const size_t gathered = gather(count);
        if (gathered == 0) {
            m_walk.finish();
            return;
        }
        m_throttle.spend(sendBatch(gathered));
        at = now();
        if (at >= end)
            return;
    }
}

bool SweepWorker::sending() const
{
    return !m_walk.done() || m_rechecks.waiting() != 0;
}

// The next count requests, each on its slot from the next on: the rechecks waiting, then the members
// in the part's order.
size_t SweepWorker::gather(size_t count)
{
    size_t gathered = 0;
    for (; gathered < count; ++gathered) {
        Outgoing &outgoing = m_batch[gathered];
        outgoing.recheck = gathered < m_rechecks.waiting();
        if (outgoing.recheck) {
            const SweepRechecks::Recheck &recheck = m_rechecks.waitingAt(gathered);
            outgoing.request.address = m_receiver.answers()[recheck.answer].address;
            outgoing.member = recheck.target;
        } else if (m_walk.next(outgoing.member)) {
            outgoing.request.address = m_plan.addressOf(outgoing.member, m_range);
        } else {
            break;
        }
        outgoing.request.target = uint32_t(outgoing.member);
        outgoing.request.slot = uint32_t((m_slots.next() + gathered) % m_slots.count());
    }
    return gathered;
}

// Sends the batch as far as the system takes it: how many requests were tried. What was not tried
// goes back.
size_t SweepWorker::sendBatch(size_t count)
{
    m_requests.clear();
    for (size_t i = 0; i < count; ++i)
        m_requests.push_back(m_batch[i].request);
    m_channel->sender().send(m_requests.data(), count, m_report);
    size_t done = 0;
    for (const SweepSender::Step &step : m_report.steps) {
        if (step.count != 0) {
            committed(done, step.count, step.startNs, step.endNs);
            done += step.count;
            m_stall.moved();
        } else if (step.byRoute && !m_batch[done].recheck) {
            refuseAlike(m_batch[done++], step.status);
        } else {
            refuse(m_batch[done++], step.status);
        }
    }
    m_sendBlocked = m_report.blocked;
    if (m_sendBlocked)
        m_stall.noRoom(now());
    putBack(done, count);
    return done;
}

// Every request of a call is timed from the call's start, before any of it went: the kernel may send
// the last as soon as the first, and a round-trip time must never come out shorter than it was. The
// call's length is how much longer it may come out; beyond PreciseSpreadUs, the receiver has the
// answering hosts asked again.
void SweepWorker::committed(size_t from, uint32_t count, int64_t startNs, int64_t endNs)
{
    const auto spreadUs = uint32_t(std::min<int64_t>((endNs - startNs) / Microsecond + 1, SweepSlots::RecheckFlag - 1));
    for (uint32_t i = 0; i < count; ++i)
        commit(m_batch[from + i], startNs, spreadUs);
}

void SweepWorker::commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs)
{
    if (outgoing.recheck) {
        m_rechecks.sent(m_slots.next());
        m_slots.issue({uint32_t(outgoing.member), spreadUs | SweepSlots::RecheckFlag, sentNs});
        return;
    }
    m_slots.issue({uint32_t(outgoing.member), spreadUs, sentNs});
    m_lastDeadlineNs = std::max(m_lastDeadlineNs, m_slots.deadlineOf({0, spreadUs, sentNs}));
    add(m_sent);
    m_walk.markTried(outgoing.member);
}

// A host that was heard from already is not counted again when it cannot be asked twice.
void SweepWorker::refuse(const Outgoing &outgoing, uint32_t status)
{
    m_slots.skip();
    if (outgoing.recheck) {
        size_t answer = 0;
        if (m_rechecks.refused(answer))
            m_receiver.settle(answer);
        return;
    }
    m_refusals.refuse(outgoing.request.address, status);
    add(m_unsentCount);
    markRefused(outgoing.member);
}

// The refused request and every member of the part not yet tried that the routes treat alike, none
// of them sent.
void SweepWorker::refuseAlike(const Outgoing &outgoing, uint32_t status)
{
    m_slots.skip();
    const auto take = [this](uint64_t member) {
        if (m_plan.wasHeard(member) || m_walk.wasTried(member))
            return false;
        markRefused(member);
        return true;
    };
    add(m_unsentCount, m_refusals.refuseAlike(outgoing.request.address, outgoing.member, status, m_first, m_end, take));
}

void SweepWorker::expire(int64_t horizonNs)
{
    m_slots.expire(horizonNs, [this](uint32_t index) {
        size_t which = 0;
        if (m_rechecks.inFlight(index, which) && m_rechecks.close(which))
            m_receiver.settle(m_rechecks.at(which).answer);
    });
}

int64_t SweepWorker::nextWakeNs()
{
    const int64_t at = now();
    const int64_t wake = m_slots.dueNs(at, sending(), at + TickNs);
    if (!sending() || m_slots.full())
        return wake;
    if (m_sendBlocked)
        return std::min(wake, at + BlockedPauseNs);
    return std::min(wake, m_throttle.nextBatchNs(at));
}

// A refused member is as good as heard from: it is not asked again.
void SweepWorker::markRefused(uint64_t member)
{
    m_plan.markHeard(member);
    ++m_refusedCount;
    m_walk.markTried(member);
}

// The system has had no room for this sender's requests for longer than the time-out: what is left
// of the pass is counted as not sent, for that reason, rather than wait for a link that may never
// come back.
void SweepWorker::giveUpSending()
{
    uint64_t member = 0;
    while (m_walk.next(member)) {
        m_refusals.refuse(m_plan.addressOf(member, m_range), IP_NO_RESOURCES);
        add(m_unsentCount);
        markRefused(member);
    }
    m_walk.finish();
    size_t answer = 0;
    while (m_rechecks.waiting() != 0)
        if (m_rechecks.refused(answer))
            m_receiver.settle(answer);
}
