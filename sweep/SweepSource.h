#pragma once
#include "platform/IpAddress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A sweep's receive source: the answers that came to one sender's requests, as its send back end
// named them, and the wait for them.
class SweepSource {
public:
    // An echo reply, or an ICMP error that quotes an echo request of ours.
    struct Heard {
        bool reply = false;
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        uint32_t slot = 0;     // the request's, from its identifier and sequence number (SweepSender::Request)
        IpAddress from;        // the replying host, or the error's sender
        IpAddress about;       // the destination of the request it answers: the reply's source, or the quoted one
        uint32_t status = 0;   // an error's IP_STATUS
        int64_t arrivedNs = 0; // when the system took it in, on the sweep's clock; 0 when it did not tell
        // A reply's payload; as much of the quoted request's payload as an error holds.
        const uint8_t *echoed = nullptr;
        size_t echoedSize = 0;
    };

    virtual ~SweepSource() = default;

    // Reads up to limit packets already queued, without waiting, and adds the answers among them to
    // heard, valid until the next call: how many were read, 0 once every queue is read to its end.
    virtual size_t read(size_t limit, std::vector<Heard> &heard) = 0;
    // Once read() has returned 0: every answer that reached this system before this time (on the
    // sweep's clock) has been read. No request given up at it had an answer.
    virtual int64_t readUntilNs() const = 0;
    // Until an answer may be read, the sweep is stopped, or the clock reaches untilNs.
    virtual void wait(int64_t untilNs) = 0;
    // Answers the system dropped so far for want of room.
    virtual uint64_t drops() const = 0;
};
