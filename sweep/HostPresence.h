#pragma once
#include <cstdint>
#include <string>

// How a sweep knows a host is there, and what it learnt of its hardware: by its echo reply, by its
// answer to the link's address resolution (ARP, or neighbour discovery for IPv6), or by a TCP
// connection attempt it answered on a port.
struct HostPresence {
    enum class Method : uint8_t { Echo, Arp, Nd, Tcp };

    Method method = Method::Echo;
    uint16_t port = 0;    // the TCP port that answered
    std::string hardware; // aa:bb:cc:dd:ee:ff; "" for a host that is not on a link of this host's
    std::string maker;    // of the hardware address; "" when none is known
    bool reset = false;   // the TCP port answered with a reset (it is closed), not SYN-ACK

    // echo, arp, nd or tcp:PORT, as every format writes it.
    std::string foundBy() const
    {
        switch (method) {
        case Method::Arp: return "arp";
        case Method::Nd: return "nd";
        case Method::Tcp: return "tcp:" + std::to_string(port);
        default: return "echo";
        }
    }
};
