#pragma once
#include "IcmpPacket.h"

#include <chrono>
#include <cstdint>
#include <vector>

// What the echo module needs of an ICMP socket: IcmpSocket in the program, a scripted network in
// tests. The clock belongs here too, because waiting is where time passes: a simulated socket moves
// its simulated clock to the next packet instead of sleeping, and the module's deadlines and
// round-trip times read that same clock.
class EchoSocket {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC on Linux
    enum class Kind { Datagram, Raw };

    // Why a wait ended; none set: the time ran out, or a signal came.
    struct Wake {
        bool readable = false;
        bool error = false;  // something on the error queue
        bool failed = false; // the socket cannot be waited on
    };

    virtual ~EchoSocket();

    virtual Kind kind() const = 0;
    // The identifier that echo replies to this socket carry.
    virtual uint16_t identifier() const = 0;
    // -1 gives the socket the system's default back.
    virtual bool setTtl(int ttl) = 0;
    // 0 when request went out, else errno.
    virtual int send(uint32_t destination, const std::vector<uint8_t> &request, int flags = 0) = 0;
    // The IP_STATUS of a request to destination (network order) that send() refused with error.
    virtual uint32_t statusOfSendError(int error, uint32_t destination, uint16_t identifier, uint16_t sequence);
    static uint32_t statusOfErrno(int error);
    virtual Wake wait(int timeoutMs) = 0;
    // One queued packet, decoded, without waiting; false when that queue is empty. The decoded data
    // offset points into data().
    virtual bool receive(bool errorQueue, IcmpPacket::Decoded &decoded) = 0;
    virtual const uint8_t *data() const = 0;
    // Reading the pending error clears it; it would otherwise end every wait at once.
    virtual void clearPendingError() = 0;
    // Answers to requests that were given up on, of no use to the next one.
    virtual void discardQueued() = 0;
    virtual Clock::time_point now() const = 0;
};
