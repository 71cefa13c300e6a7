#pragma once
#include "platform/IpAddress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A sweep's send back end: how one sender's requests reach the network (ICMP sockets of this process,
// frames, the privileged helper, a scripted network in tests). It builds each request itself, with the
// identifier and sequence number of its slot and the keyed check at the head of its payload, and tells
// what became of each.
class SweepSender {
public:
    // The sequence numbers of one identifier.
    static constexpr uint32_t SlotsPerIdentifier = 65536;

    struct Request {
        IpAddress address;
        uint32_t target = 0; // its member's number in the sweep, which the keyed check covers
        uint32_t slot = 0;   // its identifier's block (slot / SlotsPerIdentifier) and its sequence number
    };

    // What one step of a send came to: count requests that went out in one call of the system's,
    // between startNs and endNs on the sweep's clock; or, when count is 0, the next request refused.
    struct Step {
        uint32_t count = 0;
        uint32_t status = 0; // why the request was refused (IP_STATUS)
        // Refused for want of a route, so that every target the routes treat alike is refused with it:
        // the send stops there.
        bool byRoute = false;
        int64_t startNs = 0;
        int64_t endNs = 0;
    };
    struct Report {
        std::vector<Step> steps; // in the order of the requests
        bool blocked = false;    // the system had no room for the rest for now
    };

    virtual ~SweepSender() = default;

    // Sends the requests in order until all are sent or refused, the system has no room, or one is
    // refused by route; report is cleared first.
    virtual void send(const Request *requests, size_t count, Report &report) = 0;

    // The pass whose number the keyed check of the requests from now on covers.
    virtual void beginPass(uint32_t pass) = 0;
    // This sender sends nothing more as frames in this pass: what it still sends goes through sockets.
    virtual void passSent() {}
    // No frame goes out any more: the link may close while the answers are awaited. From any thread.
    virtual void closeFrames() {}
};
