#include "Sweep.h"

#include "icmp.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint64_t SequenceCount = 65536;
constexpr int64_t Millisecond = 1000000;
constexpr int64_t Second = 1000 * Millisecond;
// Requests handed to the kernel in one call: few, since all of them are timed from its start, and a
// busy machine may hold the call up half-way.
constexpr size_t MaxBatch = 16;
// Answers read in one call.
constexpr size_t MaxReadBatch = 64;
// Sending stops after this much work to read what came back, so that the receive queue never has
// to hold more than a burst's answers.
constexpr int64_t BurstNs = Millisecond;
constexpr int64_t BlockedPauseNs = Millisecond;
constexpr int64_t ProgressIntervalNs = 100 * Millisecond;
// The receive queue holds this long's answers at the rate, at what the kernel charges for each.
constexpr double BufferedSeconds = 0.025;
constexpr double BytesPerAnswer = 1024;
constexpr double MinReceiveBuffer = 8 << 20;
constexpr double MaxReceiveBuffer = 64 << 20;
// Bounds the reads of one wake-up, so that a flood of answers cannot hold the sending back forever.
constexpr size_t MaxReadsPerDrain = 65536;
// Passes that ask again, slower, what may have answered while the system was dropping answers.
constexpr int MaxRecoveryPasses = 2;
// A send that keeps failing with errors that ICMP errors coming in leave pending.
constexpr int MaxConfirmations = 4;
// The datagram that every IPv4 host takes whole, less the IP header.
constexpr size_t MaxUnfragmented = 576 - 20;

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

uint64_t slotsOf(unsigned identifiers)
{
    return uint64_t(identifiers) * SequenceCount;
}

} // namespace

Sweep::Sweep(const SweepTargets &targets, const Settings &settings)
    : m_targets(targets), m_settings(settings), m_payload(TICMP::payloadOf(settings.size)),
      m_timeoutNs(int64_t(settings.timeoutMs) * Millisecond), m_identifiers(identifiersNeeded()),
      m_stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_stopFd < 0)
        throw std::runtime_error(std::string("cannot make the sweep stoppable: ") + std::strerror(errno));
}

Sweep::~Sweep()
{
    ::close(m_stopFd);
}

void Sweep::requestStop()
{
    m_stopRequested = true;
    const uint64_t one = 1;
    // Only a full counter refuses, and a full one is readable all the same.
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

// Enough slots for the requests that wait out their time-out at the rate, and a burst more.
unsigned Sweep::identifiersNeeded() const
{
    const double waiting = double(m_settings.rate) * (m_settings.timeoutMs / 1000.0 + 0.01) + MaxBatch;
    const double needed = std::min(waiting, double(m_targets.count()) + MaxBatch);
    unsigned identifiers = 1;
    while (identifiers < MaxIdentifiers && double(slotsOf(identifiers)) < needed)
        identifiers *= 2;
    return identifiers;
}

int Sweep::effectiveRate() const
{
    const uint64_t slotCount = slotsOf(m_identifiers);
    if (m_targets.count() <= slotCount)
        return m_settings.rate;
    const double allowed = double(slotCount) * 1000.0 / m_settings.timeoutMs;
    return int(std::min<double>(m_settings.rate, std::floor(allowed)));
}

IcmpSocket::Kind Sweep::socketKind() const
{
    return m_sockets.empty() ? IcmpSocket::Kind::Datagram : m_sockets.front()->kind();
}

void Sweep::run()
{
    openSockets();
    m_slots.assign(slotsOf(m_identifiers), Slot());
    m_batch.resize(MaxBatch);
    m_progress.addresses = m_targets.count();
    m_heard.assign((m_targets.count() + 63) / 64, 0);
    uint64_t first = 0;
    for (const SweepTargets::Range &range : m_targets.ranges()) {
        m_rangeTargets.push_back(first);
        first += uint64_t(range.last) - range.first + 1;
    }
    m_nextProgressNs = monotonicNs();
    int rate = effectiveRate();
    int recoveries = 0;
    for (m_pass = 0; m_heardCount < m_targets.count() && !m_stopRequested; ++m_pass) {
        const uint64_t dropsBefore = drops();
        runPass(rate);
        m_droppedInPass = drops() - dropsBefore;
        if (int(m_pass) < m_settings.retries)
            continue;
        if (m_droppedInPass == 0 || recoveries == MaxRecoveryPasses)
            break;
        ++recoveries;
        rate = std::max(1, rate / 2);
    }
    if (m_heardCount == m_targets.count())
        m_droppedInPass = 0;
    reportProgress(monotonicNs(), true);
    std::sort(m_answers.begin(), m_answers.end(),
              [](const Answer &a, const Answer &b) { return a.address < b.address; });
}

void Sweep::openSockets()
{
    const bool allowDatagram = !IcmpApi::Testing::faults().forbidDatagram;
    const double buffer =
        m_settings.receiveBufferBytes != 0
            ? m_settings.receiveBufferBytes
            : std::clamp(m_settings.rate * BufferedSeconds * BytesPerAnswer, MinReceiveBuffer, MaxReceiveBuffer);
    for (unsigned i = 0; i < m_identifiers; ++i) {
        auto socket = std::make_unique<IcmpSocket>();
        if (!socket->open(allowDatagram, m_identifiers)) {
            if (i == 0)
                throw TICMPException("Unable to get ping handle");
            throw std::runtime_error(std::string("cannot open another ICMP socket: ") + std::strerror(errno));
        }
        if (!socket->setTtl(m_settings.ttl))
            throw std::runtime_error("cannot set the time-to-live " + std::to_string(m_settings.ttl) + ": " +
                                     std::strerror(errno));
        if (!socket->setReceiveStamps())
            throw std::runtime_error(std::string("cannot have answers timed on arrival: ") + std::strerror(errno));
        socket->setReceiveBuffer(int(buffer));
        // A request this small is never fragmented, and one that may not be spares the kernel choosing
        // an IP identification for each (a good part of its cost per request).
        if (m_payload.size() + IcmpPacket::HeaderSize <= MaxUnfragmented)
            socket->setDontFragment();
        const bool holdsAll = socket->identifierCount() == m_identifiers;
        m_sockets.push_back(std::move(socket));
        // One raw socket takes the whole block; datagram sockets have one identifier each.
        if (holdsAll)
            return;
    }
}

void Sweep::runPass(int rate)
{
    m_cursor = Cursor();
    m_cursorDone = false;
    m_tokens = 1;
    m_refilledNs = monotonicNs();
    while (!m_stopRequested) {
        const int64_t now = monotonicNs();
        // Once the queues are read to the end, every answer that came before now is in: a request
        // whose time-out has passed by now had none.
        expire(drain() ? now : now - m_timeoutNs);
        sendBurst(monotonicNs(), rate);
        if (m_cursorDone && m_retired == m_issued)
            return;
        reportProgress(monotonicNs(), false);
        wait(nextWakeNs(monotonicNs(), rate));
    }
}

// The target under the cursor, passing over those already heard from; false at the end.
bool Sweep::targetAt(Cursor &cursor, uint32_t &address) const
{
    const std::vector<SweepTargets::Range> &ranges = m_targets.ranges();
    while (cursor.range < ranges.size()) {
        const SweepTargets::Range &range = ranges[cursor.range];
        if (cursor.offset > uint64_t(range.last - range.first)) {
            ++cursor.range;
            cursor.offset = 0;
        } else if (heard(cursor.target)) {
            ++cursor.offset;
            ++cursor.target;
        } else {
            address = range.first + uint32_t(cursor.offset);
            return true;
        }
    }
    return false;
}

// A token bucket: rate tokens a second, at most a hundredth of a second's saved up while nothing
// could be sent; spent a millisecond's work at a time.
void Sweep::sendBurst(int64_t now, int rate)
{
    if (m_cursorDone)
        return;
    const double burst = std::max(1.0, rate / 100.0);
    m_tokens = std::min(burst, m_tokens + double(now - m_refilledNs) * rate / Second);
    m_refilledNs = now;
    m_sendBlocked = false;
    const int64_t end = now + BurstNs;
    const uint64_t slotCount = m_slots.size();
    while (!m_sendBlocked && m_tokens >= 1 && m_issued - m_retired < slotCount) {
        // A batch stays within one identifier's numbers: with datagram sockets, within one socket.
        const uint64_t toBlockEnd = SequenceCount - m_issued % SequenceCount;
        const size_t count = size_t(std::min<double>(
            {m_tokens, double(slotCount - (m_issued - m_retired)), double(MaxBatch), double(toBlockEnd)}));
        const size_t gathered = gather(count);
        if (gathered == 0) {
            m_cursorDone = true;
            return;
        }
        const size_t done = sendBatch(gathered);
        if (done != 0)
            m_cursor = m_batch[done - 1].after;
        m_tokens -= double(done);
        if (monotonicNs() >= end)
            return;
    }
}

// The next count targets from the cursor, each with its request on the slots from m_issued on.
size_t Sweep::gather(size_t count)
{
    std::vector<uint8_t> payload = m_payload;
    Cursor cursor = m_cursor;
    size_t gathered = 0;
    for (; gathered < count && targetAt(cursor, m_batch[gathered].address); ++gathered) {
        Outgoing &outgoing = m_batch[gathered];
        const uint64_t slot = m_issued + gathered;
        const uint16_t identifier = identifierOfSlot(slot);
        const auto sequence = uint16_t(slot % SequenceCount);
        outgoing.target = cursor.target;
        ++cursor.offset;
        ++cursor.target;
        outgoing.after = cursor;
        m_signature.sign(payload.data(), payload.size(), outgoing.address, identifier, sequence, m_pass);
        IcmpPacket::buildEchoRequest(outgoing.request, identifier, sequence, payload.data(), payload.size());
    }
    return gathered;
}

// Sends the batch in as few calls as the socket allows; how many of its requests are done with,
// the first ones. A request the system refuses is counted with the reason, not tried again.
size_t Sweep::sendBatch(size_t count)
{
    const size_t index = socketOfSlot(m_issued);
    IcmpSocket &socket = *m_sockets[index];
    m_requests.clear();
    for (size_t i = 0; i < count; ++i)
        m_requests.push_back({htonl(m_batch[i].address), &m_batch[i].request});
    size_t done = 0;
    int confirmations = 0;
    while (done < count) {
        // Every request of the call is timed from when the call began: the kernel may carry the answer
        // to one in before it sends the next, so a later guess could come after the answer.
        const int64_t sentNs = monotonicNs();
        const int result = socket.sendMany(&m_requests[done], count - done, MSG_DONTWAIT);
        const auto spreadUs = uint32_t(std::min<int64_t>((monotonicNs() - sentNs) / 1000 + 1, UINT32_MAX));
        for (int i = 0; i < result; ++i)
            commit(m_batch[done + size_t(i)], sentNs, spreadUs);
        if (result > 0) {
            done += size_t(result);
            confirmations = 0;
            continue;
        }
        if (wouldBlock(-result)) {
            m_sendBlocked = true;
            break;
        }
        if (!failedForItsOwnReason(index, -result) && ++confirmations <= MaxConfirmations)
            continue;
        const uint64_t slot = m_issued;
        refuse(m_batch[done], socket.statusOfSendError(-result, m_requests[done].destination, identifierOfSlot(slot),
                                                       uint16_t(slot % SequenceCount)));
        // The error that explained the refusal is pending too.
        if (socket.errorPendingPossibly())
            socket.clearPendingError();
        ++done;
        confirmations = 0;
    }
    return done;
}

// A send fails with the errno of an ICMP error that came in since the last one was cleared, not
// with its own. Only a read of every error queued so far tells that none did.
bool Sweep::failedForItsOwnReason(size_t index, int error)
{
    if (!mayBeLeftPending(error))
        return true;
    // A datagram socket queues errors apart from the replies; a raw one among them.
    IcmpSocket &socket = *m_sockets[index];
    const bool readAll = readQueue(index, socket.kind() == IcmpSocket::Kind::Datagram);
    if (readAll && !socket.errorPendingPossibly())
        return true;
    socket.clearPendingError();
    return false;
}

void Sweep::commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs)
{
    m_slots[m_issued % m_slots.size()] = Slot{outgoing.address, spreadUs, sentNs};
    ++m_issued;
    ++m_progress.sent;
}

// A request is late only when it would be even had it gone out at the end of its call.
int64_t Sweep::deadlineOf(const Slot &slot) const
{
    return slot.sentNs + int64_t(slot.spreadUs) * 1000 + m_timeoutNs;
}

uint32_t Sweep::targetOf(uint32_t address) const
{
    const std::vector<SweepTargets::Range> &ranges = m_targets.ranges();
    const auto after =
        std::upper_bound(ranges.begin(), ranges.end(), address,
                         [](uint32_t value, const SweepTargets::Range &range) { return value < range.first; });
    const auto range = size_t(after - ranges.begin()) - 1;
    return uint32_t(m_rangeTargets[range] + (address - ranges[range].first));
}

void Sweep::refuse(const Outgoing &outgoing, uint32_t status)
{
    m_slots[m_issued % m_slots.size()] = Slot();
    ++m_issued;
    ++m_progress.unsent;
    markHeard(outgoing.target);
    auto unsent =
        std::find_if(m_unsent.begin(), m_unsent.end(), [status](const Unsent &each) { return each.status == status; });
    if (unsent == m_unsent.end())
        unsent = m_unsent.insert(m_unsent.end(), Unsent{status, 0, {}});
    if (unsent->first.size() < UnsentListed)
        unsent->first.push_back(outgoing.address);
    ++unsent->count;
}

size_t Sweep::socketOfSlot(uint64_t slot) const
{
    return m_sockets.size() == 1 ? 0 : size_t(slot % m_slots.size() / SequenceCount);
}

uint16_t Sweep::identifierOfSlot(uint64_t slot) const
{
    const auto block = unsigned(slot % m_slots.size() / SequenceCount);
    if (m_sockets.size() == 1)
        return uint16_t(m_sockets.front()->identifier() + block);
    return m_sockets[block]->identifier();
}

// Slots are given back in the order they were handed out: answered ones at once, the others once
// their time-out has passed by horizonNs.
void Sweep::expire(int64_t horizonNs)
{
    while (m_retired < m_issued) {
        Slot &slot = m_slots[m_retired % m_slots.size()];
        if (slot.sentNs != 0) {
            if (deadlineOf(slot) > horizonNs)
                return;
            slot.sentNs = 0;
        }
        ++m_retired;
    }
}

int64_t Sweep::nextWakeNs(int64_t now, int rate) const
{
    int64_t wake = m_nextProgressNs;
    if (m_retired < m_issued) {
        const Slot &oldest = m_slots[m_retired % m_slots.size()];
        wake = std::min(wake, oldest.sentNs != 0 ? deadlineOf(oldest) : now);
    }
    if (m_cursorDone || m_issued - m_retired >= m_slots.size())
        return wake;
    if (m_sendBlocked)
        return std::min(wake, now + BlockedPauseNs);
    // Sends go out a millisecond's worth at a time, so that a fast rate costs no wake-up per request.
    const double batch = std::min(std::max(1.0, rate / 100.0), std::max(1.0, rate / 1000.0));
    const double missing = std::max(0.0, batch - m_tokens);
    return std::min(wake, now + int64_t(std::ceil(missing * Second / rate)));
}

void Sweep::wait(int64_t untilNs)
{
    std::vector<pollfd> fds;
    for (const auto &socket : m_sockets)
        fds.push_back({socket->fd(), POLLIN, 0});
    fds.push_back({m_stopFd, POLLIN, 0});
    const int64_t left = std::max<int64_t>(0, untilNs - monotonicNs());
    const timespec timeout{time_t(left / Second), long(left % Second)};
    const int ready = ppoll(fds.data(), fds.size(), &timeout, nullptr);
    if (ready < 0 && errno != EINTR)
        throw std::runtime_error(std::string("cannot wait for answers: ") + std::strerror(errno));
    for (const pollfd &pfd : fds)
        if ((pfd.revents & POLLNVAL) != 0)
            throw std::runtime_error("the ICMP socket was closed");
}

// Reads every socket's queues; false when a flood kept one from being read to its end. An error
// read leaves its errno pending, which would wake every wait at once: it is cleared here.
bool Sweep::drain()
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

bool Sweep::readQueue(size_t index, bool errorQueue)
{
    IcmpSocket &socket = *m_sockets[index];
    for (size_t read = 0; read < MaxReadsPerDrain;) {
        const std::vector<IcmpSocket::Received> &batch = socket.receiveMany(errorQueue, MaxReadBatch);
        if (batch.empty())
            return true;
        // The kernel times arrivals on the wall clock; requests are timed on the monotonic one.
        const int64_t realtimeOffset = nowNs(CLOCK_REALTIME) - monotonicNs();
        for (const IcmpSocket::Received &packet : batch)
            take(index, packet, realtimeOffset);
        read += batch.size();
    }
    return false;
}

// An answer counts only for the request it names, by identifier, sequence number and destination,
// and only when it carries that request's check: one that came after the time-out, before its
// request was given up, is given up with it.
void Sweep::take(size_t index, const IcmpSocket::Received &packet, int64_t realtimeOffsetNs)
{
    const IcmpPacket::Decoded &decoded = packet.decoded;
    const bool reply = decoded.kind == IcmpPacket::Kind::EchoReply;
    if (!reply && decoded.kind != IcmpPacket::Kind::Error)
        return;
    const IcmpSocket &socket = *m_sockets[index];
    const auto block = uint16_t(decoded.identifier - socket.identifier());
    if (block >= socket.identifierCount())
        return;
    Slot &slot = m_slots[(index + block) * SequenceCount + decoded.sequence];
    const uint32_t destination = reply ? decoded.source : decoded.quotedDestination;
    if (slot.sentNs == 0 || destination != htonl(slot.address))
        return;
    const bool signedByUs =
        reply ? decoded.dataSize == m_payload.size() &&
                    m_signature.verify(packet.bytes + decoded.dataOffset, decoded.dataSize, m_payload.size(),
                                       slot.address, decoded.identifier, decoded.sequence, m_pass)
              : m_signature.verify(packet.bytes + decoded.quotedOffset, decoded.quotedSize, m_payload.size(),
                                   slot.address, decoded.identifier, decoded.sequence, m_pass);
    if (!signedByUs)
        return;
    const int64_t arrived = packet.arrivedNs != 0 ? packet.arrivedNs - realtimeOffsetNs : monotonicNs();
    if (arrived <= deadlineOf(slot))
        record(slot, reply ? uint32_t(IP_SUCCESS) : decoded.status, ntohl(decoded.source), arrived);
    slot.sentNs = 0;
}

void Sweep::record(Slot &slot, uint32_t status, uint32_t from, int64_t arrivedNs)
{
    const double rttMs = double(std::max<int64_t>(0, arrivedNs - slot.sentNs)) / Millisecond;
    m_answers.push_back({slot.address, status, from, rttMs});
    ++(status == IP_SUCCESS ? m_progress.replies : m_progress.errors);
    markHeard(targetOf(slot.address));
}

void Sweep::markHeard(uint32_t target)
{
    m_heard[target / 64] |= uint64_t(1) << (target % 64);
    ++m_heardCount;
}

bool Sweep::heard(uint32_t target) const
{
    return (m_heard[target / 64] >> (target % 64) & 1) != 0;
}

uint64_t Sweep::drops() const
{
    uint64_t total = 0;
    for (const auto &socket : m_sockets)
        total += socket->drops();
    return total;
}

void Sweep::reportProgress(int64_t now, bool force)
{
    if (!force && now < m_nextProgressNs)
        return;
    m_nextProgressNs = now + ProgressIntervalNs;
    if (onProgress)
        onProgress(m_progress);
}
