#pragma once
#include "IcmpPacket.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Pure functions over ICMPv6 bytes, the IPv6 counterpart of IcmpPacket. Both kinds of ICMPv6
// socket deliver a packet without its IPv6 header (the source and hop limit come with the socket's
// address and ancillary data), and the kernel computes and checks the checksum, which covers the
// addresses of that header: a request goes out with 0 there, and a packet read has passed the check.
namespace Icmp6Packet {

constexpr uint8_t DestinationUnreachable = 1;
constexpr uint8_t PacketTooBig = 2;
constexpr uint8_t TimeExceeded = 3;
constexpr uint8_t ParameterProblem = 4;
constexpr uint8_t EchoRequest = 128;
constexpr uint8_t EchoReply = 129;
constexpr size_t HeaderSize = 8;
constexpr size_t Ipv6HeaderSize = 40;

using Kind = IcmpPacket::Kind;
using Address = std::array<uint8_t, 16>;

// As IcmpPacket::Decoded, less what only the socket knows of an IPv6 packet: its source and hop limit.
struct Decoded {
    Kind kind = Kind::Other;
    uint16_t identifier = 0;
    uint16_t sequence = 0;
    uint32_t status = 0;         // IP_STATUS for Kind::Error
    uint32_t mtu = 0;            // Kind::Error from PacketTooBig: the next hop's MTU
    Address quotedDestination{}; // Kind::Error: destination of the quoted request
    size_t dataOffset = 0;       // EchoReply, EchoRequest: offset of the payload within the given bytes
    size_t dataSize = 0;
    size_t quotedOffset = 0; // Kind::Error: as much of the quoted request's payload as the error holds
    size_t quotedSize = 0;
};

// An echo request, its checksum left for the kernel.
std::vector<uint8_t> buildEchoRequest(uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                                      size_t payloadLen);
void buildEchoRequest(std::vector<uint8_t> &packet, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                      size_t payloadLen);

// The checksum the kernel puts in a message from source to destination: over the IPv6 pseudo-header
// and the message, whose own checksum field must be 0. For those who make packets by hand.
uint16_t checksum(const Address &source, const Address &destination, const uint8_t *icmp, size_t len);

// Decodes len bytes that start with the ICMPv6 header. For Kind::Error, identifier and sequence are
// those of the quoted echo request, found past any extension headers of the quoted packet; an error
// that does not quote an echo request, and anything cut short, decode as Kind::Other.
Decoded decode(const uint8_t *bytes, size_t len);

// IP_STATUS of an ICMPv6 error type and code, or 0 for a message that does not end a request.
uint32_t statusOfError(uint8_t type, uint8_t code);

} // namespace Icmp6Packet
