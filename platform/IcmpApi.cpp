#include "IcmpApi.h"

#include "ArrivalClock.h"
#include "HelperSocket.h"
#include "IcmpAccess.h"
#include "IcmpSocket.h"
#include "RandomDraw.h"
#include "SocketCalls.h"

#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <utility>
#include <vector>

namespace IcmpApi {

namespace {

using Clock = EchoSocket::Clock;

// Bounds the reads of one wake-up, so a flood of other programs' packets cannot hold us.
constexpr int MaxReadsPerWake = 64;

thread_local uint32_t t_lastError = 0;

struct WaitTurns {
    int sliceMs = 0;
    std::function<void()> betweenTurns;
};
thread_local WaitTurns t_waitTurns;

struct Module {
    const char *name;
};
const Module g_icmpModule{LibraryName};

// A forger who cannot see our requests would have to guess the first sequence number too.
struct EchoHandle {
    std::unique_ptr<EchoSocket> socket;
    int family = AF_INET;
    uint16_t nextSequence = RandomDraw::uint16();
};

// What ended a request's wait: an echo reply or an ICMP error that answers it.
struct Answer {
    uint32_t status = IP_SUCCESS;
    IpAddress source;
    uint8_t ttl = 0;
    const uint8_t *data = nullptr;
    size_t dataSize = 0;
    Clock::time_point received;
};

struct Request {
    EchoHandle &echo;
    IpAddress destination;
    uint16_t sequence;
    const uint8_t *data;
    uint16_t dataSize;
};

class HandleTable {
public:
    static HandleTable &instance()
    {
        static HandleTable table;
        return table;
    }

    HANDLE add(std::unique_ptr<EchoHandle> echo)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        EchoHandle *raw = echo.release();
        m_handles.insert(raw);
        return reinterpret_cast<HANDLE>(raw);
    }

    EchoHandle *find(HANDLE handle)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_handles.find(reinterpret_cast<EchoHandle *>(handle));
        return it == m_handles.end() ? nullptr : *it;
    }

    std::unique_ptr<EchoHandle> remove(HANDLE handle)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_handles.find(reinterpret_cast<EchoHandle *>(handle));
        if (it == m_handles.end())
            return nullptr;
        std::unique_ptr<EchoHandle> echo(*it);
        m_handles.erase(it);
        return echo;
    }

private:
    std::mutex m_mutex;
    std::unordered_set<EchoHandle *> m_handles;
};

// The identifier and the first sequence number are drawn at random, and a reply proves itself ours
// by echoing what we sent, byte for byte, besides.
bool echoesRequest(const EchoSocket::Packet &packet, const Request &request)
{
    return packet.dataSize == request.dataSize &&
           (request.dataSize == 0 ||
            std::memcmp(request.echo.socket->data() + packet.dataOffset, request.data, request.dataSize) == 0);
}

// A quoted destination carries no zone; a reply's source carries the zone it came in by.
bool answers(const EchoSocket::Packet &packet, const Request &request)
{
    if (packet.identifier != request.echo.socket->identifier() || packet.sequence != request.sequence)
        return false;
    if (packet.kind == IcmpPacket::Kind::EchoReply)
        return packet.source == request.destination && echoesRequest(packet, request);
    return packet.kind == IcmpPacket::Kind::Error && packet.quotedDestination == request.destination.withoutScope();
}

// When the kernel took the packet in: a busy machine may wake us long after. Now, where the socket does
// not tell; never later than now, which the packet came before.
Clock::time_point arrivalOf(const EchoSocket &socket, const EchoSocket::Packet &packet)
{
    const Clock::time_point now = socket.now();
    if (packet.arrivedNs == 0)
        return now;
    const Clock::time_point arrived(std::chrono::nanoseconds(packet.arrivedNs - ArrivalClock::realtimeOffsetNs()));
    return std::min(now, arrived);
}

// Reads what is queued on one of the socket's queues; true with the answer when one is ours.
bool readQueue(const Request &request, bool errorQueue, Answer &answer)
{
    EchoSocket &socket = *request.echo.socket;
    EchoSocket::Packet packet;
    for (int i = 0; i < MaxReadsPerWake; ++i) {
        if (!socket.receive(errorQueue, packet))
            return false;
        if (!answers(packet, request))
            continue;
        answer.received = arrivalOf(socket, packet);
        answer.status = packet.kind == IcmpPacket::Kind::Error ? packet.status : IP_SUCCESS;
        answer.source = packet.source;
        answer.ttl = packet.ttl;
        answer.data = socket.data() + packet.dataOffset;
        answer.dataSize = packet.dataSize;
        return true;
    }
    return false;
}

int remainingMs(const EchoSocket &socket, Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - socket.now()).count();
    return int(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// The answer that came in time but was read only afterwards, when a turn outlasted the deadline.
bool answeredInTime(const Request &request, Clock::time_point deadline, Answer &answer)
{
    return (readQueue(request, true, answer) || readQueue(request, false, answer)) && answer.received <= deadline;
}

// Waits for the answer to request until deadline; the status says why when there is none. Every
// wake-up recomputes the time left, so packets that are not ours never stretch the wait.
bool awaitAnswer(const Request &request, Clock::time_point deadline, Answer &answer)
{
    EchoSocket &socket = *request.echo.socket;
    const WaitTurns &turns = t_waitTurns;
    for (int waitMs = remainingMs(socket, deadline); waitMs > 0; waitMs = remainingMs(socket, deadline)) {
        const EchoSocket::Wake wake = socket.wait(turns.betweenTurns ? std::min(waitMs, turns.sliceMs) : waitMs);
        if (wake.failed) {
            answer.status = IP_GENERAL_FAILURE;
            return false;
        }
        if (wake.error) {
            if (readQueue(request, true, answer))
                return true;
            socket.clearPendingError();
        }
        if (wake.readable && readQueue(request, false, answer))
            return true;
        if (turns.betweenTurns)
            turns.betweenTurns();
    }
    if (answeredInTime(request, deadline, answer))
        return true;
    answer.status = IP_REQ_TIMED_OUT;
    return false;
}

void setAddress(ICMP_ECHO_REPLY &record, const IpAddress &address)
{
    record.Address = address.v4();
}

void setAddress(ICMPV6_ECHO_REPLY &record, const IpAddress &address)
{
    if (address.isV6())
        std::memcpy(record.Address, address.bytes(), sizeof record.Address);
    record.ScopeId = address.scopeId();
}

// The reply buffer is the caller's bytes, with no promise of alignment.
template <typename Record>
uint32_t answerRequest(uint8_t *reply, uint32_t replySize, const Answer &answer, Clock::time_point sent)
{
    Record record;
    setAddress(record, answer.source);
    record.Status = answer.status;
    record.RoundTripTime =
        uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(std::max(answer.received, sent) - sent).count());
    record.DataSize = uint16_t(std::min<size_t>(answer.dataSize, replySize - sizeof record));
    record.Data = sizeof record;
    record.Options.Ttl = answer.ttl;
    std::memcpy(reply, &record, sizeof record);
    if (record.DataSize != 0)
        std::memcpy(reply + sizeof record, answer.data, record.DataSize);
    SetLastError(answer.status);
    return answer.status == IP_SUCCESS ? 1 : 0;
}

template <typename Record> uint32_t fail(uint8_t *reply, uint32_t status)
{
    if (reply) {
        Record record;
        record.Status = status;
        std::memcpy(reply, &record, sizeof record);
    }
    SetLastError(status);
    return 0;
}

// Where this user may not open ICMP datagram sockets, the raw socket a handle needs is the
// privileged helper's, never this process's.
std::unique_ptr<EchoSocket> openSocket(int family, bool allowDatagram)
{
    if (const Testing::SocketFactory &factory = Testing::sockets())
        return factory(family, allowDatagram);
    if (allowDatagram) {
        auto socket = std::make_unique<IcmpSocket>(family);
        if (socket->openDatagram() && socket->setReceiveStamps())
            return socket;
        if (!SocketCalls::datagramRefused(errno))
            return nullptr;
    }
    return HelperSocket::open(family);
}

HANDLE createFile(int family)
{
    if (Testing::faults().failCreateFile) {
        SetLastError(IP_NO_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    auto echo = std::make_unique<EchoHandle>();
    echo->family = family;
    echo->socket = openSocket(family, !IcmpAccess::Testing::helperOnly());
    if (!echo->socket) {
        SetLastError(IP_GENERAL_FAILURE);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(IP_SUCCESS);
    return HandleTable::instance().add(std::move(echo));
}

HANDLE IcmpCreateFile()
{
    return createFile(AF_INET);
}

HANDLE Icmp6CreateFile()
{
    return createFile(AF_INET6);
}

bool IcmpCloseHandle(HANDLE handle)
{
    return HandleTable::instance().remove(handle) != nullptr;
}

// Both families' requests: the handle must be of the destination's family.
template <typename Record>
uint32_t sendEcho(HANDLE handle, const IpAddress &destination, const void *requestData, uint16_t requestSize,
                  const IP_OPTION_INFORMATION *options, void *replyBuffer, uint32_t replySize, uint32_t timeoutMs)
{
    auto *reply = static_cast<uint8_t *>(replyBuffer);
    if (!reply || replySize < sizeof(Record))
        return fail<Record>(nullptr, IP_BUF_TOO_SMALL);
    EchoHandle *echo = HandleTable::instance().find(handle);
    if (!echo || echo->family != destination.addressFamily() || (!requestData && requestSize != 0))
        return fail<Record>(reply, IP_BAD_REQ);
    EchoSocket &socket = *echo->socket;
    // Linux refuses to send with a time-to-live of 0; -1 gives the socket the system's default back.
    if ((options && options->Ttl == 0) || !socket.setTtl(options ? options->Ttl : -1))
        return fail<Record>(reply, IP_BAD_OPTION);

    socket.discardQueued();
    const auto *data = static_cast<const uint8_t *>(requestData);
    const EchoSocket::Sent sent = socket.sendEcho(destination, echo->nextSequence++, data, requestSize);
    if (sent.status != IP_SUCCESS)
        return fail<Record>(reply, sent.status);

    const Request request{*echo, destination, sent.sequence, data, requestSize};
    Answer answer;
    if (!awaitAnswer(request, sent.at + std::chrono::milliseconds(timeoutMs), answer))
        return fail<Record>(reply, answer.status);
    return answerRequest<Record>(reply, replySize, answer, sent.at);
}

uint32_t IcmpSendEcho(HANDLE handle, uint32_t destination, const void *requestData, uint16_t requestSize,
                      const IP_OPTION_INFORMATION *options, void *replyBuffer, uint32_t replySize, uint32_t timeoutMs)
{
    return sendEcho<ICMP_ECHO_REPLY>(handle, IpAddress::v4(destination), requestData, requestSize, options, replyBuffer,
                                     replySize, timeoutMs);
}

uint32_t Icmp6SendEcho(HANDLE handle, const sockaddr_in6 *destination, const void *requestData, uint16_t requestSize,
                       const IP_OPTION_INFORMATION *options, void *replyBuffer, uint32_t replySize, uint32_t timeoutMs)
{
    // Anything but an IPv6 address is refused as a handle of the wrong family is.
    const IpAddress address = IpAddress::of(reinterpret_cast<const sockaddr *>(destination));
    return sendEcho<ICMPV6_ECHO_REPLY>(handle, address, requestData, requestSize, options, replyBuffer, replySize,
                                       timeoutMs);
}

} // namespace

HMODULE LoadLibraryA(const char *name)
{
    if (Testing::faults().failLoadLibrary || !name || std::strcmp(name, g_icmpModule.name) != 0)
        return nullptr;
    return const_cast<Module *>(&g_icmpModule);
}

void *GetProcAddress(HMODULE module, const char *name)
{
    const char *missing = Testing::faults().missingEntry;
    if (module != &g_icmpModule || !name || (missing && std::strcmp(name, missing) == 0))
        return nullptr;
    if (std::strcmp(name, "IcmpCreateFile") == 0)
        return reinterpret_cast<void *>(&IcmpCreateFile);
    if (std::strcmp(name, "Icmp6CreateFile") == 0)
        return reinterpret_cast<void *>(&Icmp6CreateFile);
    if (std::strcmp(name, "Icmp6SendEcho") == 0)
        return reinterpret_cast<void *>(&Icmp6SendEcho);
    if (std::strcmp(name, "IcmpCloseHandle") == 0)
        return reinterpret_cast<void *>(&IcmpCloseHandle);
    if (std::strcmp(name, "IcmpSendEcho") == 0)
        return reinterpret_cast<void *>(&IcmpSendEcho);
    return nullptr;
}

// The module lives as long as the process: there is nothing to release.
void FreeLibrary(HMODULE) {}

uint32_t GetLastError()
{
    return t_lastError;
}

void SetLastError(uint32_t code)
{
    t_lastError = code;
}

void SetWaitTurns(int sliceMs, std::function<void()> betweenTurns)
{
    t_waitTurns = {std::max(sliceMs, 1), std::move(betweenTurns)};
}

SocketKind socketKindOf(HANDLE handle)
{
    const EchoHandle *echo = HandleTable::instance().find(handle);
    return echo ? echo->socket->kind() : SocketKind::Datagram;
}

namespace Testing {
Faults &faults()
{
    static Faults instance;
    return instance;
}

SocketFactory &sockets()
{
    static SocketFactory factory;
    return factory;
}
} // namespace Testing

} // namespace IcmpApi
