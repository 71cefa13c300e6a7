#pragma once
#include "IpAddress.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>

// What a program and tozelo-icmp, the small privileged helper that holds the raw sockets, say to each
// other over a SOCK_SEQPACKET socket pair: one record a message, of the fixed size of its type, in
// the machine's own byte order (both ends come from one build; the version tells a helper of another
// apart). The client opens a channel for one purpose; the helper opens what the purpose needs, gives
// up every privilege, answers Opened, and serves that purpose's requests until the client closes its
// end. The helper checks every field a client sends and refuses what is out of range.
//
// Echo: each Send is answered by one Sent; Packet records come between, unasked, for the packets
// that answer the channel's requests. A purpose to come takes a value of its own, its settings in
// Open, and record types numbered after those here.
namespace HelperProtocol {

constexpr uint16_t Version = 1;
// The helper's end of the pair, where it finds it when it starts.
constexpr int ChannelFd = 3;

enum class Type : uint16_t { Open = 1, Opened, Send, Sent, Packet };
enum class Purpose : uint16_t { Echo = 1 };

struct Header {
    uint16_t version = Version;
    Type type = Type::Open;
};

// An address of either family; past an IPv4 address's four bytes, and in its scope, zeros.
struct Address {
    uint16_t family = 0; // AF_INET or AF_INET6
    uint16_t reserved = 0;
    uint32_t scopeId = 0;
    uint8_t bytes[16] = {};
};

// Client: a channel for the purpose, over ICMP (AF_INET) or ICMPv6 (AF_INET6).
struct Open {
    Header header{Version, Type::Open};
    Purpose purpose = Purpose::Echo;
    uint16_t family = 0;
    uint8_t settings[60] = {}; // the purpose's own; all zero for Echo
};

// Helper: the identifier its requests carry, or the errno that kept it from opening its socket.
struct Opened {
    Header header{Version, Type::Opened};
    uint16_t identifier = 0;
    uint16_t reserved = 0;
    int32_t error = 0;
};

// Client, Echo: one echo request to destination, carrying size bytes of the program's payload, with
// this time-to-live or hop limit.
constexpr uint16_t MaxSize = 65500;
constexpr uint16_t MinTtl = 1;
constexpr uint16_t MaxTtl = 255;
struct Send {
    Header header{Version, Type::Send};
    Address destination;
    uint16_t size = 0;
    uint16_t ttl = 0;
};

// Helper, Echo: what became of a Send. The sequence number the request carries and when it went out
// (CLOCK_MONOTONIC, read just before), or the IP_STATUS that kept it back: IP_BAD_REQ for a request
// refused as it was asked.
struct Sent {
    Header header{Version, Type::Sent};
    uint32_t status = 0;
    int64_t sentNs = 0;
    uint16_t sequence = 0;
    uint16_t reserved[3] = {};
};

// Helper, Echo: an echo reply carrying the channel's identifier, or an ICMP error quoting one of its
// requests, decoded; an echo reply's data follows the record (dataSize bytes).
struct Packet {
    Header header{Version, Type::Packet};
    uint32_t status = 0;   // an error's IP_STATUS
    int64_t arrivedNs = 0; // when the kernel took it in (CLOCK_REALTIME), 0 when unknown
    uint8_t kind = 0;      // IcmpPacket::Kind
    uint8_t ttl = 0;
    uint16_t identifier = 0;
    uint16_t sequence = 0;
    uint16_t reserved = 0;
    uint32_t dataSize = 0;
    Address source;
    Address quotedDestination; // an error's: the destination of the request it quotes
    uint32_t reserved2 = 0;
};
// No packet of either family carries more.
constexpr size_t MaxPacketData = 65536;

// Records are copied as bytes: none has a byte left unset between its fields.
static_assert(std::has_unique_object_representations_v<Open> && std::has_unique_object_representations_v<Opened> &&
              std::has_unique_object_representations_v<Send> && std::has_unique_object_representations_v<Sent> &&
              std::has_unique_object_representations_v<Packet>);

Address addressOf(const IpAddress &address);
// The address a record holds; none where its family is neither or a byte it leaves unused is set.
std::optional<IpAddress> ipAddressOf(const Address &address);

} // namespace HelperProtocol
