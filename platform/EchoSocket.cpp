#include "EchoSocket.h"

#include "IcmpTypes.h"

#include <netinet/in.h>

#include <cerrno>

EchoSocket::~EchoSocket() = default;

EchoSocket::Packet EchoSocket::packetOf(const IcmpPacket::Decoded &decoded)
{
    Packet packet;
    packet.kind = decoded.kind;
    packet.source = IpAddress::v4(decoded.source);
    packet.ttl = decoded.ttl;
    packet.identifier = decoded.identifier;
    packet.sequence = decoded.sequence;
    packet.status = decoded.status;
    if (decoded.kind == IcmpPacket::Kind::Error)
        packet.quotedDestination = IpAddress::v4(decoded.quotedDestination);
    packet.dataOffset = decoded.dataOffset;
    packet.dataSize = decoded.dataSize;
    packet.quotedOffset = decoded.quotedOffset;
    packet.quotedSize = decoded.quotedSize;
    return packet;
}

EchoSocket::Packet EchoSocket::packetOf(const Icmp6Packet::Decoded &decoded)
{
    Packet packet;
    packet.kind = decoded.kind;
    packet.identifier = decoded.identifier;
    packet.sequence = decoded.sequence;
    packet.status = decoded.status;
    if (decoded.kind == IcmpPacket::Kind::Error)
        packet.quotedDestination = IpAddress::v6(decoded.quotedDestination.data());
    packet.dataOffset = decoded.dataOffset;
    packet.dataSize = decoded.dataSize;
    packet.quotedOffset = decoded.quotedOffset;
    packet.quotedSize = decoded.quotedSize;
    return packet;
}

std::vector<uint8_t> EchoSocket::echoRequest(int family, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                                             size_t size)
{
    if (family == AF_INET6)
        return Icmp6Packet::buildEchoRequest(identifier, sequence, payload, size);
    return IcmpPacket::buildEchoRequest(identifier, sequence, payload, size);
}

uint32_t EchoSocket::statusOfErrno(int error)
{
    switch (error) {
    case EMSGSIZE: return IP_PACKET_TOO_BIG;
    case ENETUNREACH: return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH: return IP_DEST_HOST_UNREACHABLE;
    default: return IP_GENERAL_FAILURE;
    }
}
