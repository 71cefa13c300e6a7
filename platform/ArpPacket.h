#pragma once
#include "HardwareAddress.h"

#include <linux/filter.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// ARP for IPv4 over Ethernet, as whole frames: the broadcast request that asks the link who has an
// address, and the reply that names the hardware address that has it. Addresses in network order.
class ArpPacket {
public:
    // The Ethernet header and the ARP message; the link's driver pads it to the shortest frame.
    static constexpr size_t FrameBytes = 42;

    struct Reply {
        uint32_t sender = 0; // the address asked for
        HardwareAddress hardware;
        uint32_t target = 0; // the asker's address
    };

    // Who has target? Tell source, at hardware address from.
    static std::array<uint8_t, FrameBytes> request(const HardwareAddress &from, uint32_t source, uint32_t target);
    // The reply a frame holds; none for a frame that is not a whole ARP reply over Ethernet for IPv4.
    static std::optional<Reply> replyOf(const uint8_t *frame, size_t length);
    // A socket filter that keeps ARP replies alone, so that requests and other frames never queue.
    static std::vector<sock_filter> replyFilter();
};
