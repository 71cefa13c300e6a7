#pragma once
#include "Icmp6Packet.h"
#include "IcmpPacket.h"
#include "IpAddress.h"

#include <chrono>
#include <cstdint>
#include <vector>

// What the echo module needs of an ICMP socket of either family: IcmpSocket where this user may open
// ICMP datagram sockets, HelperSocket (a raw socket in the privileged helper) where not, a scripted
// network in tests. The clock belongs here too, because waiting is where time passes: a
// simulated socket moves its simulated clock to the next packet instead of sleeping, and the
// module's deadlines and round-trip times read that same clock.
class EchoSocket {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC on Linux
    enum class Kind { Datagram, Raw, Helper };

    // Why a wait ended; none set: the time ran out, or a signal came.
    struct Wake {
        bool readable = false;
        bool error = false;  // something on the error queue
        bool failed = false; // the socket cannot be waited on
    };

    // A packet read, decoded by its family's codec, with what only the socket knows filled in.
    struct Packet {
        IcmpPacket::Kind kind = IcmpPacket::Kind::Other;
        IpAddress source; // the replying host, or whoever sent the error
        uint8_t ttl = 0;  // TTL or hop limit of the packet; 0 when unknown
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        uint32_t status = 0;         // IP_STATUS for Kind::Error
        IpAddress quotedDestination; // Kind::Error: destination of the request it quotes
        size_t dataOffset = 0;       // EchoReply: the echoed payload within data()
        size_t dataSize = 0;
        size_t quotedOffset = 0; // Error: as much of the quoted request's payload as it holds
        size_t quotedSize = 0;
        int64_t arrivedNs = 0; // when the kernel took it in (CLOCK_REALTIME, ns), where the socket tells
    };
    // A packet as its family's codec gave it; an ICMPv6 packet's source and hop limit are the socket's
    // to fill in.
    static Packet packetOf(const IcmpPacket::Decoded &decoded);
    static Packet packetOf(const Icmp6Packet::Decoded &decoded);

    // What became of an echo request handed to the socket.
    struct Sent {
        uint32_t status = 0;   // IP_SUCCESS once it went out, else the IP_STATUS that kept it back
        uint16_t sequence = 0; // the sequence number it carries
        Clock::time_point at;  // read just before it went out
    };

    virtual ~EchoSocket();

    virtual Kind kind() const = 0;
    // The identifier that echo replies to this socket carry.
    virtual uint16_t identifier() const = 0;
    // -1 gives the socket the system's default back.
    virtual bool setTtl(int ttl) = 0;
    // An echo request to destination carrying the payload, with this socket's identifier and the
    // given sequence number, where the socket does not number its requests itself.
    virtual Sent sendEcho(const IpAddress &destination, uint16_t sequence, const uint8_t *payload, uint16_t size) = 0;
    // The request a socket of the family sends for sendEcho.
    static std::vector<uint8_t> echoRequest(int family, uint16_t identifier, uint16_t sequence, const uint8_t *payload,
                                            size_t size);
    // The IP_STATUS of a request that the system refused to send with errno error.
    static uint32_t statusOfErrno(int error);
    virtual Wake wait(int timeoutMs) = 0;
    // One queued packet, decoded, without waiting; false when that queue is empty. The packet's data
    // offset points into data().
    virtual bool receive(bool errorQueue, Packet &packet) = 0;
    virtual const uint8_t *data() const = 0;
    // Reading the pending error clears it; it would otherwise end every wait at once.
    virtual void clearPendingError() = 0;
    // Answers to requests that were given up on, of no use to the next one.
    virtual void discardQueued() = 0;
    virtual Clock::time_point now() const = 0;
};
