#include "EchoSocket.h"

#include "IcmpTypes.h"

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

uint32_t EchoSocket::statusOfSendError(int error, const IpAddress &, uint16_t, uint16_t)
{
    return statusOfErrno(error);
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
