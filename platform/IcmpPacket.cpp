#include "IcmpPacket.h"

#include "IcmpTypes.h"

#include <cstring>

namespace IcmpPacket {

namespace {

constexpr size_t MinIpHeaderSize = 20;
constexpr uint8_t ProtocolIcmp = 1;

uint16_t readBigEndian16(const uint8_t *bytes)
{
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

void writeBigEndian16(uint8_t *bytes, uint16_t value)
{
    bytes[0] = uint8_t(value >> 8);
    bytes[1] = uint8_t(value);
}

// Addresses stay in network order, exactly as they were on the wire.
uint32_t readAddress(const uint8_t *bytes)
{
    uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

// Length of the IPv4 header of an ICMP packet that starts at bytes; 0 when len cannot hold it.
size_t ipHeaderLength(const uint8_t *bytes, size_t len)
{
    if (len < MinIpHeaderSize || bytes[0] >> 4 != 4 || bytes[9] != ProtocolIcmp)
        return 0;
    const size_t headerLength = size_t(bytes[0] & 0x0F) * 4;
    return headerLength >= MinIpHeaderSize && headerLength <= len ? headerLength : 0;
}

void readEchoFields(const uint8_t *icmp, Decoded &out)
{
    out.identifier = readBigEndian16(icmp + 4);
    out.sequence = readBigEndian16(icmp + 6);
}

// An error must quote our echo request, or nothing of it can be matched to a request.
bool readQuotedRequest(const uint8_t *quote, size_t len, Decoded &out)
{
    const size_t headerLength = ipHeaderLength(quote, len);
    if (headerLength == 0 || len - headerLength < HeaderSize || quote[headerLength] != EchoRequest)
        return false;
    out.quotedDestination = readAddress(quote + 16);
    readEchoFields(quote + headerLength, out);
    out.quotedOffset = headerLength + HeaderSize;
    out.quotedSize = len - out.quotedOffset;
    return true;
}

Decoded decodeIcmp(const uint8_t *icmp, size_t len, size_t offset, Decoded out)
{
    const uint8_t type = icmp[0];
    out.dataOffset = offset + HeaderSize;
    out.dataSize = len - HeaderSize;
    if (type == EchoRequest) {
        // Quoted back with a datagram socket's errors, often cut after 8 bytes: no checksum to trust.
        out.kind = Kind::EchoRequest;
        readEchoFields(icmp, out);
        return out;
    }
    if (checksum(icmp, len) != 0)
        return {};
    if (type == EchoReply) {
        out.kind = Kind::EchoReply;
        readEchoFields(icmp, out);
        return out;
    }
    out.status = statusOfError(type, icmp[1]);
    if (out.status == 0 || !readQuotedRequest(icmp + HeaderSize, len - HeaderSize, out))
        return {};
    out.kind = Kind::Error;
    out.quotedOffset += offset + HeaderSize;
    out.dataOffset = 0;
    out.dataSize = 0;
    return out;
}

} // namespace

// A one's complement sum comes out the same in either byte order, only swapped: the words are added
// as the processor reads them, four bytes at a time, and the sum is swapped back at the end.
uint16_t checksum(const uint8_t *data, size_t len)
{
    uint64_t sum = 0;
    size_t at = 0;
    for (; at + 4 <= len; at += 4) {
        uint32_t word;
        std::memcpy(&word, data + at, sizeof word);
        sum += word;
    }
    uint8_t tail[4] = {};
    if (at < len)
        std::memcpy(tail, data + at, len - at);
    uint32_t word;
    std::memcpy(&word, tail, sizeof word);
    sum += word;
    while (sum >> 16 != 0)
        sum = (sum & 0xFFFF) + (sum >> 16);
    auto folded = uint16_t(sum);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    folded = uint16_t(folded << 8 | folded >> 8);
#endif
    return uint16_t(~folded);
}

std::vector<uint8_t> buildEchoRequest(uint16_t identifier, uint16_t sequence, const uint8_t *payload, size_t payloadLen)
{
    std::vector<uint8_t> packet;
    buildEchoRequest(packet, identifier, sequence, payload, payloadLen);
    return packet;
}

void buildEchoRequest(std::vector<uint8_t> &packet, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                      size_t payloadLen)
{
    buildEcho(packet, EchoRequest, identifier, sequence, payload, payloadLen);
    writeBigEndian16(&packet[2], checksum(packet.data(), packet.size()));
}

void buildEcho(std::vector<uint8_t> &packet, uint8_t type, uint16_t identifier, uint16_t sequence,
               const uint8_t *payload, size_t payloadLen)
{
    packet.resize(HeaderSize + payloadLen);
    packet[0] = type;
    packet[1] = 0;
    writeBigEndian16(&packet[2], 0);
    writeBigEndian16(&packet[4], identifier);
    writeBigEndian16(&packet[6], sequence);
    if (payloadLen != 0)
        std::memcpy(&packet[HeaderSize], payload, payloadLen);
}

Decoded decode(const uint8_t *bytes, size_t len, bool withIpHeader)
{
    Decoded out;
    size_t offset = 0;
    if (withIpHeader) {
        offset = ipHeaderLength(bytes, len);
        if (offset == 0)
            return {};
        // The header's total length tells a packet that was cut short from a whole one.
        const size_t totalLength = readBigEndian16(bytes + 2);
        if (totalLength > len || totalLength < offset)
            return {};
        len = totalLength;
        out.source = readAddress(bytes + 12);
        out.ttl = bytes[8];
    }
    if (len - offset < HeaderSize)
        return {};
    return decodeIcmp(bytes + offset, len - offset, offset, out);
}

uint32_t statusOfError(uint8_t type, uint8_t code)
{
    switch (type) {
    case DestinationUnreachable:
        switch (code) {
        case 0:  // network
        case 6:  // network unknown
        case 11: // network, for this type of service
            return IP_DEST_NET_UNREACHABLE;
        case 2: return IP_DEST_PROT_UNREACHABLE;
        case 3: return IP_DEST_PORT_UNREACHABLE;
        case 4: // fragmentation needed with DF set
            return IP_PACKET_TOO_BIG;
        case 5: return IP_BAD_ROUTE;
        default: // host, host unknown, administratively prohibited and the rest
            return IP_DEST_HOST_UNREACHABLE;
        }
    case TimeExceeded: return code == 1 ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
    case ParameterProblem: return IP_PARAM_PROBLEM;
    case SourceQuench: return IP_SOURCE_QUENCH;
    default: return 0;
    }
}

} // namespace IcmpPacket
