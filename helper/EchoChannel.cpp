#include "EchoChannel.h"

#include "echo/EchoTerms.h"
#include "platform/IcmpTypes.h"

#include <chrono>
#include <cstring>

using namespace HelperProtocol;

EchoChannel::EchoChannel(EchoSocket &socket, int family, uint16_t firstSequence)
    : m_socket(socket), m_family(family), m_nextSequence(firstSequence)
{
}

Sent EchoChannel::answer(const uint8_t *message, size_t length)
{
    Sent sent;
    Send request;
    if (length == sizeof request)
        std::memcpy(&request, message, sizeof request);
    const std::optional<IpAddress> destination = length == sizeof request ? destinationOf(request) : std::nullopt;
    if (!destination || request.size > MaxSize || request.ttl < MinTtl || request.ttl > MaxTtl) {
        sent.status = IP_BAD_REQ;
        return sent;
    }
    if (request.ttl != m_ttl && !m_socket.setTtl(request.ttl)) {
        sent.status = IP_BAD_OPTION;
        return sent;
    }
    m_ttl = request.ttl;
    const std::vector<uint8_t> payload = EchoTerms::payloadOf(request.size);
    const EchoSocket::Sent result = m_socket.sendEcho(*destination, m_nextSequence++, payload.data(), request.size);
    sent.status = result.status;
    sent.sequence = result.sequence;
    sent.sentNs = std::chrono::duration_cast<std::chrono::nanoseconds>(result.at.time_since_epoch()).count();
    return sent;
}

std::optional<IpAddress> EchoChannel::destinationOf(const Send &request) const
{
    if (request.header.version != Version || request.header.type != Type::Send)
        return std::nullopt;
    const std::optional<IpAddress> destination = ipAddressOf(request.destination);
    if (!destination || destination->addressFamily() != m_family)
        return std::nullopt;
    return destination;
}

bool EchoChannel::nextPacket(std::vector<uint8_t> &record)
{
    EchoSocket::Packet packet;
    if (!m_socket.receive(false, packet))
        return false;
    record.clear();
    if (!ours(packet))
        return true;
    Packet head;
    head.status = packet.status;
    head.arrivedNs = packet.arrivedNs;
    head.kind = uint8_t(packet.kind);
    head.ttl = packet.ttl;
    head.identifier = packet.identifier;
    head.sequence = packet.sequence;
    head.dataSize = packet.kind == IcmpPacket::Kind::EchoReply ? uint32_t(packet.dataSize) : 0;
    head.source = addressOf(packet.source);
    head.quotedDestination = addressOf(packet.quotedDestination);
    record.resize(sizeof head + head.dataSize);
    std::memcpy(record.data(), &head, sizeof head);
    std::memcpy(record.data() + sizeof head, m_socket.data() + packet.dataOffset, head.dataSize);
    return true;
}

bool EchoChannel::ours(const EchoSocket::Packet &packet) const
{
    return packet.identifier == m_socket.identifier() &&
           (packet.kind == IcmpPacket::Kind::EchoReply || packet.kind == IcmpPacket::Kind::Error);
}
