#pragma once
#include "IpAddress.h"

#include <cstdint>
#include <optional>

// The route the kernel would give a packet to one destination, asked through rtnetlink: its own
// lookup, so that every table and rule counts.
struct KernelRoute {
    uint8_t type = 0; // RTN_UNICAST, RTN_LOCAL, RTN_BROADCAST...
    int link = 0;     // the interface it leaves by
    bool viaGateway = false;
    uint32_t gateway = 0; // an IPv4 gateway's address, network order
    uint32_t source = 0;  // the IPv4 source address it gets, network order

    // Through the rtnetlink socket netlink; nothing when the kernel has no route or cannot be asked.
    // A zone of an IPv6 address is the link the lookup keeps to.
    static std::optional<KernelRoute> to(const IpAddress &destination, int netlink);

    // Straight to the destination on a link of this host's: no gateway between, and neither this
    // host's own address nor a broadcast.
    bool direct() const;
};
