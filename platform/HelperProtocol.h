#pragma once
#include "IpAddress.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
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
// that answer the channel's requests.
//
// Sweep: one sender of a sweep. Its settings (SweepOpen) come in Open; each SweepSend, a batch of
// requests, is answered by one SweepReport of what became of them; each SweepSync by the SweepHeard
// records of every answer to the channel's requests read since the last, then one SweepSynced;
// SweepPass marks a pass's start and end. The helper reads its sockets whenever they are readable,
// so that no answer waits in them for the client.
//
// Arp: the hosts of one Ethernet link (ArpOpen, in Open), asked by ARP requests the helper builds
// itself from the link's own addresses; each ArpAsk is answered by one ArpFound.
namespace HelperProtocol {

constexpr uint16_t Version = 1;
// The helper's end of the pair, where it finds it when it starts.
constexpr int ChannelFd = 3;

enum class Type : uint16_t {
    Open = 1,
    Opened,
    Send,
    Sent,
    Packet,
    SweepSend,
    SweepReport,
    SweepSync,
    SweepHeard,
    SweepSynced,
    SweepPass,
    ArpAsk,
    ArpFound
};
enum class Purpose : uint16_t { Echo = 1, Sweep, Arp };

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

// What kept a channel from opening.
// Interface: the link an Arp channel names is not Ethernet, not up, or has no IPv4 address.
enum class Failure : uint16_t { None, Socket, Setting, FramesRefused, Link, Interface };

// Helper: the (first) identifier its requests carry, or what kept it from opening and its errno.
struct Opened {
    Header header{Version, Type::Opened};
    uint16_t identifier = 0;
    Failure failed = Failure::None;
    int32_t error = 0;
};

// Open's settings, for a sweep's sender.
constexpr uint16_t MaxIdentifiers = 32;
constexpr uint32_t MaxReceiveBuffer = 64 << 20;
constexpr size_t KeySize = 16;
struct SweepOpen {
    uint16_t identifiers = 1; // a power of two, each 65,536 slots
    uint16_t ttl = 0;
    uint16_t size = 0;   // of the program's payload
    uint16_t frames = 0; // 1: IPv4 requests through a gateway on an Ethernet link go as frames
    uint32_t receiveBufferBytes = 0;
    uint8_t key[KeySize] = {}; // of the keyed check at the head of each payload
};

// Client, Sweep: requests to send in turn; the helper builds each, with the identifier and sequence
// number of its slot and the keyed check of target, identifier, sequence number and pass.
constexpr uint32_t MaxSweepBatch = 256;
struct SweepRequest {
    Address address;
    uint32_t target = 0;
    uint32_t slot = 0; // identifier's block * 65,536 + sequence number
};
struct SweepSend {
    Header header{Version, Type::SweepSend};
    uint32_t count = 0;
    SweepRequest requests[MaxSweepBatch] = {};
};

// Helper, Sweep: what became of a SweepSend's requests, as SweepSender::Report tells it (times on
// CLOCK_MONOTONIC), and how many answers the system has dropped so far.
struct SweepStep {
    uint32_t count = 0;
    uint32_t status = 0;
    uint32_t byRoute = 0;
    uint32_t reserved = 0;
    int64_t startNs = 0;
    int64_t endNs = 0;
};
struct SweepReport {
    Header header{Version, Type::SweepReport};
    uint32_t count = 0; // steps
    uint32_t blocked = 0;
    uint32_t reserved = 0;
    uint64_t drops = 0;
    SweepStep steps[MaxSweepBatch] = {};
};

// Client, Sweep: the answers read so far, please.
struct SweepSync {
    Header header{Version, Type::SweepSync};
};

// Helper, Sweep: answers to the channel's requests, as SweepSource::Heard tells them (arrival on
// CLOCK_MONOTONIC), each answer's echoed bytes in the data behind the records, at its offset from
// the data's start.
// A message holds no more than MaxHeardAnswers answers and MaxPacketData echoed bytes.
constexpr uint32_t MaxHeardAnswers = 64;
struct SweepAnswer {
    uint16_t reply = 0;
    uint16_t identifier = 0;
    uint16_t sequence = 0;
    uint16_t reserved = 0;
    uint32_t slot = 0;
    uint32_t status = 0;
    int64_t arrivedNs = 0;
    Address from;
    Address about;
    uint32_t echoedOffset = 0;
    uint32_t echoedSize = 0;
};
struct SweepHeard {
    Header header{Version, Type::SweepHeard};
    uint32_t count = 0;
    uint32_t dataSize = 0;
};

// Helper, Sweep: the SweepHeard records before this one held every answer that reached this system
// before readUntilNs (CLOCK_MONOTONIC).
struct SweepSynced {
    Header header{Version, Type::SweepSynced};
    uint32_t reserved = 0;
    int64_t readUntilNs = 0;
    uint64_t drops = 0;
};

// Client, Sweep: the pass whose number the keyed check covers begins; the sender sends no more
// frames in this pass; or no frame goes out any more.
enum class PassMark : uint16_t { Begin = 1, Sent, CloseFrames };
struct SweepPass {
    Header header{Version, Type::SweepPass};
    PassMark mark = PassMark::Begin;
    uint16_t reserved = 0;
    uint32_t pass = 0;
};

// Open's settings, for the hosts of a link: its interface index, and how many requests a second
// the helper sends at most.
constexpr uint32_t MaxArpRate = 1000;
struct ArpOpen {
    int32_t link = 0;
    uint32_t rate = 0;
};

// Client, Arp: who has each of these IPv4 addresses (network order), each in a subnet of the link's
// own? The helper sends the requests at the channel's rate, then waits waitMs for replies, less once
// every target has answered.
constexpr uint32_t MaxArpBatch = 256;
constexpr uint32_t MaxArpWaitMs = 10000;
struct ArpAsk {
    Header header{Version, Type::ArpAsk};
    uint32_t count = 0;
    uint32_t waitMs = 0;
    uint32_t targets[MaxArpBatch] = {};
};

// Helper, Arp: the targets that replied, each with its hardware address; refused (and nothing sent)
// for an ask out of range or with a target outside the link's subnets; how many requests the link
// would not take, and the errno of the first.
struct ArpHost {
    uint32_t address = 0;
    uint8_t hardware[6] = {};
    uint16_t reserved = 0;
};
struct ArpFound {
    Header header{Version, Type::ArpFound};
    uint32_t count = 0;
    uint32_t refused = 0;
    uint32_t unsent = 0;
    int32_t error = 0;
    ArpHost hosts[MaxArpBatch] = {};
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
constexpr size_t MaxSweepHeard = sizeof(SweepHeard) + MaxHeardAnswers * sizeof(SweepAnswer) + MaxPacketData;

// Records are copied as bytes: none has a byte left unset between its fields.
static_assert(
    std::has_unique_object_representations_v<Open> && std::has_unique_object_representations_v<Opened> &&
    std::has_unique_object_representations_v<Send> && std::has_unique_object_representations_v<Sent> &&
    std::has_unique_object_representations_v<Packet> && std::has_unique_object_representations_v<SweepOpen> &&
    std::has_unique_object_representations_v<SweepSend> && std::has_unique_object_representations_v<SweepReport> &&
    std::has_unique_object_representations_v<SweepAnswer> && std::has_unique_object_representations_v<SweepHeard> &&
    std::has_unique_object_representations_v<SweepPass> && std::has_unique_object_representations_v<SweepSync> &&
    std::has_unique_object_representations_v<SweepSynced> && std::has_unique_object_representations_v<ArpOpen> &&
    std::has_unique_object_representations_v<ArpAsk> && std::has_unique_object_representations_v<ArpFound>);
static_assert(sizeof(SweepOpen) <= sizeof(Open::settings) && sizeof(ArpOpen) <= sizeof(Open::settings));

// A purpose's settings as an Open carries them; none where a byte past them is set.
template <typename Settings> std::optional<Settings> settingsIn(const Open &open)
{
    static_assert(sizeof(Settings) <= sizeof open.settings);
    Settings settings;
    std::memcpy(&settings, open.settings, sizeof settings);
    if (!std::all_of(open.settings + sizeof settings, std::end(open.settings), [](uint8_t byte) { return byte == 0; }))
        return std::nullopt;
    return settings;
}

Address addressOf(const IpAddress &address);
// The address a record holds; none where its family is neither or a byte it leaves unused is set.
std::optional<IpAddress> ipAddressOf(const Address &address);

} // namespace HelperProtocol
