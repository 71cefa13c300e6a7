#pragma once
#include "HardwareAddress.h"
#include "IpAddress.h"

#include <optional>
#include <vector>

// The kernel's neighbour tables (ARP for IPv4, neighbour discovery for IPv6), read through
// rtnetlink: which addresses of this host's links answered, with their hardware addresses.
class NeighbourTable {
public:
    struct Entry {
        IpAddress address; // an IPv6 link-local one with its link as zone
        HardwareAddress hardware;
        // Still being asked: no answer yet, nor given up.
        bool pending = false;
        // Answered lately, or set by hand. An entry neither pending nor confirmed answered once, a
        // while ago (stale), and the kernel may be checking it again.
        bool confirmed = false;
    };

    // The entries of both families that answered (reachable, stale, being checked again, or set by
    // hand) and those still being asked; failed ones and links without hardware addresses are left
    // out. Nothing when the kernel cannot be asked.
    static std::optional<std::vector<Entry>> read();
};
