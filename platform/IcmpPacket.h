#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Pure functions over ICMP bytes, shared by every sender of echo requests. All multi-byte fields
// of the wire format are handled in network order here; callers pass host-order identifiers.
namespace IcmpPacket {

constexpr uint8_t EchoReply = 0;
constexpr uint8_t DestinationUnreachable = 3;
constexpr uint8_t SourceQuench = 4;
constexpr uint8_t EchoRequest = 8;
constexpr uint8_t TimeExceeded = 11;
constexpr uint8_t ParameterProblem = 12;
constexpr size_t HeaderSize = 8;

// Internet checksum (RFC 1071) over len bytes; an odd last byte is padded with zero.
uint16_t checksum(const uint8_t *data, size_t len);

// An echo request: 8-byte header with checksum filled in, then the payload.
std::vector<uint8_t> buildEchoRequest(uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                                      size_t payloadLen);
// The same into packet, whose storage is kept from one request to the next.
void buildEchoRequest(std::vector<uint8_t> &packet, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                      size_t payloadLen);

// An echo message of the given type into packet, its checksum field left 0: the layout ICMPv4 and
// ICMPv6 share.
void buildEcho(std::vector<uint8_t> &packet, uint8_t type, uint16_t identifier, uint16_t sequence,
               const uint8_t *payload, size_t payloadLen);

// EchoRequest: an echo request, such as our own seen on loopback by a raw socket, or the one a
// datagram socket hands back with an error (often cut after its 8-byte header).
enum class Kind { Other, EchoReply, Error, EchoRequest };

struct Decoded {
    Kind kind = Kind::Other;
    uint32_t source = 0; // network order; 0 when the packet carried no IP header
    uint8_t ttl = 0;     // of the received packet; 0 when no IP header was given
    uint16_t identifier = 0;
    uint16_t sequence = 0;
    uint32_t status = 0;            // IP_STATUS for Kind::Error
    uint32_t quotedDestination = 0; // Kind::Error: destination of the quoted request, network order
    size_t dataOffset = 0;          // EchoReply, EchoRequest: offset of the payload within the given bytes
    size_t dataSize = 0;
    size_t quotedOffset = 0; // Kind::Error: as much of the quoted request's payload as the error holds
    size_t quotedSize = 0;
};

// Decodes len received bytes. withIpHeader: the bytes start with an IPv4 header (raw sockets);
// otherwise they start with the ICMP header (datagram sockets). For Kind::Error, identifier and
// sequence are those of the quoted echo request; an error that does not quote an echo request
// decodes as Kind::Other. Truncated or malformed input, and a reply or error whose checksum is
// wrong, decode as Kind::Other.
Decoded decode(const uint8_t *bytes, size_t len, bool withIpHeader);

// IP_STATUS of an ICMP error type and code, or 0 for one that does not end a request.
uint32_t statusOfError(uint8_t type, uint8_t code);

} // namespace IcmpPacket
