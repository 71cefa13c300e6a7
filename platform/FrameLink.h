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
// The sockets are opened for sending alone (protocol 0: nothing is ever queued on them), and need
// CAP_NET_RAW: a program opens them before it gives up its capabilities. Frames go out a message each
// at first, then through a ring shared with the kernel, which sends a batch of them in one call
// without a message header to copy for each: a fifth less of the kernel's work a frame. One thread
// sends through a link, so each sender has a link of its own.
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
    // Has the ring made on a thread of its own; frames go through it once it is ready. Called once the
    // capabilities are gone: a program that runs a second thread can no longer give them all up.
    void startRing();
    // Closing a packet socket waits for every processor to pass a quiescent state (some tens of
    // milliseconds): it is done on a thread of its own, while the caller goes on, once nothing is
    // sent through the link any more. The destructor waits for it.
    void closeLater();

    // The way to a gateway: nothing unless its link is Ethernet and up and this host has its
    // hardware address.
    std::optional<Path> pathThrough(const Routes::Gateway &gateway) const;

    // Sends the first of count requests and as many after it as the link takes, in one call, with
    // time-to-live ttl and without fragmenting: how many went out, or -errno when the first did not.
    // A request too big for its path's link fails with EMSGSIZE; ENOBUFS and EAGAIN mean that the
    // link has no room until the kernel has sent what it holds.
    int sendMany(const Frame *frames, size_t count, int ttl);

private:
    void prepareRing();
    int sendEach(const Frame *frames, size_t count, int ttl) const;
    int sendThroughRing(const Frame *frames, size_t count, int ttl);
    uint8_t *slotAt(size_t index) const;

    std::atomic<int> m_fd{-1}; // sends a message a frame
    int m_ringFd = -1;
    uint8_t *m_ring = nullptr; // written before m_ringReady, by the thread that prepares it
    std::atomic<bool> m_ringReady{false};
    size_t m_head = 0; // the ring's slot that the kernel sends next
    std::thread m_preparing;
    std::thread m_closing;
};
