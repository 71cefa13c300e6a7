#include "IcmpSocket.h"

#include "IcmpTypes.h"
#include "Privileges.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include <QtGlobal>

namespace {

// Room for the largest IPv4 datagram, so that no packet is ever cut short.
constexpr size_t ReceiveBufferSize = 65536;
constexpr size_t ControlBufferSize = 512;
constexpr size_t MaxStalePackets = 1024;

// Every raw socket sees every ICMP packet of the machine: the identifier is what keeps the replies
// of one socket from another's. The pid keeps processes apart; multiplying the counter by an odd
// number visits all 65536 values before any comes back.
class RawIdentifiers {
public:
    static RawIdentifiers &instance()
    {
        static RawIdentifiers identifiers;
        return identifiers;
    }

    uint16_t acquire()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (uint32_t attempt = 0; attempt <= 0xFFFF; ++attempt) {
            const auto candidate = uint16_t(uint16_t(getpid()) ^ uint16_t(m_count++ * 0x9E37u));
            if (m_inUse.insert(candidate).second)
                return candidate;
        }
        return uint16_t(m_count);
    }

    void release(uint16_t identifier)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inUse.erase(identifier);
    }

private:
    std::mutex m_mutex;
    std::unordered_set<uint16_t> m_inUse;
    uint32_t m_count = 0;
};

// A raw socket is handed every echo reply of the machine; under a flood its queue fills with
// other programs' replies and ours gets dropped. The kernel keeps only echo replies carrying our
// identifier, and everything that is not an echo reply (errors quoting our requests among them).
// Without the filter the socket still works, only less well under load.
void attachIdentifierFilter(int fd, uint16_t identifier)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                // X := IP header length
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                 // ICMP identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 3, 0), // ours: keep
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                 // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IcmpPacket::EchoReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0), // someone else's reply: drop
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        qWarning("ICMP: cannot filter the raw socket (%s); replies may be lost under load", strerror(errno));
}

void closeKeepingErrno(int &fd)
{
    const int saved = errno;
    ::close(fd);
    fd = -1;
    errno = saved;
}

bool enable(int fd, int option)
{
    const int on = 1;
    return setsockopt(fd, IPPROTO_IP, option, &on, sizeof on) == 0;
}

// The answers of a system that has ICMP but does not let this user open datagram sockets.
bool datagramRefused(int error)
{
    return error == EACCES || error == EPERM || error == EPROTONOSUPPORT || error == EAFNOSUPPORT;
}

} // namespace

// One packet as recvmsg gave it, with what its ancillary data and peer address told.
struct IcmpSocket::Received {
    size_t len = 0;
    uint32_t peer = 0;
    uint8_t ttl = 0;
    const sock_extended_err *error = nullptr; // points into m_control
    uint32_t offender = 0;
};

IcmpSocket::IcmpSocket() : m_packet(ReceiveBufferSize), m_control(ControlBufferSize) {}

IcmpSocket::~IcmpSocket()
{
    close();
}

bool IcmpSocket::open(bool allowDatagram)
{
    close();
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
        RawIdentifiers::instance().release(m_identifier);
}

// The kernel owns the echo identifier of an ICMP datagram socket; binding makes it choose one now.
bool IcmpSocket::openDatagram()
{
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t localLen = sizeof local;
    if (bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &localLen) != 0 || !enable(m_fd, IP_RECVERR) ||
        !enable(m_fd, IP_RECVTTL)) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Datagram;
    m_identifier = ntohs(local.sin_port);
    return true;
}

bool IcmpSocket::openRaw()
{
    // Once the program has given up its capabilities, raw sockets are those it opened before.
    m_fd = Privileges::takeRawSocket();
    if (m_fd < 0)
        m_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0)
        return false;
    // Only replies and errors wake us: our own requests seen on loopback, and the requests of
    // everyone else, stay out of the queue.
    icmp_filter filter{};
    filter.data =
        ~(1u << IcmpPacket::EchoReply | 1u << IcmpPacket::DestinationUnreachable | 1u << IcmpPacket::SourceQuench |
          1u << IcmpPacket::TimeExceeded | 1u << IcmpPacket::ParameterProblem);
    if (setsockopt(m_fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
        closeKeepingErrno(m_fd);
        return false;
    }
    m_kind = Kind::Raw;
    m_identifier = RawIdentifiers::instance().acquire();
    attachIdentifierFilter(m_fd, m_identifier);
    return true;
}

bool IcmpSocket::setTtl(int ttl)
{
    return setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
}

bool IcmpSocket::setDontFragment()
{
    const int probe = IP_PMTUDISC_PROBE;
    return setsockopt(m_fd, IPPROTO_IP, IP_MTU_DISCOVER, &probe, sizeof probe) == 0;
}

void IcmpSocket::setReceiveBuffer(int bytes)
{
    if (setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int IcmpSocket::send(uint32_t destination, const std::vector<uint8_t> &request, int flags)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    if (sendto(m_fd, request.data(), request.size(), flags, reinterpret_cast<sockaddr *>(&to), sizeof to) < 0)
        return errno;
    return 0;
}

int IcmpSocket::sendMany(const Outgoing *requests, size_t count, int flags)
{
    std::vector<sockaddr_in> to(count);
    std::vector<iovec> iov(count);
    std::vector<mmsghdr> messages(count);
    for (size_t i = 0; i < count; ++i) {
        to[i].sin_family = AF_INET;
        to[i].sin_addr.s_addr = requests[i].destination;
        iov[i] = {const_cast<uint8_t *>(requests[i].request->data()), requests[i].request->size()};
        messages[i].msg_hdr.msg_name = &to[i];
        messages[i].msg_hdr.msg_namelen = sizeof to[i];
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int sent = sendmmsg(m_fd, messages.data(), unsigned(count), flags);
    return sent < 0 ? -errno : sent;
}

uint32_t IcmpSocket::statusOfSendError(int error)
{
    switch (error) {
    case EMSGSIZE: return IP_PACKET_TOO_BIG;
    case ENETUNREACH: return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH: return IP_DEST_HOST_UNREACHABLE;
    default: return IP_GENERAL_FAILURE;
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

bool IcmpSocket::receivePacket(int flags, Received &packet)
{
    sockaddr_in peer{};
    iovec iov{m_packet.data(), m_packet.size()};
    msghdr msg{};
    msg.msg_name = &peer;
    msg.msg_namelen = sizeof peer;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = m_control.data();
    msg.msg_controllen = m_control.size();
    const ssize_t len = recvmsg(m_fd, &msg, flags | MSG_DONTWAIT);
    if (len < 0)
        return false;
    packet = Received();
    packet.len = std::min(size_t(len), m_packet.size());
    packet.peer = peer.sin_addr.s_addr;
    for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level != IPPROTO_IP)
            continue;
        if (cmsg->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(cmsg), sizeof ttl);
            packet.ttl = uint8_t(ttl);
        } else if (cmsg->cmsg_type == IP_RECVERR) {
            packet.error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(cmsg));
            const auto *offender = reinterpret_cast<const sockaddr_in *>(SO_EE_OFFENDER(packet.error));
            if (offender->sin_family == AF_INET)
                packet.offender = offender->sin_addr.s_addr;
        }
    }
    return true;
}

// A datagram socket hands an ICMP error back as the request it quotes, with the error's type and
// code in the ancillary data and the request's destination as the peer address.
IcmpPacket::Decoded IcmpSocket::decodeQueuedError(const Received &packet) const
{
    IcmpPacket::Decoded decoded = IcmpPacket::decode(m_packet.data(), packet.len, false);
    if (decoded.kind != IcmpPacket::Kind::EchoRequest || !packet.error || packet.error->ee_origin != SO_EE_ORIGIN_ICMP)
        return {};
    decoded.status = IcmpPacket::statusOfError(packet.error->ee_type, packet.error->ee_code);
    decoded.kind = decoded.status != 0 ? IcmpPacket::Kind::Error : IcmpPacket::Kind::Other;
    decoded.quotedDestination = packet.peer;
    decoded.source = packet.offender;
    decoded.ttl = packet.ttl;
    decoded.dataSize = 0;
    return decoded;
}

bool IcmpSocket::receive(bool errorQueue, IcmpPacket::Decoded &decoded)
{
    Received packet;
    if (!receivePacket(errorQueue ? MSG_ERRQUEUE : 0, packet))
        return false;
    if (errorQueue) {
        decoded = decodeQueuedError(packet);
    } else if (m_kind == Kind::Raw) {
        decoded = IcmpPacket::decode(m_packet.data(), packet.len, true);
    } else {
        decoded = IcmpPacket::decode(m_packet.data(), packet.len, false);
        decoded.source = packet.peer;
        decoded.ttl = packet.ttl;
    }
    return true;
}

void IcmpSocket::clearPendingError()
{
    int pending = 0;
    socklen_t len = sizeof pending;
    getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &len);
}

void IcmpSocket::discardQueued()
{
    Received packet;
    for (size_t i = 0; i < MaxStalePackets && receivePacket(MSG_ERRQUEUE, packet); ++i) {
    }
    for (size_t i = 0; i < MaxStalePackets && receivePacket(0, packet); ++i) {
    }
    clearPendingError();
}
