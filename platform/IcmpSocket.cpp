#include "IcmpSocket.h"

#include "IcmpTypes.h"
#include "RandomDraw.h"
#include "RawIdentifiers.h"
#include "SocketCalls.h"

#include <linux/errqueue.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <linux/sock_diag.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

using namespace SocketCalls;

// Room for the largest IP packet, so that no packet is ever cut short.
constexpr size_t ReceiveBufferSize = 65536;
constexpr size_t ControlBufferSize = 512;
constexpr size_t MaxStalePackets = 1024;
// A refused send's error is queued before the send returns, behind what was already there.
constexpr size_t MaxRefusalReads = 256;
constexpr unsigned MaxIdentifierBlock = 256;
constexpr int MaxIdentifierDraws = 64;
constexpr size_t MaxBatch = 64;

bool isV6(int family)
{
    return family == AF_INET6;
}

int protocolOf(int family)
{
    return isV6(family) ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
}

RawIdentifiers &identifiersOf(int family)
{
    return isV6(family) ? RawIdentifiers::forIcmp6() : RawIdentifiers::forIcmp();
}

// A raw socket is handed every echo reply of the machine; under a flood its queue fills with
// other programs' replies and ours gets dropped. The kernel keeps only echo replies carrying one of
// our identifiers, and everything that is not an echo reply (errors quoting our requests among
// them). Without the filter the socket still works, only less well under load. A raw IPv4 socket's
// filter sees the IP header first; a raw IPv6 socket's sees the ICMPv6 header.
void attachIdentifierFilter(int fd, int family, uint16_t first, unsigned count)
{
    const uint8_t echoReply = isV6(family) ? Icmp6Packet::EchoReply : IcmpPacket::EchoReply;
    sock_filter code[] = {
        isV6(family) ? sock_filter BPF_STMT(BPF_LDX | BPF_IMM, 0)          // X := 0
                     : sock_filter BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0), // X := IP header length
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                             // ICMP identifier
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, ~(count - 1) & 0xFFFF),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, first, 3, 0), // ours: keep
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),            // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, echoReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0), // someone else's reply: drop
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        std::fprintf(stderr, "ICMP: cannot filter the raw socket (%s); replies may be lost under load\n",
                     std::strerror(errno));
}

bool isPowerOfTwo(unsigned value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

// One packet as recvmsg gave it, with what its ancillary data and peer address told.
struct IcmpSocket::Message {
    size_t len = 0;
    IpAddress peer;
    uint8_t ttl = 0;
    const sock_extended_err *error = nullptr; // points into the control buffer
    IpAddress offender;
    int64_t arrivedNs = 0;
};

// What one recvmmsg call needs, kept from one call to the next.
struct IcmpSocket::Batch {
    std::unique_ptr<uint8_t[]> buffers{new uint8_t[MaxBatch * ReceiveBufferSize]};
    std::vector<char> controls = std::vector<char>(MaxBatch * ControlBufferSize);
    sockaddr_in6 peers[MaxBatch] = {};
    iovec iov[MaxBatch] = {};
    mmsghdr headers[MaxBatch] = {};
    std::vector<Received> received;
};

IcmpSocket::IcmpSocket(int family) : m_family(family), m_packet(ReceiveBufferSize), m_control(ControlBufferSize) {}

IcmpSocket::~IcmpSocket()
{
    close();
}

bool IcmpSocket::open(bool allowDatagram, unsigned identifierBlock)
{
    close();
    m_identifierCount = isPowerOfTwo(identifierBlock) ? std::min(identifierBlock, MaxIdentifierBlock) : 1;
    if (!allowDatagram)
        return openRaw();
    return openDatagram() || (datagramRefused(errno) && openRaw());
}

void IcmpSocket::close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    if (m_kind == Kind::Raw)
        identifiersOf(m_family).release(m_identifier);
    m_held.clear();
    m_errorsRead = false;
}

bool IcmpSocket::openDatagram()
{
    close();
    m_fd = socket(m_family, SOCK_DGRAM | SOCK_CLOEXEC, protocolOf(m_family));
    if (m_fd < 0)
        return false;
    const bool options = isV6(m_family)
                             ? enable(m_fd, IPPROTO_IPV6, IPV6_RECVERR) && enable(m_fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT)
                             : enable(m_fd, IPPROTO_IP, IP_RECVERR) && enable(m_fd, IPPROTO_IP, IP_RECVTTL);
    if (!options || !bindRandomIdentifier()) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Datagram;
    m_identifierCount = 1;
    return true;
}

// The port an ICMP datagram socket is bound to is the identifier of its requests. The kernel would
// count its choice up from the last one, which a forger could follow; a port drawn at random tells
// nothing. One that another socket holds is drawn again, and only after many such draws does the
// kernel's choice do.
bool IcmpSocket::bindRandomIdentifier()
{
    sockaddr_storage local{};
    local.ss_family = sa_family_t(m_family);
    socklen_t length = isV6(m_family) ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    // The port field sits at the same place in both families' addresses.
    in_port_t &port = reinterpret_cast<sockaddr_in *>(&local)->sin_port;
    int bound = -1;
    for (int draw = 0; draw < MaxIdentifierDraws && bound != 0; ++draw) {
        port = htons(RandomDraw::uint16());
        bound = port == 0 ? -1 : bind(m_fd, reinterpret_cast<sockaddr *>(&local), length);
        if (bound != 0 && port != 0 && errno != EADDRINUSE)
            return false;
    }
    if (bound != 0) {
        port = 0;
        bound = bind(m_fd, reinterpret_cast<sockaddr *>(&local), length);
    }
    if (bound != 0 || getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return false;
    m_identifier = ntohs(port);
    return true;
}

bool IcmpSocket::openRaw()
{
    m_fd = socket(m_family, SOCK_RAW | SOCK_CLOEXEC, protocolOf(m_family));
    if (m_fd < 0)
        return false;
    if (!filterRaw()) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Raw;
    m_identifier = identifiersOf(m_family).acquire(m_identifierCount);
    attachIdentifierFilter(m_fd, m_family, m_identifier, m_identifierCount);
    return true;
}

// Only replies and errors wake us: our own requests seen on loopback, the requests of everyone
// else and the neighbour and router messages of an IPv6 link stay out of the queue. The kernel
// fills in and checks the checksum of a raw ICMPv6 socket's packets itself.
bool IcmpSocket::filterRaw()
{
    if (isV6(m_family)) {
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (uint8_t type : {Icmp6Packet::EchoReply, Icmp6Packet::DestinationUnreachable, Icmp6Packet::PacketTooBig,
                             Icmp6Packet::TimeExceeded, Icmp6Packet::ParameterProblem})
            ICMP6_FILTER_SETPASS(type, &filter);
        return setsockopt(m_fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0 &&
               enable(m_fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT);
    }
    icmp_filter filter{};
    filter.data =
        ~(1u << IcmpPacket::EchoReply | 1u << IcmpPacket::DestinationUnreachable | 1u << IcmpPacket::SourceQuench |
          1u << IcmpPacket::TimeExceeded | 1u << IcmpPacket::ParameterProblem);
    return setsockopt(m_fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
}

bool IcmpSocket::setTtl(int ttl)
{
    if (isV6(m_family))
        return setsockopt(m_fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &ttl, sizeof ttl) == 0;
    return setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
}

bool IcmpSocket::setDontFragment()
{
    if (isV6(m_family)) {
        const int probe = IPV6_PMTUDISC_PROBE;
        return setsockopt(m_fd, IPPROTO_IPV6, IPV6_MTU_DISCOVER, &probe, sizeof probe) == 0;
    }
    const int probe = IP_PMTUDISC_PROBE;
    return setsockopt(m_fd, IPPROTO_IP, IP_MTU_DISCOVER, &probe, sizeof probe) == 0;
}

void IcmpSocket::setReceiveBuffer(int bytes)
{
    if (setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

bool IcmpSocket::setReceiveStamps()
{
    return enable(m_fd, SOL_SOCKET, SO_TIMESTAMPNS);
}

// Datagram ICMP sockets do not hand the drop count over with the packets; the memory report has it.
uint32_t IcmpSocket::drops() const
{
    uint32_t meminfo[SK_MEMINFO_VARS] = {};
    socklen_t len = sizeof meminfo;
    if (getsockopt(m_fd, SOL_SOCKET, SO_MEMINFO, meminfo, &len) != 0 || len <= SK_MEMINFO_DROPS * sizeof(uint32_t))
        return 0;
    return meminfo[SK_MEMINFO_DROPS];
}

EchoSocket::Sent IcmpSocket::sendEcho(const IpAddress &destination, uint16_t sequence, const uint8_t *payload,
                                      uint16_t size)
{
    const Clock::time_point at = now();
    const int error = send(destination, echoRequest(m_family, m_identifier, sequence, payload, size));
    return {error == 0 ? uint32_t(IP_SUCCESS) : statusOfSendError(error, destination, m_identifier, sequence), sequence,
            at};
}

int IcmpSocket::send(const IpAddress &destination, const std::vector<uint8_t> &request, int flags)
{
    if (destination.addressFamily() != m_family)
        return EAFNOSUPPORT;
    sockaddr_storage to{};
    const socklen_t toLen = destination.toSockaddr(to);
    if (sendto(m_fd, request.data(), request.size(), flags, reinterpret_cast<sockaddr *>(&to), toLen) < 0)
        return errno;
    return 0;
}

int IcmpSocket::sendMany(const Outgoing *requests, size_t count, int flags)
{
    count = std::min(count, MaxBatch);
    sockaddr_storage to[MaxBatch];
    iovec iov[MaxBatch];
    mmsghdr messages[MaxBatch] = {};
    for (size_t i = 0; i < count; ++i) {
        if (requests[i].destination.addressFamily() != m_family)
            return i == 0 ? -EAFNOSUPPORT : sendMany(requests, i, flags);
        messages[i].msg_hdr.msg_namelen = requests[i].destination.toSockaddr(to[i]);
        iov[i] = {const_cast<uint8_t *>(requests[i].request->data()), requests[i].request->size()};
        messages[i].msg_hdr.msg_name = &to[i];
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int sent = sendmmsg(m_fd, messages, unsigned(count), flags);
    return sent < 0 ? -errno : sent;
}

uint32_t IcmpSocket::statusOfSendError(int error, const IpAddress &destination, uint16_t identifier, uint16_t sequence)
{
    if (error != EPERM)
        return statusOfErrno(error);
    // What is read on the way is kept for the next reads: it may answer other requests.
    const bool errorQueue = m_kind == Kind::Datagram;
    const IpAddress quoted = destination.withoutScope();
    for (size_t i = 0; i < MaxRefusalReads; ++i) {
        const Packet *packet = holdNext(errorQueue);
        if (!packet)
            break;
        if (packet->kind == IcmpPacket::Kind::Error && packet->quotedDestination == quoted &&
            packet->identifier == identifier && packet->sequence == sequence) {
            const uint32_t status = packet->status;
            m_held.pop_back();
            return status;
        }
    }
    return IP_GENERAL_FAILURE;
}

bool IcmpSocket::readAheadErrors()
{
    for (size_t i = 0; i < MaxStalePackets; ++i)
        if (!holdNext(true))
            return true;
    return false;
}

// The next packet of a queue, read ahead of its turn and kept for the next reads; null when none is
// queued.
const EchoSocket::Packet *IcmpSocket::holdNext(bool errorQueue)
{
    Message message;
    if (!receivePacket(errorQueue ? MSG_ERRQUEUE : 0, message))
        return nullptr;
    Held held{errorQueue, std::vector<uint8_t>(m_packet.begin(), m_packet.begin() + long(message.len)), {}};
    held.packet = decode(errorQueue, message, held.bytes.data());
    m_held.push_back(std::move(held));
    return &m_held.back().packet;
}

void IcmpSocket::readControl(msghdr &msg, Message &message) const
{
    for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        const int level = cmsg->cmsg_level;
        const int type = cmsg->cmsg_type;
        if (level == SOL_SOCKET && type == SCM_TIMESTAMPNS) {
            message.arrivedNs = arrivalOf(cmsg);
        } else if ((level == IPPROTO_IP && type == IP_TTL) || (level == IPPROTO_IPV6 && type == IPV6_HOPLIMIT)) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(cmsg), sizeof ttl);
            message.ttl = uint8_t(ttl);
        } else if ((level == IPPROTO_IP && type == IP_RECVERR) || (level == IPPROTO_IPV6 && type == IPV6_RECVERR)) {
            message.error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(cmsg));
            message.offender = IpAddress::of(SO_EE_OFFENDER(message.error));
        }
    }
}

EchoSocket::Wake IcmpSocket::wait(int timeoutMs)
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
bool IcmpSocket::receivePacket(int flags, Message &message)
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
            m_errorsRead = true;
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

// A datagram socket hands an ICMP error back as the request it quotes, with the error's type and
// code in the ancillary data, the request's destination as the peer address and the error's sender
// as the offender.
EchoSocket::Packet IcmpSocket::decodeQueuedError(const Message &message, const uint8_t *bytes) const
{
    const bool v6 = isV6(m_family);
    Packet packet = v6 ? packetOf(Icmp6Packet::decode(bytes, message.len))
                       : packetOf(IcmpPacket::decode(bytes, message.len, false));
    const uint8_t origin = v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP;
    if (packet.kind != IcmpPacket::Kind::EchoRequest || !message.error || message.error->ee_origin != origin)
        return {};
    packet.status = v6 ? Icmp6Packet::statusOfError(message.error->ee_type, message.error->ee_code)
                       : IcmpPacket::statusOfError(message.error->ee_type, message.error->ee_code);
    packet.kind = packet.status != 0 ? IcmpPacket::Kind::Error : IcmpPacket::Kind::Other;
    packet.quotedDestination = message.peer.withoutScope();
    packet.quotedOffset = packet.dataOffset;
    packet.quotedSize = packet.dataSize;
    packet.source = message.offender;
    packet.ttl = message.ttl;
    packet.dataSize = 0;
    return packet;
}

// An error of any kind may have left its errno pending: the error queue holds nothing else, and a
// raw socket's queue nothing else but echo replies.
EchoSocket::Packet IcmpSocket::decode(bool errorQueue, const Message &message, const uint8_t *bytes)
{
    Packet packet;
    if (errorQueue) {
        m_errorsRead = true;
        packet = decodeQueuedError(message, bytes);
    } else if (isV6(m_family)) {
        packet = packetOf(Icmp6Packet::decode(bytes, message.len));
        packet.source = message.peer;
        packet.ttl = message.ttl;
    } else if (m_kind == Kind::Raw) {
        packet = packetOf(IcmpPacket::decode(bytes, message.len, true));
    } else {
        packet = packetOf(IcmpPacket::decode(bytes, message.len, false));
        packet.source = message.peer;
        packet.ttl = message.ttl;
    }
    if (m_kind == Kind::Raw && packet.kind != IcmpPacket::Kind::EchoReply)
        m_errorsRead = true;
    packet.arrivedNs = message.arrivedNs;
    return packet;
}

bool IcmpSocket::takeHeld(bool errorQueue, Packet &packet)
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

bool IcmpSocket::receive(bool errorQueue, Packet &packet)
{
    if (takeHeld(errorQueue, packet))
        return true;
    Message message;
    if (!receivePacket(errorQueue ? MSG_ERRQUEUE : 0, message))
        return false;
    packet = decode(errorQueue, message, m_packet.data());
    return true;
}

const std::vector<IcmpSocket::Received> &IcmpSocket::receiveMany(bool errorQueue, size_t limit)
{
    if (!m_batch)
        m_batch = std::make_unique<Batch>();
    Batch &batch = *m_batch;
    batch.received.clear();
    m_handedOut.clear();
    for (auto held = m_held.begin(); held != m_held.end();) {
        if (held->errorQueue == errorQueue) {
            m_handedOut.push_back(std::move(*held));
            held = m_held.erase(held);
        } else {
            ++held;
        }
    }
    if (!m_handedOut.empty()) {
        for (const Held &held : m_handedOut)
            batch.received.push_back({held.packet, held.bytes.data()});
        return batch.received;
    }
    const unsigned count = unsigned(std::clamp<size_t>(limit, 1, MaxBatch));
    for (unsigned i = 0; i < count; ++i) {
        batch.iov[i] = {batch.buffers.get() + i * ReceiveBufferSize, ReceiveBufferSize};
        msghdr &msg = batch.headers[i].msg_hdr;
        msg = msghdr{};
        msg.msg_name = &batch.peers[i];
        msg.msg_namelen = sizeof batch.peers[i];
        msg.msg_iov = &batch.iov[i];
        msg.msg_iovlen = 1;
        msg.msg_control = batch.controls.data() + i * ControlBufferSize;
        msg.msg_controllen = ControlBufferSize;
    }
    int got = -1;
    for (int attempt = 0; attempt < 2 && got < 0; ++attempt) {
        got = recvmmsg(m_fd, batch.headers, count, (errorQueue ? MSG_ERRQUEUE : 0) | MSG_DONTWAIT, nullptr);
        if (got < 0 && queueEmpty(errno))
            return batch.received;
        if (got < 0)
            m_errorsRead = true;
    }
    for (int i = 0; i < got; ++i) {
        Message message;
        message.len = std::min<size_t>(batch.headers[i].msg_len, ReceiveBufferSize);
        message.peer = IpAddress::of(reinterpret_cast<const sockaddr *>(&batch.peers[i]));
        readControl(batch.headers[i].msg_hdr, message);
        const auto *bytes = static_cast<const uint8_t *>(batch.iov[i].iov_base);
        batch.received.push_back({decode(errorQueue, message, bytes), bytes});
    }
    return batch.received;
}

void IcmpSocket::clearPendingError()
{
    int pending = 0;
    socklen_t len = sizeof pending;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &len);
    m_errorsRead = false;
}

void IcmpSocket::discardQueued()
{
    m_held.clear();
    Message message;
    for (size_t i = 0; i < MaxStalePackets && receivePacket(MSG_ERRQUEUE, message); ++i) {
    }
    for (size_t i = 0; i < MaxStalePackets && receivePacket(0, message); ++i) {
    }
    clearPendingError();
}
