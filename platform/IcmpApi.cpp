#include "IcmpApi.h"

#include "IcmpPacket.h"

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
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <QtGlobal>

namespace IcmpApi {

namespace {

using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC on Linux

// Room for the largest IPv4 datagram, so that no packet is ever cut short.
constexpr size_t ReceiveBufferSize = 65536;
// Bounds the reads of one wake-up, so a flood of other programs' packets cannot hold us.
constexpr int MaxReadsPerWake = 64;
constexpr size_t MaxStalePackets = 1024;

thread_local uint32_t t_lastError = 0;

struct Module {
    const char *name;
};
const Module g_icmpModule{LibraryName};

struct EchoHandle {
    int fd = -1;
    SocketKind kind = SocketKind::Datagram;
    uint16_t identifier = 0;
    uint16_t nextSequence = 1;
};

// What ended a request's wait: an echo reply or an ICMP error that answers it.
struct Answer {
    uint32_t status = IP_SUCCESS;
    uint32_t source = 0;
    uint8_t ttl = 0;
    const uint8_t *data = nullptr;
    size_t dataSize = 0;
    Clock::time_point received;
};

struct Request {
    const EchoHandle &echo;
    uint32_t destination;
    uint16_t sequence;
};

struct Buffers {
    std::vector<uint8_t> packet = std::vector<uint8_t>(ReceiveBufferSize);
    std::vector<char> control = std::vector<char>(512);
};

// One packet as recvmsg gave it, with what its ancillary data and peer address told.
struct Received {
    size_t len = 0;
    uint32_t peer = 0;
    uint8_t ttl = 0;
    const sock_extended_err *error = nullptr;
    uint32_t offender = 0;
};

// A raw socket is handed every echo reply of the machine; under a flood its queue fills with
// other programs' replies and ours gets dropped. The kernel keeps only echo replies carrying our
// identifier, and everything that is not an echo reply (errors quoting our requests among them).
// Without the filter the socket still works, only less well under load.
void attachIdentifierFilter(int fd, uint16_t identifier)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),                   // X := IP header length
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),                    // ICMP identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 3, 0),    // ours: keep
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                    // ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IcmpPacket::EchoReply, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0),                             // someone else's reply: drop
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        qWarning("ICMP: cannot filter the raw socket (%s); replies may be lost under load", strerror(errno));
}

class HandleTable {
public:
    static HandleTable &instance() {
        static HandleTable table;
        return table;
    }

    HANDLE add(std::unique_ptr<EchoHandle> echo) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (echo->kind == SocketKind::Raw) {
            echo->identifier = freeRawIdentifier();
            attachIdentifierFilter(echo->fd, echo->identifier);
        }
        EchoHandle *raw = echo.release();
        m_handles.insert(raw);
        return reinterpret_cast<HANDLE>(raw);
    }

    EchoHandle *find(HANDLE handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_handles.find(reinterpret_cast<EchoHandle *>(handle));
        return it == m_handles.end() ? nullptr : *it;
    }

    std::unique_ptr<EchoHandle> remove(HANDLE handle) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_handles.find(reinterpret_cast<EchoHandle *>(handle));
        if (it == m_handles.end())
            return nullptr;
        std::unique_ptr<EchoHandle> echo(*it);
        m_handles.erase(it);
        return echo;
    }

private:
    // Every raw socket sees every ICMP packet of the machine: the identifier is what keeps the
    // replies of one handle from another's. The pid keeps processes apart; multiplying the
    // counter by an odd number visits all 65536 values before any comes back.
    uint16_t freeRawIdentifier() {
        for (uint32_t attempt = 0; attempt <= 0xFFFF; ++attempt) {
            const auto candidate = uint16_t(uint16_t(getpid()) ^ uint16_t(m_rawCount++ * 0x9E37u));
            if (!rawIdentifierInUse(candidate))
                return candidate;
        }
        return uint16_t(m_rawCount);
    }

    bool rawIdentifierInUse(uint16_t identifier) const {
        return std::any_of(m_handles.begin(), m_handles.end(), [identifier](const EchoHandle *echo) {
            return echo->kind == SocketKind::Raw && echo->identifier == identifier;
        });
    }

    std::mutex m_mutex;
    std::unordered_set<EchoHandle *> m_handles;
    uint32_t m_rawCount = 0;
};

void closeKeepingErrno(int &fd) {
    const int saved = errno;
    close(fd);
    fd = -1;
    errno = saved;
}

bool enable(int fd, int option) {
    const int on = 1;
    return setsockopt(fd, IPPROTO_IP, option, &on, sizeof on) == 0;
}

// The kernel owns the echo identifier of an ICMP datagram socket; binding makes it choose one now.
bool openDatagram(EchoHandle &echo) {
    echo.fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (echo.fd < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    socklen_t localLen = sizeof local;
    if (bind(echo.fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        getsockname(echo.fd, reinterpret_cast<sockaddr *>(&local), &localLen) != 0 || !enable(echo.fd, IP_RECVERR) ||
        !enable(echo.fd, IP_RECVTTL)) {
        closeKeepingErrno(echo.fd);
        return false;
    }
    echo.kind = SocketKind::Datagram;
    echo.identifier = ntohs(local.sin_port);
    return true;
}

bool openRaw(EchoHandle &echo) {
    echo.fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (echo.fd < 0)
        return false;
    // Only replies and errors wake us: our own requests seen on loopback, and the requests of
    // everyone else, stay out of the queue.
    icmp_filter filter{};
    filter.data =
        ~(1u << IcmpPacket::EchoReply | 1u << IcmpPacket::DestinationUnreachable | 1u << IcmpPacket::SourceQuench |
          1u << IcmpPacket::TimeExceeded | 1u << IcmpPacket::ParameterProblem);
    if (setsockopt(echo.fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0) {
        closeKeepingErrno(echo.fd);
        return false;
    }
    echo.kind = SocketKind::Raw;
    return true;
}

// The answers of a system that has ICMP but does not let this user open datagram sockets.
bool datagramRefused(int error) {
    return error == EACCES || error == EPERM || error == EPROTONOSUPPORT || error == EAFNOSUPPORT;
}

bool openSocket(EchoHandle &echo) {
    if (Testing::faults().forbidDatagram)
        return openRaw(echo);
    return openDatagram(echo) || (datagramRefused(errno) && openRaw(echo));
}

uint32_t statusOfSendError(int error) {
    switch (error) {
    case EMSGSIZE:
        return IP_PACKET_TOO_BIG;
    case ENETUNREACH:
        return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH:
        return IP_DEST_HOST_UNREACHABLE;
    default:
        return IP_GENERAL_FAILURE;
    }
}

void readAncillary(msghdr &msg, Received &packet) {
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
}

// One packet, without waiting; false when none is queued. packet.error points into buffers.
bool receive(int fd, int flags, Buffers &buffers, Received &packet) {
    sockaddr_in peer{};
    iovec iov{buffers.packet.data(), buffers.packet.size()};
    msghdr msg{};
    msg.msg_name = &peer;
    msg.msg_namelen = sizeof peer;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = buffers.control.data();
    msg.msg_controllen = buffers.control.size();
    const ssize_t len = recvmsg(fd, &msg, flags | MSG_DONTWAIT);
    if (len < 0)
        return false;
    packet = Received();
    packet.len = std::min(size_t(len), buffers.packet.size());
    packet.peer = peer.sin_addr.s_addr;
    readAncillary(msg, packet);
    return true;
}

// Reading SO_ERROR clears the socket's pending error, which would otherwise wake poll at once and
// fail the next send.
void clearPendingError(int fd) {
    int pending = 0;
    socklen_t len = sizeof pending;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &len);
}

// Answers to an earlier request that timed out are of no use to the next one.
void discardStale(int fd, Buffers &buffers) {
    Received packet;
    for (size_t i = 0; i < MaxStalePackets && receive(fd, MSG_ERRQUEUE, buffers, packet); ++i) {
    }
    for (size_t i = 0; i < MaxStalePackets && receive(fd, 0, buffers, packet); ++i) {
    }
    clearPendingError(fd);
}

bool answers(const IcmpPacket::Decoded &decoded, const Request &request) {
    if (decoded.identifier != request.echo.identifier || decoded.sequence != request.sequence)
        return false;
    if (decoded.kind == IcmpPacket::Kind::EchoReply)
        return decoded.source == request.destination;
    return decoded.kind == IcmpPacket::Kind::Error && decoded.quotedDestination == request.destination;
}

// A datagram socket hands an ICMP error back as the request it quotes, with the error's type and
// code in the ancillary data and the request's destination as the peer address.
IcmpPacket::Decoded decodeQueuedError(const std::vector<uint8_t> &buffer, const Received &packet) {
    IcmpPacket::Decoded decoded = IcmpPacket::decode(buffer.data(), packet.len, false);
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

IcmpPacket::Decoded decodeReceived(const EchoHandle &echo, bool errorQueue, const std::vector<uint8_t> &buffer,
                                   const Received &packet) {
    if (errorQueue)
        return decodeQueuedError(buffer, packet);
    if (echo.kind == SocketKind::Raw)
        return IcmpPacket::decode(buffer.data(), packet.len, true);
    IcmpPacket::Decoded decoded = IcmpPacket::decode(buffer.data(), packet.len, false);
    decoded.source = packet.peer;
    decoded.ttl = packet.ttl;
    return decoded;
}

// Reads what is queued on one of the socket's queues; true with the answer when one is ours.
bool readQueue(const Request &request, bool errorQueue, Buffers &buffers, Answer &answer) {
    Received packet;
    for (int i = 0; i < MaxReadsPerWake; ++i) {
        if (!receive(request.echo.fd, errorQueue ? MSG_ERRQUEUE : 0, buffers, packet))
            return false;
        const IcmpPacket::Decoded decoded = decodeReceived(request.echo, errorQueue, buffers.packet, packet);
        if (!answers(decoded, request))
            continue;
        answer.received = Clock::now();
        answer.status = decoded.kind == IcmpPacket::Kind::Error ? decoded.status : IP_SUCCESS;
        answer.source = decoded.source;
        answer.ttl = decoded.ttl;
        answer.data = buffers.packet.data() + decoded.dataOffset;
        answer.dataSize = decoded.dataSize;
        return true;
    }
    return false;
}

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Waits for the answer to request until deadline; the status says why when there is none. Every
// wake-up recomputes the time left, so packets that are not ours never stretch the wait.
bool awaitAnswer(const Request &request, Clock::time_point deadline, Buffers &buffers, Answer &answer) {
    for (int waitMs = remainingMs(deadline); waitMs > 0; waitMs = remainingMs(deadline)) {
        pollfd pfd{request.echo.fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, waitMs);
        if ((ready < 0 && errno != EINTR) || (ready > 0 && (pfd.revents & POLLNVAL) != 0)) {
            answer.status = IP_GENERAL_FAILURE;
            return false;
        }
        if (ready <= 0)
            continue;
        if ((pfd.revents & POLLERR) != 0) {
            if (readQueue(request, true, buffers, answer))
                return true;
            clearPendingError(request.echo.fd);
        }
        if ((pfd.revents & POLLIN) != 0 && readQueue(request, false, buffers, answer))
            return true;
    }
    answer.status = IP_REQ_TIMED_OUT;
    return false;
}

// The reply buffer is the caller's bytes, with no promise of alignment.
uint32_t answerRequest(uint8_t *reply, uint32_t replySize, const Answer &answer, Clock::time_point sent) {
    ICMP_ECHO_REPLY record;
    record.Address = answer.source;
    record.Status = answer.status;
    record.RoundTripTime =
        uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(answer.received - sent).count());
    record.DataSize = uint16_t(std::min<size_t>(answer.dataSize, replySize - sizeof record));
    record.Data = sizeof record;
    record.Options.Ttl = answer.ttl;
    std::memcpy(reply, &record, sizeof record);
    if (record.DataSize != 0)
        std::memcpy(reply + sizeof record, answer.data, record.DataSize);
    SetLastError(answer.status);
    return answer.status == IP_SUCCESS ? 1 : 0;
}

uint32_t fail(uint8_t *reply, uint32_t status) {
    if (reply) {
        ICMP_ECHO_REPLY record;
        record.Status = status;
        std::memcpy(reply, &record, sizeof record);
    }
    SetLastError(status);
    return 0;
}

bool applyTtl(const EchoHandle &echo, const IP_OPTION_INFORMATION *options) {
    // -1 gives the socket the system's default back.
    const int ttl = options ? options->Ttl : -1;
    return setsockopt(echo.fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) == 0;
}

HANDLE IcmpCreateFile() {
    if (Testing::faults().failCreateFile) {
        SetLastError(IP_NO_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    auto echo = std::make_unique<EchoHandle>();
    if (!openSocket(*echo)) {
        SetLastError(IP_GENERAL_FAILURE);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(IP_SUCCESS);
    return HandleTable::instance().add(std::move(echo));
}

bool IcmpCloseHandle(HANDLE handle) {
    std::unique_ptr<EchoHandle> echo = HandleTable::instance().remove(handle);
    if (!echo)
        return false;
    close(echo->fd);
    return true;
}

uint32_t IcmpSendEcho(HANDLE handle, uint32_t destination, const void *requestData, uint16_t requestSize,
                      const IP_OPTION_INFORMATION *options, void *replyBuffer, uint32_t replySize, uint32_t timeoutMs) {
    auto *reply = static_cast<uint8_t *>(replyBuffer);
    if (!reply || replySize < sizeof(ICMP_ECHO_REPLY))
        return fail(nullptr, IP_BUF_TOO_SMALL);
    EchoHandle *echo = HandleTable::instance().find(handle);
    if (!echo || (!requestData && requestSize != 0))
        return fail(reply, IP_BAD_REQ);
    // Linux refuses to send with a time-to-live of 0.
    if ((options && options->Ttl == 0) || !applyTtl(*echo, options))
        return fail(reply, IP_BAD_OPTION);

    Buffers buffers;
    discardStale(echo->fd, buffers);
    const Request request{*echo, destination, echo->nextSequence++};
    const std::vector<uint8_t> packet = IcmpPacket::buildEchoRequest(
        echo->identifier, request.sequence, static_cast<const uint8_t *>(requestData), requestSize);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    const Clock::time_point sent = Clock::now();
    if (sendto(echo->fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to) < 0)
        return fail(reply, statusOfSendError(errno));

    Answer answer;
    if (!awaitAnswer(request, sent + std::chrono::milliseconds(timeoutMs), buffers, answer))
        return fail(reply, answer.status);
    return answerRequest(reply, replySize, answer, sent);
}

} // namespace

HMODULE LoadLibraryA(const char *name) {
    if (Testing::faults().failLoadLibrary || !name || std::strcmp(name, g_icmpModule.name) != 0)
        return nullptr;
    return const_cast<Module *>(&g_icmpModule);
}

void *GetProcAddress(HMODULE module, const char *name) {
    const char *missing = Testing::faults().missingEntry;
    if (module != &g_icmpModule || !name || (missing && std::strcmp(name, missing) == 0))
        return nullptr;
    if (std::strcmp(name, "IcmpCreateFile") == 0)
        return reinterpret_cast<void *>(&IcmpCreateFile);
    if (std::strcmp(name, "IcmpCloseHandle") == 0)
        return reinterpret_cast<void *>(&IcmpCloseHandle);
    if (std::strcmp(name, "IcmpSendEcho") == 0)
        return reinterpret_cast<void *>(&IcmpSendEcho);
    return nullptr;
}

// The module lives as long as the process: there is nothing to release.
void FreeLibrary(HMODULE) {}

uint32_t GetLastError() {
    return t_lastError;
}

void SetLastError(uint32_t code) {
    t_lastError = code;
}

SocketKind socketKindOf(HANDLE handle) {
    const EchoHandle *echo = HandleTable::instance().find(handle);
    return echo ? echo->kind : SocketKind::Datagram;
}

namespace Testing {
Faults &faults() {
    static Faults instance;
    return instance;
}
} // namespace Testing

} // namespace IcmpApi
