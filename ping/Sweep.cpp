#include "Sweep.h"

#include "icmp.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;

constexpr size_t SequenceCount = 65536;
// Deep enough for the answers of a burst; the system's limit applies where we may not lift it.
constexpr int ReceiveBufferBytes = 8 * 1024 * 1024;
// Bounds the reads of one wake-up, so that a flood of answers cannot hold the sending back.
constexpr int MaxReadsPerWake = 1024;
constexpr int MaxSendAttempts = 3;
// Requests handed to the kernel in one call: fewer calls, and a batch still leaves within a few
// hundred microseconds.
constexpr size_t MaxBatch = 64;
// The datagram that every IPv4 host takes whole, less the IP header.
constexpr size_t MaxUnfragmented = 576 - 20;
constexpr auto ProgressInterval = 100ms;
constexpr auto BlockedPause = 1ms;

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS;
}

timespec timespecOf(Sweep::Clock::duration duration)
{
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(duration, Sweep::Clock::duration{}));
    return timespec{time_t(ns.count() / 1000000000), long(ns.count() % 1000000000)};
}

} // namespace

Sweep::Sweep(const SweepTargets &targets, const Settings &settings)
    : m_targets(targets), m_settings(settings), m_payload(TICMP::payloadOf(settings.size)),
      m_timeout(std::chrono::milliseconds(settings.timeoutMs)), m_slots(SequenceCount),
      m_burst(std::max(1.0, settings.rate / 100.0))
{
}

void Sweep::run()
{
    openSocket();
    m_progress.addresses = m_targets.count();
    if (m_settings.retries > 0)
        m_heard.assign((m_targets.count() + 63) / 64, 0);
    m_nextProgress = Clock::now();
    for (int pass = 0; pass <= m_settings.retries && m_heardCount < m_targets.count(); ++pass)
        runPass();
    reportProgress(Clock::now(), true);
    std::sort(m_answers.begin(), m_answers.end(),
              [](const Answer &a, const Answer &b) { return a.address < b.address; });
}

void Sweep::openSocket()
{
    if (!m_socket.open(!IcmpApi::Testing::faults().forbidDatagram))
        throw TICMPException("Unable to get ping handle");
    if (!m_socket.setTtl(m_settings.ttl))
        throw std::runtime_error("cannot set the time-to-live " + std::to_string(m_settings.ttl) + ": " +
                                 std::strerror(errno));
    m_socket.setReceiveBuffer(ReceiveBufferBytes);
    // A request this small is never fragmented, and one that may not be spares the kernel choosing
    // an IP identification for each (a good part of its cost per request).
    if (m_payload.size() + IcmpPacket::HeaderSize <= MaxUnfragmented)
        m_socket.setDontFragment();
}

void Sweep::runPass()
{
    m_cursor = Cursor();
    m_cursorDone = false;
    m_tokens = 1;
    m_refilled = Clock::now();
    for (;;) {
        const Clock::time_point now = Clock::now();
        expire(now);
        sendDue(now);
        if (m_cursorDone && m_deadlines.empty())
            return;
        reportProgress(now, false);
        waitAndRead(nextWake(Clock::now()));
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

// A token bucket: rate tokens a second, at most m_burst saved up while nothing could be sent.
void Sweep::sendDue(Clock::time_point now)
{
    if (m_cursorDone)
        return;
    const double elapsed = std::chrono::duration<double>(now - m_refilled).count();
    m_tokens = std::min(m_burst, m_tokens + elapsed * m_settings.rate);
    m_refilled = now;
    m_sendBlocked = false;
    while (!m_sendBlocked && m_tokens >= 1 && m_deadlines.size() < MaxInFlight) {
        gather(std::min({size_t(m_tokens), MaxInFlight - m_deadlines.size(), MaxBatch}));
        if (m_batch.empty()) {
            m_cursorDone = true;
            return;
        }
        const size_t done = sendBatch();
        if (done != 0)
            m_cursor = m_batch[done - 1].after;
        m_tokens -= double(done);
    }
}

// The next count targets from the cursor, each with a sequence number and its request.
void Sweep::gather(size_t count)
{
    m_batch.resize(count);
    Cursor cursor = m_cursor;
    size_t gathered = 0;
    for (; gathered < count && targetAt(cursor, m_batch[gathered].address); ++gathered) {
        Outgoing &outgoing = m_batch[gathered];
        outgoing.target = cursor.target;
        outgoing.sequence = freeSequence();
        ++cursor.offset;
        ++cursor.target;
        outgoing.after = cursor;
        outgoing.request =
            IcmpPacket::buildEchoRequest(m_socket.identifier(), outgoing.sequence, m_payload.data(), m_payload.size());
    }
    m_batch.resize(gathered);
}

// Sends the batch in as few calls as the socket allows; how many of its requests are done with,
// the first ones. A request that fails for good is answered at once with the reason.
size_t Sweep::sendBatch()
{
    std::vector<IcmpSocket::Outgoing> requests;
    for (const Outgoing &outgoing : m_batch)
        requests.push_back({htonl(outgoing.address), &outgoing.request});
    size_t done = 0;
    int attempts = 0;
    while (done < requests.size()) {
        const Clock::time_point sent = Clock::now();
        const int result = m_socket.sendMany(&requests[done], requests.size() - done, MSG_DONTWAIT);
        for (int i = 0; i < result; ++i)
            commit(m_batch[done++], sent, 0);
        if (result > 0) {
            attempts = 0;
            continue;
        }
        if (wouldBlock(-result)) {
            m_sendBlocked = true;
            break;
        }
        // A datagram socket reports a queued ICMP error, about some other request, on the next send,
        // which then goes nowhere: read the errors and send again.
        if (++attempts < MaxSendAttempts) {
            readQueue(true);
            m_socket.clearPendingError();
            continue;
        }
        commit(m_batch[done++], sent, -result);
        attempts = 0;
    }
    return done;
}

void Sweep::commit(const Outgoing &outgoing, Clock::time_point sent, int error)
{
    if (++m_serial == 0)
        ++m_serial;
    Slot &slot = m_slots[outgoing.sequence];
    slot = Slot{m_serial, outgoing.target, outgoing.address, sent};
    ++m_progress.sent;
    if (error != 0) {
        record(slot, IcmpSocket::statusOfSendError(error), 0, sent);
        slot.serial = 0;
        return;
    }
    m_deadlines.push_back({sent + m_timeout, slot.serial, outgoing.sequence});
}

// The next number whose slot is free, in turn.
uint16_t Sweep::freeSequence()
{
    while (m_slots[m_sequence].serial != 0)
        ++m_sequence;
    return m_sequence++;
}

// Deadlines come in sending order; those of requests already answered are passed over.
void Sweep::expire(Clock::time_point now)
{
    while (!m_deadlines.empty()) {
        const Deadline &deadline = m_deadlines.front();
        Slot &slot = m_slots[deadline.sequence];
        const bool waiting = slot.serial == deadline.serial;
        if (waiting && deadline.at > now)
            return;
        if (waiting)
            slot.serial = 0;
        m_deadlines.pop_front();
    }
}

Sweep::Clock::time_point Sweep::nextWake(Clock::time_point now) const
{
    Clock::time_point wake = m_nextProgress;
    if (!m_deadlines.empty())
        wake = std::min(wake, m_deadlines.front().at);
    if (m_cursorDone || m_deadlines.size() >= MaxInFlight)
        return wake;
    if (m_sendBlocked)
        return std::min(wake, now + BlockedPause);
    // Sends go out a millisecond's worth at a time, so that a fast rate costs no wake-up per request.
    const double batch = std::min(m_burst, std::max(1.0, m_settings.rate / 1000.0));
    const double missing = std::max(0.0, batch - m_tokens);
    return std::min(wake, now + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(missing / m_settings.rate)));
}

void Sweep::waitAndRead(Clock::time_point until)
{
    pollfd pfd{m_socket.fd(), POLLIN, 0};
    const timespec timeout = timespecOf(until - Clock::now());
    const int ready = ppoll(&pfd, 1, &timeout, nullptr);
    if (ready < 0 && errno != EINTR)
        throw std::runtime_error(std::string("cannot wait for answers: ") + std::strerror(errno));
    if (ready <= 0)
        return;
    if ((pfd.revents & POLLNVAL) != 0)
        throw std::runtime_error("the ICMP socket was closed");
    if ((pfd.revents & POLLERR) != 0) {
        readQueue(true);
        m_socket.clearPendingError();
    }
    if ((pfd.revents & POLLIN) != 0)
        readQueue(false);
}

void Sweep::readQueue(bool errorQueue)
{
    IcmpPacket::Decoded decoded;
    for (int i = 0; i < MaxReadsPerWake && m_socket.receive(errorQueue, decoded); ++i)
        take(decoded, Clock::now());
}

// An answer counts only for the request it names, by sequence number and destination: a late one
// whose number has come back into use names another address. One read after the time-out, before
// its request was given up, is given up with it.
void Sweep::take(const IcmpPacket::Decoded &decoded, Clock::time_point now)
{
    const bool reply = decoded.kind == IcmpPacket::Kind::EchoReply;
    if ((!reply && decoded.kind != IcmpPacket::Kind::Error) || decoded.identifier != m_socket.identifier())
        return;
    Slot &slot = m_slots[decoded.sequence];
    const uint32_t destination = reply ? decoded.source : decoded.quotedDestination;
    if (slot.serial == 0 || destination != htonl(slot.address))
        return;
    if (now - slot.sent <= m_timeout)
        record(slot, reply ? uint32_t(IP_SUCCESS) : decoded.status, ntohl(decoded.source), now);
    slot.serial = 0;
}

void Sweep::record(const Slot &slot, uint32_t status, uint32_t from, Clock::time_point now)
{
    m_answers.push_back(
        {slot.address, status, from, std::chrono::duration<double, std::milli>(now - slot.sent).count()});
    ++(status == IP_SUCCESS ? m_progress.replies : m_progress.errors);
    ++m_heardCount;
    if (!m_heard.empty())
        m_heard[slot.target / 64] |= uint64_t(1) << (slot.target % 64);
}

bool Sweep::heard(uint32_t target) const
{
    return !m_heard.empty() && (m_heard[target / 64] >> (target % 64) & 1) != 0;
}

void Sweep::reportProgress(Clock::time_point now, bool force)
{
    if (!force && now < m_nextProgress)
        return;
    m_nextProgress = now + ProgressInterval;
    if (onProgress)
        onProgress(m_progress);
}
