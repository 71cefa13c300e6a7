#include "SocketChannel.h"

#include "echo/EchoTerms.h"
#include "platform/ArrivalClock.h"

#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr int64_t Microsecond = 1000;
constexpr int64_t Second = 1000000000;
// A send that keeps failing with errors that ICMP errors coming in leave pending.
constexpr int MaxConfirmations = 4;
// The datagram that every IPv4 host takes whole, less the IP header.
constexpr size_t MaxUnfragmented = 576 - 20;

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

[[noreturn]] void failSetting(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

SocketChannel::SocketChannel(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram)
    : m_family(wanted.family), m_clock(SweepClock::monotonic()), m_stopFd(wanted.stopFd), m_requests(*wanted.requests),
      m_identifiers(wanted.identifiers)
{
    m_sockets.push_back(openSocket(wanted, allowDatagram, m_identifiers));
    if (!m_sockets.front())
        throw TICMPException("Unable to get ping handle");
    if (m_sockets.front()->kind() == EchoSocket::Kind::Datagram) {
        while (m_sockets.size() < m_identifiers) {
            m_sockets.push_back(openSocket(wanted, allowDatagram, 1));
            if (!m_sockets.back())
                failSetting("cannot open another ICMP socket");
        }
    }
    for (const auto &socket : m_sockets)
        m_polled.push_back({socket->fd(), POLLIN, 0});
    m_polled.push_back({m_stopFd, POLLIN, 0});
}

SocketChannel::~SocketChannel() = default;

// Null, with errno set, when no socket opens.
std::unique_ptr<IcmpSocket> SocketChannel::openSocket(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram,
                                                      unsigned block)
{
    auto socket = std::make_unique<IcmpSocket>(m_family);
    if (!socket->open(allowDatagram, block))
        return nullptr;
    if (!socket->setTtl(wanted.ttl))
        failSetting("cannot set the time-to-live " + std::to_string(wanted.ttl));
    if (!socket->setReceiveStamps())
        failSetting("cannot have answers timed on arrival");
    socket->setReceiveBuffer(wanted.receiveBufferBytes);
    // An IPv4 request this small is never fragmented, and one that may not be spares the kernel
    // choosing an IP identification for each (a good part of its cost per request).
    if (m_family == AF_INET && m_requests.payloadSize() + IcmpPacket::HeaderSize <= MaxUnfragmented)
        socket->setDontFragment();
    return socket;
}

size_t SocketChannel::socketOf(uint32_t slot) const
{
    return m_sockets.size() == 1 ? 0 : size_t(slot / SlotsPerIdentifier);
}

uint16_t SocketChannel::identifierOf(uint32_t slot) const
{
    const auto block = unsigned(slot / SlotsPerIdentifier);
    if (m_sockets.size() == 1)
        return uint16_t(m_sockets.front()->identifier() + block);
    return m_sockets[block]->identifier();
}

bool SocketChannel::slotOf(size_t socket, uint16_t identifier, uint16_t sequence, uint32_t &slot) const
{
    const unsigned identifiers = m_sockets[socket]->kind() == EchoSocket::Kind::Raw ? m_identifiers : 1;
    const auto block = uint16_t(identifier - m_sockets[socket]->identifier());
    if (block >= identifiers)
        return false;
    slot = uint32_t(socket + block) * SlotsPerIdentifier + sequence;
    return true;
}

// The requests share one identifier's block, so one socket. A request the system refuses is reported
// with the reason and the send goes on; one refused by route ends it.
void SocketChannel::send(const Request *requests, size_t count, Report &report)
{
    report = Report();
    if (m_packets.size() < count)
        m_packets.resize(count);
    m_outgoing.clear();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t slot = requests[i].slot;
        m_requests.build(m_packets[i], m_family, requests[i].target, identifierOf(slot),
                         uint16_t(slot % SlotsPerIdentifier), m_pass);
        m_outgoing.push_back({requests[i].address, &m_packets[i]});
    }
    for (size_t done = 0; done < count;) {
        const int sent = sendCall(requests, done, count - done, report);
        if (sent < 0 || (sent == 0 && report.steps.back().byRoute))
            return;
        done += size_t(std::max(sent, 1));
    }
}

// One call of the system's, retried while a failure may be an earlier ICMP error's: how many requests
// went out (0: the first was refused, a step says why), or -1 when the system had no room.
int SocketChannel::sendCall(const Request *requests, size_t from, size_t count, Report &report)
{
    const Request &first = requests[from];
    const size_t socket = socketOf(first.slot);
    IcmpSocket &icmp = *m_sockets[socket];
    for (int confirmations = 0;;) {
        const int64_t startNs = m_clock.nowNs();
        const int result = icmp.sendMany(&m_outgoing[from], std::min(count, CallBatch), MSG_DONTWAIT);
        const int64_t endNs = m_clock.nowNs();
        if (result > 0) {
            report.steps.push_back({uint32_t(result), 0, false, startNs, endNs});
            return result;
        }
        const int error = -result;
        if (wouldBlock(error)) {
            report.blocked = true;
            return -1;
        }
        const bool own = failedForItsOwnReason(socket, error, first.address);
        if (!own && ++confirmations <= MaxConfirmations)
            continue;
        const uint32_t status = icmp.statusOfSendError(error, first.address, identifierOf(first.slot),
                                                       uint16_t(first.slot % SlotsPerIdentifier));
        // The error that explained the refusal is pending too.
        if (icmp.errorPendingPossibly())
            icmp.clearPendingError();
        report.steps.push_back({0, status, own && failedByRoute(error), startNs, endNs});
        return 0;
    }
}

// A send fails with the errno of an ICMP error that came in since the last one was cleared, not
// with its own: a datagram socket keeps it pending (a raw one without IP_RECVERR never does). The
// kernel's route lookup, asked apart, tells a missing route; for the rest, only a read of every
// error queued so far tells that none came.
bool SocketChannel::failedForItsOwnReason(size_t socket, int error, const IpAddress &address)
{
    IcmpSocket &icmp = *m_sockets[socket];
    if (!mayBeLeftPending(error) || icmp.kind() == EchoSocket::Kind::Raw)
        return true;
    if (failedByRoute(error)) {
        const int lookup = m_routes.lookupError(address);
        if (lookup == error)
            return true;
        if (lookup == 0)
            return false;
    }
    const bool readAll = icmp.readAheadErrors();
    if (readAll && !icmp.errorPendingPossibly())
        return true;
    icmp.clearPendingError();
    return false;
}

// Each socket's queue, then a datagram socket's error queue. An error read leaves its errno pending,
// which would wake every wait at once: it is cleared once the socket's queues are read.
size_t SocketChannel::read(size_t limit, std::vector<Heard> &heard)
{
    if (m_reading == 0)
        m_roundNs = m_clock.nowNs();
    for (; m_reading < m_sockets.size() * 2; ++m_reading) {
        IcmpSocket &icmp = *m_sockets[m_reading / 2];
        const bool errorQueue = m_reading % 2 == 1;
        if (!errorQueue || icmp.kind() == EchoSocket::Kind::Datagram) {
            const std::vector<IcmpSocket::Received> &batch = icmp.receiveMany(errorQueue, limit);
            if (!batch.empty()) {
                const int64_t offset = ArrivalClock::realtimeOffsetNs();
                Heard each;
                for (const IcmpSocket::Received &packet : batch)
                    if (heardOf(packet, each) && slotOf(m_reading / 2, each.identifier, each.sequence, each.slot)) {
                        each.arrivedNs = each.arrivedNs != 0 ? each.arrivedNs - offset : 0;
                        heard.push_back(each);
                    }
                return batch.size();
            }
        }
        if (errorQueue && icmp.errorPendingPossibly())
            icmp.clearPendingError();
    }
    m_reading = 0;
    m_readUntilNs = m_roundNs;
    return 0;
}

// What an echo reply or an ICMP error says, its arrival on the wall clock; false for anything else.
bool SocketChannel::heardOf(const IcmpSocket::Received &packet, Heard &heard)
{
    const EchoSocket::Packet &decoded = packet.packet;
    heard.reply = decoded.kind == IcmpPacket::Kind::EchoReply;
    if (!heard.reply && decoded.kind != IcmpPacket::Kind::Error)
        return false;
    heard.identifier = decoded.identifier;
    heard.sequence = decoded.sequence;
    heard.from = decoded.source;
    heard.about = heard.reply ? decoded.source : decoded.quotedDestination;
    heard.status = decoded.status;
    heard.arrivedNs = decoded.arrivedNs;
    heard.echoed = packet.bytes + (heard.reply ? decoded.dataOffset : decoded.quotedOffset);
    heard.echoedSize = heard.reply ? decoded.dataSize : decoded.quotedSize;
    return true;
}

void SocketChannel::wait(int64_t untilNs)
{
    const int64_t left = std::max<int64_t>(0, untilNs - m_clock.nowNs());
    const timespec timeout{time_t(left / Second), long(left % Second)};
    if (ppoll(m_polled.data(), m_polled.size(), &timeout, nullptr) < 0 && errno != EINTR)
        failSetting("cannot wait for answers");
    for (size_t i = 0; i + 1 < m_polled.size(); ++i)
        if ((m_polled[i].revents & POLLNVAL) != 0)
            throw std::runtime_error("the ICMP socket was closed");
}

uint64_t SocketChannel::drops() const
{
    uint64_t total = 0;
    for (const auto &socket : m_sockets)
        total += socket->drops();
    return total;
}
