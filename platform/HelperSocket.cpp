#include "HelperSocket.h"

#include "FileDescriptor.h"
#include "IcmpTypes.h"
#include "SocketCalls.h"
#include "echo/EchoTerms.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using namespace HelperProtocol;

constexpr size_t MaxHeldPackets = 64;
constexpr int MaxStaleMessages = 1024;

bool sendRecord(int channel, const void *record, size_t size)
{
    return ::send(channel, record, size, MSG_NOSIGNAL) == ssize_t(size);
}

// A record of the given type and this program's version, in a message of at least size bytes.
bool isRecord(const std::vector<uint8_t> &message, size_t length, Type type, size_t size)
{
    Header header;
    if (length < size)
        return false;
    std::memcpy(&header, message.data(), sizeof header);
    return header.version == Version && header.type == type;
}

EchoSocket::Clock::time_point timeOf(int64_t monotonicNs)
{
    return EchoSocket::Clock::time_point(
        std::chrono::duration_cast<EchoSocket::Clock::duration>(std::chrono::nanoseconds(monotonicNs)));
}

} // namespace

HelperSocket::HelperSocket(int family)
    : m_family(family), m_ttl(EchoTerms::DefaultTTL), m_message(sizeof(HelperProtocol::Packet) + MaxPacketData)
{
}

HelperSocket::~HelperSocket()
{
    if (m_channel >= 0)
        ::close(m_channel);
}

std::unique_ptr<HelperSocket> HelperSocket::open(int family)
{
    std::unique_ptr<HelperSocket> socket(new HelperSocket(family));
    Open request;
    request.family = uint16_t(family);
    Opened opened;
    socket->m_channel = socket->m_process.openChannel(request, opened);
    if (socket->m_channel < 0)
        return nullptr;
    socket->m_identifier = opened.identifier;
    errno = opened.error;
    return opened.error == 0 ? std::move(socket) : nullptr;
}

bool HelperSocket::setTtl(int ttl)
{
    if (ttl == -1)
        ttl = EchoTerms::DefaultTTL;
    if (ttl < MinTtl || ttl > MaxTtl)
        return false;
    m_ttl = uint16_t(ttl);
    return true;
}

EchoSocket::Sent HelperSocket::sendEcho(const IpAddress &destination, uint16_t, const uint8_t *payload, uint16_t size)
{
    const Sent refused{IP_BAD_REQ, 0, now()};
    const std::vector<uint8_t> programPayload = EchoTerms::payloadOf(size);
    if (size != 0 && !std::equal(programPayload.begin(), programPayload.end(), payload))
        return refused;
    Send request;
    request.destination = addressOf(destination);
    request.size = size;
    request.ttl = m_ttl;
    if (m_closed || !sendRecord(m_channel, &request, sizeof request) ||
        !awaitRecord(Type::Sent, sizeof(HelperProtocol::Sent))) {
        m_closed = true;
        return {IP_GENERAL_FAILURE, 0, refused.at};
    }
    HelperProtocol::Sent sent;
    std::memcpy(&sent, m_message.data(), sizeof sent);
    return {sent.status, sent.sequence, sent.status == IP_SUCCESS ? timeOf(sent.sentNs) : refused.at};
}

bool HelperSocket::awaitRecord(Type type, size_t size)
{
    for (int i = 0; i < MaxStaleMessages && !m_closed; ++i) {
        const ssize_t length = recv(m_channel, m_message.data(), m_message.size(), 0);
        if (length < 0 && errno == EINTR)
            continue;
        m_closed = length <= 0;
        if (m_closed || (size_t(length) == size && isRecord(m_message, size, type, size)))
            return !m_closed;
        if (m_held.size() == MaxHeldPackets)
            m_held.pop_front();
        m_held.emplace_back(m_message.begin(), m_message.begin() + length);
    }
    return false;
}

size_t HelperSocket::readMessage()
{
    if (m_closed)
        return 0;
    const ssize_t length = recv(m_channel, m_message.data(), m_message.size(), MSG_DONTWAIT);
    if (length > 0)
        return size_t(length);
    m_closed = length == 0 || !SocketCalls::queueEmpty(errno);
    return 0;
}

EchoSocket::Wake HelperSocket::wait(int timeoutMs)
{
    Wake wake;
    pollfd channel{m_channel, POLLIN, 0};
    const int ready = !m_held.empty() ? 1 : m_closed ? -1 : poll(&channel, 1, timeoutMs);
    wake.failed = ready < 0 && (m_closed || errno != EINTR);
    wake.readable = ready > 0;
    return wake;
}

bool HelperSocket::receive(bool errorQueue, Packet &packet)
{
    if (errorQueue)
        return false;
    size_t length = 0;
    if (!m_held.empty()) {
        length = m_held.front().size();
        std::copy(m_held.front().begin(), m_held.front().end(), m_message.begin());
        m_held.pop_front();
    } else {
        length = readMessage();
    }
    if (length == 0)
        return false;
    packet = packetOf(length);
    return true;
}

// Anything but a whole Packet record reads as a packet of no kind, which answers nothing.
EchoSocket::Packet HelperSocket::packetOf(size_t length) const
{
    HelperProtocol::Packet record;
    if (!isRecord(m_message, length, Type::Packet, sizeof record))
        return {};
    std::memcpy(&record, m_message.data(), sizeof record);
    const auto kind = IcmpPacket::Kind(record.kind);
    if (sizeof record + record.dataSize != length ||
        (kind != IcmpPacket::Kind::EchoReply && kind != IcmpPacket::Kind::Error))
        return {};
    Packet packet;
    packet.kind = kind;
    packet.source = ipAddressOf(record.source).value_or(IpAddress());
    packet.ttl = record.ttl;
    packet.identifier = record.identifier;
    packet.sequence = record.sequence;
    packet.status = record.status;
    packet.quotedDestination = ipAddressOf(record.quotedDestination).value_or(IpAddress());
    packet.dataOffset = sizeof record;
    packet.dataSize = record.dataSize;
    packet.arrivedNs = record.arrivedNs;
    return packet;
}

void HelperSocket::discardQueued()
{
    m_held.clear();
    for (int i = 0; i < MaxStaleMessages && readMessage() != 0; ++i) {
    }
}
