#pragma once
#include "SweepNetwork.h"
#include "platform/RouteWatch.h"

#include <memory>
#include <mutex>

// This system's ICMP sockets: datagram ones where it allows them; else, and for a sweep that sends
// frames, those the privileged helper opens for each sender.
class SystemNetwork final : public SweepNetwork {
public:
    const SweepClock &clock() const override { return SweepClock::monotonic(); }
    // One a core, up to 8.
    unsigned mostSenders() const override;
    std::unique_ptr<SweepChannel> open(const ChannelSettings &wanted) override;
    Routes::Block routedAlike(uint32_t address) override;

private:
    std::mutex m_mutex;
    Routes m_routes;
    std::unique_ptr<RouteWatch> m_watch; // from the first refusal on
};
