#include "Icmp6Packet.h"

#include "IcmpTypes.h"

#include <cstring>

namespace Icmp6Packet {

namespace {

constexpr uint8_t NextHeaderIcmp6 = 58;
constexpr uint8_t HopByHop = 0;
constexpr uint8_t Routing = 43;
constexpr uint8_t Fragment = 44;
constexpr uint8_t Authentication = 51;
constexpr uint8_t DestinationOptions = 60;
constexpr size_t MaxExtensionHeaders = 8;

uint16_t readBigEndian16(const uint8_t *bytes)
{
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

uint32_t readBigEndian32(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

void readEchoFields(const uint8_t *icmp, Decoded &out)
{
    out.identifier = readBigEndian16(icmp + 4);
    out.sequence = readBigEndian16(icmp + 6);
}

// Offset of the quoted packet's ICMPv6 header past its IPv6 header and extension headers; 0 when
// the packet carries something else, or a fragment other than the first.
size_t quotedIcmpOffset(const uint8_t *quote, size_t len)
{
    if (len < Ipv6HeaderSize || quote[0] >> 4 != 6)
        return 0;
    uint8_t next = quote[6];
    size_t offset = Ipv6HeaderSize;
    for (size_t i = 0; i < MaxExtensionHeaders && next != NextHeaderIcmp6; ++i) {
        if (len - offset < 8)
            return 0;
        const uint8_t *header = quote + offset;
        size_t headerLength = 0;
        switch (next) {
        case HopByHop:
        case Routing:
        case DestinationOptions: headerLength = (size_t(header[1]) + 1) * 8; break;
        case Authentication: headerLength = (size_t(header[1]) + 2) * 4; break;
        case Fragment:
            if ((readBigEndian16(header + 2) & 0xFFF8) != 0)
                return 0;
            headerLength = 8;
            break;
        default: return 0;
        }
        next = header[0];
        offset += headerLength;
        if (offset > len)
            return 0;
    }
    return next == NextHeaderIcmp6 ? offset : 0;
}

// An error must quote our echo request, or nothing of it can be matched to a request.
bool readQuotedRequest(const uint8_t *quote, size_t len, Decoded &out)
{
    const size_t icmpOffset = quotedIcmpOffset(quote, len);
    if (icmpOffset == 0 || len - icmpOffset < HeaderSize || quote[icmpOffset] != EchoRequest)
        return false;
    std::memcpy(out.quotedDestination.data(), quote + 24, out.quotedDestination.size());
    readEchoFields(quote + icmpOffset, out);
    out.quotedOffset = icmpOffset + HeaderSize;
    out.quotedSize = len - out.quotedOffset;
    return true;
}

} // namespace

std::vector<uint8_t> buildEchoRequest(uint16_t identifier, uint16_t sequence, const uint8_t *payload, size_t payloadLen)
{
    std::vector<uint8_t> packet;
    buildEchoRequest(packet, identifier, sequence, payload, payloadLen);
    return packet;
}

void buildEchoRequest(std::vector<uint8_t> &packet, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                      size_t payloadLen)
{
    IcmpPacket::buildEcho(packet, EchoRequest, identifier, sequence, payload, payloadLen);
}

uint16_t checksum(const Address &source, const Address &destination, const uint8_t *icmp, size_t len)
{
    std::vector<uint8_t> summed(source.begin(), source.end());
    summed.insert(summed.end(), destination.begin(), destination.end());
    const uint32_t length = uint32_t(len);
    const uint8_t rest[8] = {
        uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0, 0, 0, NextHeaderIcmp6};
    summed.insert(summed.end(), rest, rest + sizeof rest);
    summed.insert(summed.end(), icmp, icmp + len);
    return IcmpPacket::checksum(summed.data(), summed.size());
}

Decoded decode(const uint8_t *bytes, size_t len)
{
    Decoded out;
    if (len < HeaderSize)
        return out;
    const uint8_t type = bytes[0];
    if (type == EchoRequest || type == EchoReply) {
        out.kind = type == EchoReply ? Kind::EchoReply : Kind::EchoRequest;
        readEchoFields(bytes, out);
        out.dataOffset = HeaderSize;
        out.dataSize = len - HeaderSize;
        return out;
    }
    out.status = statusOfError(type, bytes[1]);
    if (out.status == 0 || !readQuotedRequest(bytes + HeaderSize, len - HeaderSize, out))
        return {};
    out.kind = Kind::Error;
    out.quotedOffset += HeaderSize;
    if (type == PacketTooBig)
        out.mtu = readBigEndian32(bytes + 4);
    return out;
}

uint32_t statusOfError(uint8_t type, uint8_t code)
{
    switch (type) {
    case DestinationUnreachable:
        switch (code) {
        case 0: // no route to the destination
        case 6: // a reject route to it
            return IP_DEST_NET_UNREACHABLE;
        case 2: // beyond the scope of the source address
        case 7: // error in the source routing header
            return IP_BAD_ROUTE;
        case 4: return IP_DEST_PORT_UNREACHABLE;
        default: // administratively prohibited, address unreachable, source address policy and the rest
            return IP_DEST_HOST_UNREACHABLE;
        }
    case PacketTooBig: return IP_PACKET_TOO_BIG;
    case TimeExceeded: return code == 1 ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
    // An unknown next header is what protocol unreachable is to IPv4.
    case ParameterProblem: return code == 1 ? IP_DEST_PROT_UNREACHABLE : IP_PARAM_PROBLEM;
    default: return 0;
    }
}

} // namespace Icmp6Packet
