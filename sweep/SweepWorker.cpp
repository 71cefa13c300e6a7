#include "SweepWorker.h"

#include "platform/ArrivalClock.h"
#include "platform/IcmpTypes.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

constexpr uint64_t SequenceCount = 65536;
constexpr int64_t Microsecond = 1000;
constexpr int64_t Millisecond = 1000 * Microsecond;
constexpr int64_t Second = 1000 * Millisecond;
// Answers read in one call.
constexpr size_t MaxReadBatch = 64;
// Sending stops after this much work to read what came back, so that the receive queue never has
// to hold more than a burst's answers.
constexpr int64_t BurstNs = Millisecond;
constexpr int64_t BlockedPauseNs = Millisecond;
// The worker that reports progress wakes at least this often.
constexpr int64_t TickNs = 100 * Millisecond;
// Bounds the reads of one wake-up, so that a flood of answers cannot hold the sending back forever.
constexpr size_t MaxReadsPerDrain = 65536;
// A send that keeps failing with errors that ICMP errors coming in leave pending.
constexpr int MaxConfirmations = 4;
// An answer whose request may have gone out this much later than it was timed has its host asked
// again, up to this many times, for a round-trip time that a busy machine did not stretch.
constexpr uint32_t PreciseSpreadUs = 200;
constexpr int MaxRecheckAttempts = 3;

int64_t nowNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return int64_t(now.tv_sec) * Second + now.tv_nsec;
}

int64_t monotonicNs()
{
    return nowNs(CLOCK_MONOTONIC);
}

void add(std::atomic<uint64_t> &counter, uint64_t count = 1)
{
    counter.store(counter.load(std::memory_order_relaxed) + count, std::memory_order_relaxed);
}

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
}

// The errnos an incoming ICMP error leaves pending on the socket, for its next send to fail with.
bool mayBeLeftPending(int error)
{
    switch (error) {
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENOPROTOOPT:
    case ECONNREFUSED:
    case EMSGSIZE:
    case EOPNOTSUPP:
    case EHOSTDOWN:
    case ENONET:
    case EPROTO: return true;
    default: return false;
    }
}

// A send fails with these for its own reason only when the route lookup does: so do the sends to
// every address that the routes treat alike.
bool failedByRoute(int error)
{
    return error == ENETUNREACH || error == EHOSTUNREACH;
}

} // namespace

// Fresh pages from the system are zero, and calloc knows it: the slots cost nothing until they are
// first used, so that a ring of millions does not hold up the first request.
std::unique_ptr<SweepWorker::Slot[], void (*)(void *)> SweepWorker::zeroedSlots(uint64_t count)
{
    auto *slots = static_cast<Slot *>(std::calloc(count, sizeof(Slot)));
    if (!slots)
        throw std::bad_alloc();
    return {slots, &std::free};
}

SweepWorker::SweepWorker(SweepPlan &plan, uint64_t first, uint64_t end,
                         std::vector<std::unique_ptr<IcmpSocket>> sockets, unsigned identifiers, FrameLink *link)
    : m_plan(plan), m_first(first), m_end(end), m_sockets(std::move(sockets)), m_identifiers(identifiers),
      m_slotCount(identifiers * SequenceCount), m_slots(zeroedSlots(m_slotCount)), m_link(link),
      // Each part walks an order of its own, so that the senders do not march in step.
      m_order(plan.settings.randomOrder
                  ? SweepOrder::random(end - first, plan.settings.seed ^ first * 0x9E3779B97F4A7C15ull)
                  : SweepOrder::ascending(end - first)),
      m_tried((end - first + 63) / 64), m_batch(MaxBatch), m_signed(plan.payload)
{
}

SweepWorker::~SweepWorker() = default;

void SweepWorker::runPass(double rate, const std::function<void()> &tick)
{
    m_order.restart();
    m_pending.clear();
    std::fill(m_tried.begin(), m_tried.end(), 0);
    m_walkDone = false;
    m_lastDeadlineNs = 0;
    m_tokens = 1;
    m_refilledNs = monotonicNs();
    m_framePaths = m_link && m_link->isOpen() ? std::make_unique<FramePaths>(*m_link, m_routes) : nullptr;
    while (!m_plan.stop.load(std::memory_order_relaxed)) {
        const int64_t now = monotonicNs();
        // Once the queues are read to the end, every answer that came before now is in: a request
        // whose time-out has passed by now had none.
        expire(drain() ? now : now - m_plan.timeoutNs);
        handOver();
        sendBurst(monotonicNs(), rate);
        lookAhead();
        if (m_sendingInPass && !sending()) {
            // The link may close from now on: what this pass still sends (a host asked again for its
            // round-trip time) goes through the sockets.
            m_framePaths.reset();
            m_sendingInPass = false;
            m_plan.sentPass();
        }
        if (!sending() && m_retired == m_issued)
            break;
        tick();
        wait(nextWakeNs(monotonicNs(), rate));
    }
    // No host is asked again after its pass: every round-trip time is final.
    for (size_t which = 0; which < m_rechecks.size(); ++which)
        closeRecheck(which);
    handOver();
}

Sweep::Progress SweepWorker::progress() const
{
    Sweep::Progress progress;
    progress.sent = m_sent.load(std::memory_order_relaxed);
    progress.replies = m_replies.load(std::memory_order_relaxed);
    progress.errors = m_errors.load(std::memory_order_relaxed);
    progress.unsent = m_unsentCount.load(std::memory_order_relaxed);
    return progress;
}

uint64_t SweepWorker::drops() const
{
    uint64_t total = 0;
    for (const auto &socket : m_sockets)
        total += socket->drops();
    return total;
}

// The next member to send to, passing over those already heard from; false at the end of the part.
bool SweepWorker::nextMember(uint64_t &member)
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

// The end of the walk shows without a token spent on finding it: no wait for the rate follows the
// last request.
void SweepWorker::lookAhead()
{
    uint64_t member = 0;
    if (m_walkDone || !m_pending.empty())
        return;
    if (nextMember(member))
        m_pending.push_front(member);
    else
        m_walkDone = true;
}

// The batch's members from from on went unsent: they go first next time.
void SweepWorker::putBack(size_t from, size_t count)
{
    for (size_t i = count; i > from; --i)
        if (!m_batch[i - 1].recheck)
            m_pending.push_front(m_batch[i - 1].member);
}

// A token bucket: rate tokens a second, at most a hundredth of a second's saved up while nothing
// could be sent; spent a millisecond's work at a time.
void SweepWorker::sendBurst(int64_t now, double rate)
{
    if (!sending())
        return;
    const double burst = std::max(1.0, rate / 100.0);
    m_sendBlocked = false;
    const int64_t end = now + BurstNs;
    const uint64_t slotCount = m_slotCount;
    for (;;) {
        // The bucket fills as the batches go: a rate faster than the calls can send never waits for
        // its own tokens (a wait a busy machine may stretch).
        m_tokens = std::min(burst, m_tokens + double(now - m_refilledNs) * rate / Second);
        m_refilledNs = now;
        if (m_sendBlocked || m_tokens < 1 || m_issued - m_retired >= slotCount)
            return;
        // A batch stays within one identifier's numbers: with datagram sockets, within one socket.
        const uint64_t toBlockEnd = SequenceCount - m_issued % SequenceCount;
        const size_t count = size_t(std::min<double>(
            {m_tokens, double(slotCount - (m_issued - m_retired)), double(MaxBatch), double(toBlockEnd)}));
        const size_t gathered = gather(count);
        if (gathered == 0) {
            m_walkDone = true;
            return;
        }
        m_tokens -= double(sendBatch(gathered));
        now = monotonicNs();
        if (now >= end)
            return;
    }
}

bool SweepWorker::sending() const
{
    return !m_walkDone || !m_waiting.empty();
}

// The next count requests, each on its slot from m_issued on: the rechecks waiting, then the members
// in the part's order.
size_t SweepWorker::gather(size_t count)
{
    const int64_t now = m_framePaths ? monotonicNs() : 0;
    size_t gathered = 0;
    for (; gathered < count; ++gathered) {
        Outgoing &outgoing = m_batch[gathered];
        outgoing.recheck = gathered < m_waiting.size();
        if (outgoing.recheck) {
            const Recheck &recheck = m_rechecks[m_waiting[gathered]];
            outgoing.address = m_answers[recheck.answer].address;
            outgoing.member = recheck.target;
        } else if (nextMember(outgoing.member)) {
            outgoing.address = m_plan.addressOf(outgoing.member, m_range);
        } else {
            break;
        }
        const uint64_t slot = m_issued + gathered;
        const uint16_t identifier = identifierOfSlot(slot);
        const auto sequence = uint16_t(slot % SequenceCount);
        m_plan.signature.sign(m_signed.data(), m_signed.size(), uint32_t(outgoing.member), identifier, sequence,
                              m_plan.pass);
        if (outgoing.address.isV6())
            Icmp6Packet::buildEchoRequest(outgoing.request, identifier, sequence, m_signed.data(), m_signed.size());
        else
            IcmpPacket::buildEchoRequest(outgoing.request, identifier, sequence, m_signed.data(), m_signed.size());
        const FrameLink::Path *path =
            m_framePaths && outgoing.address.isV4() ? m_framePaths->pathTo(ntohl(outgoing.address.v4()), now) : nullptr;
        outgoing.path = path ? std::optional<FrameLink::Path>(*path) : std::nullopt;
    }
    return gathered;
}

// Sends the batch in as few calls as the socket allows, up to the end or a full queue; how many
// requests were tried. A request the system refuses is counted with the reason, not tried again;
// so are, at once and unsent, the targets that the routes treat alike. What was not tried goes back.
size_t SweepWorker::sendBatch(size_t count)
{
    const size_t done = sendSome(count);
    putBack(done, count);
    return done;
}

// The leading requests that go the same way, as frames or through the socket.
size_t SweepWorker::sendSome(size_t count)
{
    const bool framed = m_batch[0].path.has_value();
    size_t alike = 1;
    while (alike < count && m_batch[alike].path.has_value() == framed)
        ++alike;
    return framed ? sendAsFrames(alike) : sendThroughSocket(alike);
}

size_t SweepWorker::sendThroughSocket(size_t count)
{
    const size_t index = socketOfSlot(m_issued);
    IcmpSocket &socket = *m_sockets[index];
    m_requests.clear();
    for (size_t i = 0; i < count; ++i)
        m_requests.push_back({m_batch[i].address, &m_batch[i].request});
    size_t done = 0;
    int confirmations = 0;
    while (done < count) {
        const int64_t startNs = monotonicNs();
        const int result = socket.sendMany(&m_requests[done], std::min(count - done, SocketBatch), MSG_DONTWAIT);
        committed(done, result, startNs, monotonicNs());
        if (result > 0) {
            done += size_t(result);
            confirmations = 0;
            continue;
        }
        const int error = -result;
        if (wouldBlock(error)) {
            m_sendBlocked = true;
            break;
        }
        const Outgoing &failed = m_batch[done];
        const bool own = failedForItsOwnReason(index, error, failed.address);
        if (!own && ++confirmations <= MaxConfirmations)
            continue;
        const uint32_t status = socket.statusOfSendError(error, failed.address, identifierOfSlot(m_issued),
                                                         uint16_t(m_issued % SequenceCount));
        // The error that explained the refusal is pending too.
        if (socket.errorPendingPossibly())
            socket.clearPendingError();
        if (own && failedByRoute(error) && !failed.recheck) {
            refuseAlike(failed, status);
            return done;
        }
        refuse(failed, status);
        ++done;
        confirmations = 0;
    }
    return done;
}

// A link that fails otherwise than for want of room is given up: the sockets send the rest.
size_t SweepWorker::sendAsFrames(size_t count)
{
    m_frames.clear();
    for (size_t i = 0; i < count; ++i)
        m_frames.push_back({&*m_batch[i].path, m_batch[i].address.v4(), &m_batch[i].request});
    size_t done = 0;
    while (done < count) {
        const int64_t startNs = monotonicNs();
        const int result = m_link->sendMany(&m_frames[done], count - done, m_plan.settings.ttl);
        committed(done, result, startNs, monotonicNs());
        if (result > 0) {
            done += size_t(result);
            continue;
        }
        if (wouldBlock(-result)) {
            m_sendBlocked = true;
        } else {
            m_framePaths.reset();
            for (size_t i = done; i < count; ++i)
                m_batch[i].path.reset();
        }
        break;
    }
    return done;
}

// Every request of a call is timed from the call's start, before any of it went: the kernel may send
// the last as soon as the first, and a round-trip time must never come out shorter than it was. The
// call's length is how much longer it may come out; beyond PreciseSpreadUs, record() has the
// answering hosts asked again.
void SweepWorker::committed(size_t from, int sent, int64_t startNs, int64_t endNs)
{
    const auto spreadUs = uint32_t(std::min<int64_t>((endNs - startNs) / Microsecond + 1, RecheckFlag - 1));
    for (int i = 0; i < sent; ++i)
        commit(m_batch[from + size_t(i)], startNs, spreadUs);
}

// A send fails with the errno of an ICMP error that came in since the last one was cleared, not
// with its own: a datagram socket keeps it pending (a raw one without IP_RECVERR never does). The
// kernel's route lookup, asked apart, tells a missing route; for the rest, only a read of every
// error queued so far tells that none came.
bool SweepWorker::failedForItsOwnReason(size_t index, int error, const IpAddress &address)
{
    IcmpSocket &socket = *m_sockets[index];
    if (!mayBeLeftPending(error) || socket.kind() == IcmpSocket::Kind::Raw)
        return true;
    if (failedByRoute(error)) {
        const int lookup = m_routes.lookupError(address);
        if (lookup == error)
            return true;
        if (lookup == 0)
            return false;
    }
    const bool readAll = readQueue(index, true);
    if (readAll && !socket.errorPendingPossibly())
        return true;
    socket.clearPendingError();
    return false;
}

void SweepWorker::commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs)
{
    const uint64_t slot = m_issued % m_slotCount;
    if (outgoing.recheck) {
        m_recheckSlots[slot] = m_waiting.front();
        m_waiting.pop_front();
        spreadUs |= RecheckFlag;
    }
    m_slots[slot] = Slot{uint32_t(outgoing.member), spreadUs, sentNs};
    ++m_issued;
    m_newest = m_issued;
    if (outgoing.recheck)
        return;
    m_lastDeadlineNs = std::max(m_lastDeadlineNs, deadlineOf(m_slots[slot]));
    add(m_sent);
    markTried(outgoing.member);
}

// A host that was heard from already is not counted again when it cannot be asked twice.
void SweepWorker::refuse(const Outgoing &outgoing, uint32_t status)
{
    m_slots[m_issued % m_slotCount] = Slot();
    ++m_issued;
    if (outgoing.recheck) {
        closeRecheck(m_waiting.front());
        m_waiting.pop_front();
        return;
    }
    Sweep::Unsent &unsent = unsentOf(status);
    if (unsent.first.size() < Sweep::UnsentListed)
        unsent.first.push_back(outgoing.address);
    ++unsent.count;
    add(m_unsentCount);
    markHeard(outgoing.member);
    markTried(outgoing.member);
}

// The refused request and every member of the part not yet tried that the routes treat alike, none
// of them sent.
void SweepWorker::refuseAlike(const Outgoing &outgoing, uint32_t status)
{
    Sweep::Unsent &unsent = unsentOf(status);
    uint64_t count = 0;
    size_t range = m_range;
    const auto refuseWithin = [&](std::pair<uint64_t, uint64_t> members) {
        for (uint64_t member = std::max(members.first, m_first); member < std::min(members.second, m_end); ++member) {
            if (m_plan.wasHeard(member) || wasTried(member))
                continue;
            if (unsent.first.size() < Sweep::UnsentListed)
                unsent.first.push_back(m_plan.addressOf(member, range));
            markHeard(member);
            markTried(member);
            ++count;
        }
    };
    // The IPv6 routes are not read: an unrouted IPv6 address is refused alone.
    if (outgoing.address.isV6()) {
        refuseWithin({outgoing.member, outgoing.member + 1});
    } else {
        const uint32_t address = ntohl(outgoing.address.v4());
        const Routes::Block block = m_routes.sameRouteAs(address);
        // The refused one first.
        refuseWithin(m_plan.membersWithin(address, block.last));
        refuseWithin(m_plan.membersWithin(block.first, address));
    }
    unsent.count += count;
    add(m_unsentCount, count);
}

Sweep::Unsent &SweepWorker::unsentOf(uint32_t status)
{
    auto unsent = std::find_if(m_unsent.begin(), m_unsent.end(),
                               [status](const Sweep::Unsent &each) { return each.status == status; });
    if (unsent == m_unsent.end())
        unsent = m_unsent.insert(m_unsent.end(), Sweep::Unsent{status, 0, {}});
    return *unsent;
}

// A request is late only when it would be even had it gone out at the end of its call.
int64_t SweepWorker::deadlineOf(const Slot &slot) const
{
    return slot.sentNs + int64_t(slot.spreadUs & ~RecheckFlag) * Microsecond + m_plan.timeoutNs;
}

size_t SweepWorker::socketOfSlot(uint64_t slot) const
{
    return m_sockets.size() == 1 ? 0 : size_t(slot % m_slotCount / SequenceCount);
}

uint16_t SweepWorker::identifierOfSlot(uint64_t slot) const
{
    const auto block = unsigned(slot % m_slotCount / SequenceCount);
    if (m_sockets.size() == 1)
        return uint16_t(m_sockets.front()->identifier() + block);
    return m_sockets[block]->identifier();
}

// Slots are given back in the order they were handed out: answered ones at once, the others once
// their time-out has passed by horizonNs.
void SweepWorker::expire(int64_t horizonNs)
{
    while (m_retired < m_issued) {
        const uint64_t index = m_retired % m_slotCount;
        Slot &slot = m_slots[index];
        if (slot.sentNs != 0) {
            if (deadlineOf(slot) > horizonNs)
                return;
            slot.sentNs = 0;
            if ((slot.spreadUs & RecheckFlag) != 0) {
                const auto inFlight = m_recheckSlots.find(index);
                if (inFlight != m_recheckSlots.end()) {
                    closeRecheck(inFlight->second);
                    m_recheckSlots.erase(inFlight);
                }
            }
        }
        ++m_retired;
    }
}

// Once no request follows: the time-out of the newest one still waiting, found from the newest
// down, as answers move it.
int64_t SweepWorker::latestDeadline(int64_t now)
{
    while (m_newest > m_retired && m_slots[(m_newest - 1) % m_slotCount].sentNs == 0)
        --m_newest;
    return m_newest > m_retired ? deadlineOf(m_slots[(m_newest - 1) % m_slotCount]) : now;
}

int64_t SweepWorker::nextWakeNs(int64_t now, double rate)
{
    int64_t wake = now + TickNs;
    // While requests go out, slots are given back as their time comes, for those that follow; after
    // the last one, one wake-up at the latest time-out gives back the rest: a busy machine has fewer
    // wake-ups to be late for at the end.
    if (m_retired < m_issued) {
        const Slot &oldest = m_slots[m_retired % m_slotCount];
        const int64_t due = oldest.sentNs == 0 ? now : sending() ? deadlineOf(oldest) : latestDeadline(now);
        wake = std::min(wake, due);
    }
    if (!sending() || m_issued - m_retired >= m_slotCount)
        return wake;
    if (m_sendBlocked)
        return std::min(wake, now + BlockedPauseNs);
    // Sends go out a millisecond's worth at a time, so that a fast rate costs no wake-up per request.
    const double batch = std::min(std::max(1.0, rate / 100.0), std::max(1.0, rate / 1000.0));
    const double missing = std::max(0.0, batch - m_tokens);
    return std::min(wake, now + int64_t(std::ceil(missing * Second / rate)));
}

void SweepWorker::wait(int64_t untilNs)
{
    pollfd fds[Sweep::MaxIdentifiers + 1];
    for (size_t i = 0; i < m_sockets.size(); ++i)
        fds[i] = {m_sockets[i]->fd(), POLLIN, 0};
    fds[m_sockets.size()] = {m_plan.stopFd, POLLIN, 0};
    const int64_t left = std::max<int64_t>(0, untilNs - monotonicNs());
    const timespec timeout{time_t(left / Second), long(left % Second)};
    const int ready = ppoll(fds, m_sockets.size() + 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR)
        throw std::runtime_error(std::string("cannot wait for answers: ") + std::strerror(errno));
    for (size_t i = 0; i < m_sockets.size(); ++i)
        if ((fds[i].revents & POLLNVAL) != 0)
            throw std::runtime_error("the ICMP socket was closed");
}

// Reads every socket's queues; false when a flood kept one from being read to its end. An error
// read leaves its errno pending, which would wake every wait at once: it is cleared here.
bool SweepWorker::drain()
{
    bool readAll = true;
    for (size_t i = 0; i < m_sockets.size(); ++i) {
        IcmpSocket &socket = *m_sockets[i];
        readAll = readQueue(i, false) && readAll;
        if (socket.kind() == IcmpSocket::Kind::Datagram)
            readAll = readQueue(i, true) && readAll;
        if (socket.errorPendingPossibly())
            socket.clearPendingError();
    }
    return readAll;
}

bool SweepWorker::readQueue(size_t index, bool errorQueue)
{
    IcmpSocket &socket = *m_sockets[index];
    for (size_t read = 0; read < MaxReadsPerDrain;) {
        const std::vector<IcmpSocket::Received> &batch = socket.receiveMany(errorQueue, MaxReadBatch);
        if (batch.empty())
            return true;
        const int64_t realtimeOffset = ArrivalClock::realtimeOffsetNs();
        for (const IcmpSocket::Received &packet : batch)
            take(index, packet, realtimeOffset);
        read += batch.size();
    }
    return false;
}

// An answer counts only for the request it names, by identifier, sequence number and destination,
// and only when it carries that request's check: one that came after the time-out, before its
// request was given up, is given up with it.
void SweepWorker::take(size_t index, const IcmpSocket::Received &packet, int64_t realtimeOffsetNs)
{
    const EchoSocket::Packet &decoded = packet.packet;
    const bool reply = decoded.kind == IcmpPacket::Kind::EchoReply;
    if (!reply && decoded.kind != IcmpPacket::Kind::Error)
        return;
    const IcmpSocket &socket = *m_sockets[index];
    const unsigned identifiers = socket.kind() == IcmpSocket::Kind::Raw ? m_identifiers : 1;
    const auto block = uint16_t(decoded.identifier - socket.identifier());
    if (block >= identifiers)
        return;
    const uint64_t slotIndex = (index + block) * SequenceCount + decoded.sequence;
    Slot &slot = m_slots[slotIndex];
    const IpAddress &destination = reply ? decoded.source : decoded.quotedDestination;
    if (slot.sentNs == 0 || destination != m_plan.addressOf(slot.target))
        return;
    const SweepSignature &signature = m_plan.signature;
    const size_t payloadSize = m_plan.payload.size();
    const bool signedByUs = reply
                                ? decoded.dataSize == payloadSize &&
                                      signature.verify(packet.bytes + decoded.dataOffset, decoded.dataSize, payloadSize,
                                                       slot.target, decoded.identifier, decoded.sequence, m_plan.pass)
                                : signature.verify(packet.bytes + decoded.quotedOffset, decoded.quotedSize, payloadSize,
                                                   slot.target, decoded.identifier, decoded.sequence, m_plan.pass);
    if (!signedByUs)
        return;
    const int64_t arrived = decoded.arrivedNs != 0 ? decoded.arrivedNs - realtimeOffsetNs : monotonicNs();
    const uint32_t status = reply ? uint32_t(IP_SUCCESS) : decoded.status;
    if ((slot.spreadUs & RecheckFlag) != 0)
        rechecked(slotIndex, status, arrived);
    else if (arrived <= deadlineOf(slot))
        record(slot, status, decoded.source, arrived);
    slot.sentNs = 0;
}

// An answer to a request timed in a call that was held up has its host asked again.
void SweepWorker::record(const Slot &slot, uint32_t status, const IpAddress &from, int64_t arrivedNs)
{
    m_answers.push_back({m_plan.addressOf(slot.target), status, from, rttOf(slot, arrivedNs)});
    add(status == IP_SUCCESS ? m_replies : m_errors);
    markHeard(slot.target);
    if (status == IP_SUCCESS && slot.spreadUs > PreciseSpreadUs && mayAskAgain(arrivedNs - slot.sentNs)) {
        m_rechecks.push_back({m_answers.size() - 1, slot.target, 0});
        m_waiting.push_back(m_rechecks.size() - 1);
    } else if (m_plan.handOver) {
        m_settled.push_back(m_answers.size() - 1);
    }
}

// The host's round-trip time is the shortest measured; while none was timed from a request whose
// time was certain, the host is asked once more.
void SweepWorker::rechecked(uint64_t slotIndex, uint32_t status, int64_t arrivedNs)
{
    const auto inFlight = m_recheckSlots.find(slotIndex);
    if (inFlight == m_recheckSlots.end())
        return;
    Recheck &recheck = m_rechecks[inFlight->second];
    const size_t which = inFlight->second;
    m_recheckSlots.erase(inFlight);
    const Slot &slot = m_slots[slotIndex];
    if (status == IP_SUCCESS && arrivedNs <= deadlineOf(slot)) {
        double &rttMs = m_answers[recheck.answer].rttMs;
        rttMs = std::min(rttMs, rttOf(slot, arrivedNs));
        if ((slot.spreadUs & ~RecheckFlag) > PreciseSpreadUs && ++recheck.attempts < MaxRecheckAttempts &&
            mayAskAgain(arrivedNs - slot.sentNs)) {
            m_waiting.push_back(which);
            return;
        }
    }
    closeRecheck(which);
}

// Only while the answer may come before the pass would end all the same: a round-trip time made
// exact never makes a sweep longer.
bool SweepWorker::mayAskAgain(int64_t roundTripNs) const
{
    return !m_walkDone || monotonicNs() + roundTripNs < m_lastDeadlineNs;
}

void SweepWorker::closeRecheck(size_t which)
{
    Recheck &recheck = m_rechecks[which];
    if (!recheck.open)
        return;
    recheck.open = false;
    if (m_plan.handOver)
        m_settled.push_back(recheck.answer);
}

void SweepWorker::handOver()
{
    if (m_settled.empty())
        return;
    m_handing.clear();
    for (const size_t answer : m_settled)
        m_handing.push_back(m_answers[answer]);
    m_settled.clear();
    m_plan.handOver(m_handing.data(), m_handing.size());
}

double SweepWorker::rttOf(const Slot &slot, int64_t arrivedNs)
{
    return double(std::max<int64_t>(0, arrivedNs - slot.sentNs)) / Millisecond;
}

void SweepWorker::markHeard(uint64_t member)
{
    m_plan.heard[member / 64] |= uint64_t(1) << (member % 64);
    ++m_heardCount;
}

void SweepWorker::markTried(uint64_t member)
{
    const uint64_t bit = member - m_first;
    m_tried[bit / 64] |= uint64_t(1) << (bit % 64);
}

bool SweepWorker::wasTried(uint64_t member) const
{
    const uint64_t bit = member - m_first;
    return (m_tried[bit / 64] >> (bit % 64) & 1) != 0;
}
