#pragma once
#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <functional>

// Asks the kernel through rtnetlink for every entry of one kind (routes, rules, neighbours) and hands
// each message over as it comes, to the end of the dump.
class NetlinkDump {
public:
    // False when the kernel could not be asked, refused, or the table changed under the dump (no
    // picture of it), or when take returned false to stop.
    static bool run(int fd, uint16_t type, const void *header, size_t headerSize, uint32_t sequence,
                    const std::function<bool(const nlmsghdr &)> &take);
};
