#include "Icmp6Socket.h"

#include "IcmpTypes.h"
#include "Privileges.h"
#include "RawIdentifiers.h"
#include "SocketCalls.h"

#include <linux/errqueue.h>
#include <linux/filter.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QtGlobal>

namespace {

using namespace SocketCalls;

// Room for the largest IPv6 packet short of a jumbogram, so that no packet is ever cut short.
constexpr size_t ReceiveBufferSize = 65536;
constexpr size_t ControlBufferSize = 512;
constexpr size_t MaxStalePackets = 1024;
// A refused send's error is queued before the send returns, behind what was already there.
constexpr size_t MaxRefusalReads = 256;

// A raw ICMPv6 socket is handed every echo reply of the machine: the kernel keeps only those with
// our identifier, and everything else the type filter lets through. A raw IPv6 socket's filter sees
// the packet from its ICMPv6 header on.
void attachIdentifierFilter(int fd, uint16_t identifier)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 4),                 // identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 2, 0), // ours: keep
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 0),                 // type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, Icmp6Packet::EchoReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0), // someone else's reply: drop
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        qWarning("ICMPv6: cannot filter the raw socket (%s); replies may be lost under load", strerror(errno));
}

// Only replies and errors wake a raw socket: our own requests seen on loopback, the requests of
// everyone else and the neighbour and router messages of the link stay out of its queue.
bool passRepliesAndErrors(int fd)
{
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    for (uint8_t type : {Icmp6Packet::EchoReply, Icmp6Packet::DestinationUnreachable, Icmp6Packet::PacketTooBig,
                         Icmp6Packet::TimeExceeded, Icmp6Packet::ParameterProblem})
        ICMP6_FILTER_SETPASS(type, &filter);
    return setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0;
}

} // namespace

// One packet as recvmsg gave it, with what its ancillary data and peer address told.
struct Icmp6Socket::Message {
    size_t len = 0;
    IpAddress peer;
    uint8_t hopLimit = 0;
    const sock_extended_err *error = nullptr; // points into the control buffer
    IpAddress offender;
    int64_t arrivedNs = 0;
};

Icmp6Socket::Icmp6Socket() : m_packet(ReceiveBufferSize), m_control(ControlBufferSize) {}

Icmp6Socket::~Icmp6Socket()
{
    close();
}

bool Icmp6Socket::open(bool allowDatagram)
{
    close();
    if (!allowDatagram)
        return openRaw();
    return openDatagram() || (datagramRefused(errno) && openRaw());
}

void Icmp6Socket::close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    if (m_kind == Kind::Raw)
        RawIdentifiers::forIcmp6().release(m_identifier);
    m_held.clear();
}

// The kernel owns the echo identifier of an ICMPv6 datagram socket; binding makes it choose one now.
bool Icmp6Socket::openDatagram()
{
    m_fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (m_fd < 0)
        return false;
    sockaddr_in6 local{};
    local.sin6_family = AF_INET6;
    socklen_t localLen = sizeof local;
    if (bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &localLen) != 0 ||
        !enable(m_fd, IPPROTO_IPV6, IPV6_RECVERR) || !enable(m_fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT)) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Datagram;
    m_identifier = ntohs(local.sin6_port);
    return true;
}

// The kernel fills in the checksum of everything a raw ICMPv6 socket sends, and checks it on what it
// reads (IPV6_CHECKSUM at offset 2, which such a socket cannot turn off).
bool Icmp6Socket::openRaw()
{
    // Once the program has given up its capabilities, raw sockets are those it opened before.
    m_fd = Privileges::takeRawSocket(AF_INET6);
    if (m_fd < 0)
        m_fd = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (m_fd < 0)
        return false;
    if (!passRepliesAndErrors(m_fd) || !enable(m_fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT)) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Raw;
    m_identifier = RawIdentifiers::forIcmp6().acquire(1);
    attachIdentifierFilter(m_fd, m_identifier);
    return true;
}

bool Icmp6Socket::setTtl(int ttl)
{
    return setsockopt(m_fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &ttl, sizeof ttl) == 0;
}

bool Icmp6Socket::setReceiveStamps()
{
    return enable(m_fd, SOL_SOCKET, SO_TIMESTAMPNS);
}

int Icmp6Socket::send(const IpAddress &destination, const std::vector<uint8_t> &request, int flags)
{
    if (!destination.isV6())
        return EAFNOSUPPORT;
    const sockaddr_in6 to = destination.toSockaddr6();
    if (sendto(m_fd, request.data(), request.size(), flags, reinterpret_cast<const sockaddr *>(&to), sizeof to) < 0)
        return errno;
    return 0;
}

uint32_t Icmp6Socket::statusOfSendError(int error, const IpAddress &destination, uint16_t identifier, uint16_t sequence)
{
    if (error != EPERM)
        return statusOfErrno(error);
    // What is read on the way is kept for the next reads: it may answer other requests.
    const bool errorQueue = m_kind == Kind::Datagram;
    const IpAddress quoted = destination.withoutScope();
    for (size_t i = 0; i < MaxRefusalReads; ++i) {
        Message message;
        if (!receivePacket(errorQueue ? MSG_ERRQUEUE : 0, message))
            break;
        Held held{errorQueue, std::vector<uint8_t>(m_packet.begin(), m_packet.begin() + long(message.len)),
                  decode(errorQueue, message)};
        const Packet &packet = held.packet;
        if (packet.kind == IcmpPacket::Kind::Error && packet.quotedDestination == quoted &&
            packet.identifier == identifier && packet.sequence == sequence)
            return packet.status;
        m_held.push_back(std::move(held));
    }
    return IP_GENERAL_FAILURE;
}

void Icmp6Socket::readControl(msghdr &msg, Message &message) const
{
    for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level == SOL_SOCKET && cmsg->cmsg_type == SCM_TIMESTAMPNS) {
            message.arrivedNs = arrivalOf(cmsg);
        } else if (cmsg->cmsg_level == IPPROTO_IPV6 && cmsg->cmsg_type == IPV6_HOPLIMIT) {
            int hopLimit = 0;
            std::memcpy(&hopLimit, CMSG_DATA(cmsg), sizeof hopLimit);
            message.hopLimit = uint8_t(hopLimit);
        } else if (cmsg->cmsg_level == IPPROTO_IPV6 && cmsg->cmsg_type == IPV6_RECVERR) {
            message.error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(cmsg));
            message.offender = IpAddress::of(SO_EE_OFFENDER(message.error));
        }
    }
}

EchoSocket::Wake Icmp6Socket::wait(int timeoutMs)
{
    pollfd pfd{m_fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, timeoutMs);
    Wake wake;
    wake.failed = (ready < 0 && errno != EINTR) || (ready > 0 && (pfd.revents & POLLNVAL) != 0);
    wake.error = ready > 0 && (pfd.revents & POLLERR) != 0;
    wake.readable = ready > 0 && (pfd.revents & POLLIN) != 0;
    return wake;
}

// A pending error is handed to the next read in place of a packet, once; the packets wait behind it.
bool Icmp6Socket::receivePacket(int flags, Message &message)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        sockaddr_in6 peer{};
        iovec iov{m_packet.data(), m_packet.size()};
        msghdr msg{};
        msg.msg_name = &peer;
        msg.msg_namelen = sizeof peer;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = m_control.data();
        msg.msg_controllen = m_control.size();
        const ssize_t len = recvmsg(m_fd, &msg, flags | MSG_DONTWAIT);
        if (len < 0) {
            if (queueEmpty(errno))
                return false;
            continue;
        }
        message = Message();
        message.len = std::min(size_t(len), m_packet.size());
        message.peer = IpAddress::of(reinterpret_cast<const sockaddr *>(&peer));
        readControl(msg, message);
        return true;
    }
    return false;
}

// A datagram socket hands an ICMPv6 error back as the request it quotes, with the error's type and
// code in the ancillary data, the request's destination as the peer address and the error's sender
// as the offender.
EchoSocket::Packet Icmp6Socket::decode(bool errorQueue, const Message &message) const
{
    const Icmp6Packet::Decoded decoded = Icmp6Packet::decode(m_packet.data(), message.len);
    Packet packet;
    packet.ttl = message.hopLimit;
    packet.identifier = decoded.identifier;
    packet.sequence = decoded.sequence;
    packet.arrivedNs = message.arrivedNs;
    if (errorQueue) {
        if (decoded.kind != IcmpPacket::Kind::EchoRequest || !message.error ||
            message.error->ee_origin != SO_EE_ORIGIN_ICMP6)
            return {};
        packet.status = Icmp6Packet::statusOfError(message.error->ee_type, message.error->ee_code);
        packet.kind = packet.status != 0 ? IcmpPacket::Kind::Error : IcmpPacket::Kind::Other;
        packet.source = message.offender;
        packet.quotedDestination = message.peer.withoutScope();
        return packet;
    }
    packet.kind = decoded.kind;
    packet.source = message.peer;
    packet.status = decoded.status;
    if (decoded.kind == IcmpPacket::Kind::Error)
        packet.quotedDestination = IpAddress::v6(decoded.quotedDestination.data());
    packet.dataOffset = decoded.dataOffset;
    packet.dataSize = decoded.dataSize;
    return packet;
}

bool Icmp6Socket::takeHeld(bool errorQueue, Packet &packet)
{
    const auto held = std::find_if(m_held.begin(), m_held.end(),
                                   [errorQueue](const Held &each) { return each.errorQueue == errorQueue; });
    if (held == m_held.end())
        return false;
    std::copy(held->bytes.begin(), held->bytes.end(), m_packet.begin());
    packet = held->packet;
    m_held.erase(held);
    return true;
}

bool Icmp6Socket::receive(bool errorQueue, Packet &packet)
{
    if (takeHeld(errorQueue, packet))
        return true;
    Message message;
    if (!receivePacket(errorQueue ? MSG_ERRQUEUE : 0, message))
        return false;
    packet = decode(errorQueue, message);
    return true;
}

void Icmp6Socket::clearPendingError()
{
    int pending = 0;
    socklen_t len = sizeof pending;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &len);
}

void Icmp6Socket::discardQueued()
{
    m_held.clear();
    Message message;
    for (size_t i = 0; i < MaxStalePackets && receivePacket(MSG_ERRQUEUE, message); ++i) {
    }
    for (size_t i = 0; i < MaxStalePackets && receivePacket(0, message); ++i) {
    }
    clearPendingError();
}
