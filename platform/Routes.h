#pragma once
#include "IpAddress.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// What this system's routing makes of destinations, learnt without sending anything: the kernel's
// own lookup for one address (a connect() on an ICMP datagram socket of our own, which never sends
// and so never has an ICMP error pending), and the routes and rules of every table, read once
// through rtnetlink, which tell how far around an address the lookup must come out the same.
class Routes {
public:
    // Host byte order, both ends included.
    struct Block {
        uint32_t first;
        uint32_t last;
    };

    // Where the kernel sends a packet to a destination through a gateway: the link, the gateway and
    // the source address it gives such a packet (network byte order).
    struct Gateway {
        int link = 0;
        uint32_t address = 0;
        uint32_t source = 0;
    };

    Routes();
    ~Routes();
    Routes(const Routes &) = delete;
    Routes &operator=(const Routes &) = delete;

    // 0 when an echo request to destination (host byte order) would find a route; else the errno
    // the lookup fails with; -1 when this user cannot ask.
    int lookupError(uint32_t destination);
    // The same for an address of either family.
    int lookupError(const IpAddress &destination);

    // The widest aligned block around address inside which no route or rule of any table begins or
    // ends, and no address the kernel treats apart (loopback, multicast, broadcast): every address
    // of it is routed as address is. The address alone when the tables cannot be read.
    Block sameRouteAs(uint32_t address);

    // The tables are read again at the next sameRouteAs(): they changed.
    void forget();

    // The gateway of the kernel's route to destination (host byte order), asked through rtnetlink;
    // nothing for a destination on a link of this host's, without a unicast route, or when the
    // kernel cannot be asked.
    std::optional<Gateway> gatewayTo(uint32_t destination) const;

private:
    struct Prefix {
        uint32_t network;
        int length;
    };

    bool readTables();
    bool dump(int fd, uint16_t type, const void *header, size_t headerSize, uint32_t sequence);
    void takeRoute(const void *message, size_t length);
    void takeRule(const void *message, size_t length);

    int m_probe = -1;
    int m_probe6 = -1;
    bool m_read = false;
    bool m_readable = false;
    std::vector<Prefix> m_prefixes;
};
