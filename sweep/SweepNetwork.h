#pragma once
#include "SweepClock.h"
#include "SweepSender.h"
#include "SweepSource.h"
#include "platform/EchoSocket.h"
#include "platform/Routes.h"

#include <atomic>
#include <memory>

class SweepRequests;

// What one sender of a sweep sends through and hears from.
class SweepChannel {
public:
    virtual ~SweepChannel() = default;
    virtual SweepSender &sender() = 0;
    virtual SweepSource &source() = 0;
    // The time its requests and answers are told on.
    virtual const SweepClock &clock() const = 0;
    virtual EchoSocket::Kind kind() const = 0;
};

// Where a sweep's channels come from, and the clock they keep: the system's sockets and the privileged
// helper in the program, a scripted network on a simulated clock in tests.
class SweepNetwork {
public:
    struct ChannelSettings {
        int family = 0;           // AF_INET or AF_INET6
        unsigned identifiers = 1; // each with SweepSender::SlotsPerIdentifier slots
        int ttl = 0;
        int receiveBufferBytes = 0;
        bool frames = false; // IPv4 requests through a gateway on an Ethernet link go as frames
        const SweepRequests *requests = nullptr;
        // Set once the sweep is to stop; readable from stopFd then.
        const std::atomic<bool> *stopped = nullptr;
        int stopFd = -1;
    };

    virtual ~SweepNetwork() = default;

    // The sweep's own: its progress is told on it.
    virtual const SweepClock &clock() const = 0;
    // The most senders worth running at once.
    virtual unsigned mostSenders() const = 0;
    // Throws TICMPException when no ICMP channel can be had, std::runtime_error for other failures.
    virtual std::unique_ptr<SweepChannel> open(const ChannelSettings &wanted) = 0;
    // The block around an IPv4 address (host byte order) that is routed as it is: a request refused for
    // want of a route stands for every address of it. From any thread.
    virtual Routes::Block routedAlike(uint32_t address) = 0;

    // The sockets of this system, and the privileged helper where they need a capability.
    static SweepNetwork &system();
};
