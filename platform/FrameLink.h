#pragma once
#include "Routes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

// Echo requests over IPv4 sent as whole Ethernet frames through a packet socket, past this host's IP
// stack: a fraction of the kernel's work a request that a raw or datagram socket costs, for
// destinations routed through a gateway on an Ethernet link whose hardware address this host already
// knows. Past the stack is also past its firewall and connection tracking, so a front end sends this
// way only when asked. Answers come in through the ICMP sockets as ever.
//
// The socket is opened for sending alone (protocol 0: nothing is ever queued on it), and needs
// CAP_NET_RAW: a program opens it before it gives up its capabilities.
class FrameLink {
public:
    // How frames reach a gateway.
    struct Path {
        int link = 0;
        uint8_t to[6] = {};   // the gateway's hardware address
        uint8_t from[6] = {}; // the link's own
        uint32_t source = 0;  // network byte order
        unsigned mtu = 0;
    };
    struct Frame {
        const Path *path;
        uint32_t destination; // network byte order
        const std::vector<uint8_t> *request;
    };

    FrameLink() = default;
    ~FrameLink();
    FrameLink(const FrameLink &) = delete;
    FrameLink &operator=(const FrameLink &) = delete;

    // False with errno set when no packet socket opens.
    bool open();
    bool isOpen() const { return m_fd.load(std::memory_order_relaxed) >= 0; }
    // Closing a packet socket waits for every processor to pass a quiescent state (some tens of
    // milliseconds): it is done on a thread of its own, while the caller goes on, once nothing is
    // sent through the link any more. The destructor waits for it.
    void closeLater();

    // The way to a gateway: nothing unless its link is Ethernet and up and this host has its
    // hardware address.
    std::optional<Path> pathThrough(const Routes::Gateway &gateway) const;

    // Sends the first of count requests and as many after it as the link takes, in one call, with
    // time-to-live ttl and without fragmenting: how many went out, or -errno when the first did not.
    // A request too big for its path's link fails with EMSGSIZE. Safe from several threads at once.
    int sendMany(const Frame *frames, size_t count, int ttl) const;

private:
    std::atomic<int> m_fd{-1};
    std::thread m_closing;
};
