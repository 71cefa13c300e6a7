#pragma once
#include "FileDescriptor.h"
#include "IpAddress.h"

#include <set>
#include <vector>

// Which destinations this host reaches straight on one of its Ethernet links, with no gateway
// between, where hosts are asked for by ARP or neighbour solicitation. The
// routes without a gateway of every table, read once, rule out at once a destination that none of
// them holds (most of a large sweep); the kernel's own lookup decides for the rest, so that rules
// and every table count.
class DirectLinks {
public:
    DirectLinks();

    // The interface a packet to destination leaves by straight to it; 0 when a gateway stands
    // between, when it is this host's own address, a broadcast, has no route or only a default one,
    // when the link asks nobody for its hosts (a tunnel), or when the kernel cannot be asked.
    int linkOf(const IpAddress &destination) const;

private:
    struct Prefix {
        IpAddress network;
        int length;
    };

    void takeRoute(const void *message, size_t length);
    void readLinks();
    bool mayHold(const IpAddress &destination) const;

    FileDescriptor m_netlink;
    std::vector<Prefix> m_prefixes;
    std::set<int> m_askingLinks;
};
