#include "NeighbourTable.h"
#include "FileDescriptor.h"
#include "NetlinkDump.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace {

// Far beyond the kernel's own limit of a table (gc_thresh3).
constexpr size_t MaxEntries = 1 << 20;

constexpr uint16_t Confirmed = NUD_REACHABLE | NUD_PERMANENT;
constexpr uint16_t Answered = Confirmed | NUD_STALE | NUD_DELAY | NUD_PROBE;

std::optional<NeighbourTable::Entry> entryOf(const ndmsg *neighbour, size_t length)
{
    const bool pending = (neighbour->ndm_state & NUD_INCOMPLETE) != 0;
    if ((neighbour->ndm_state & Answered) == 0 && !pending)
        return std::nullopt;
    NeighbourTable::Entry entry;
    entry.pending = pending;
    entry.confirmed = (neighbour->ndm_state & Confirmed) != 0;
    bool hardware = false;
    length -= NLMSG_ALIGN(sizeof(ndmsg));
    for (auto *attribute =
             reinterpret_cast<const rtattr *>(reinterpret_cast<const char *>(neighbour) + NLMSG_ALIGN(sizeof(ndmsg)));
         RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        const auto *data = static_cast<const uint8_t *>(RTA_DATA(attribute));
        const size_t size = RTA_PAYLOAD(attribute);
        if (attribute->rta_type == NDA_LLADDR && size == HardwareAddress::Size) {
            entry.hardware = HardwareAddress(data);
            hardware = true;
        } else if (attribute->rta_type == NDA_DST && neighbour->ndm_family == AF_INET && size == 4) {
            uint32_t v4 = 0;
            std::memcpy(&v4, data, 4);
            entry.address = IpAddress::v4(v4);
        } else if (attribute->rta_type == NDA_DST && neighbour->ndm_family == AF_INET6 && size == IpAddress::V6Size) {
            const bool linkLocal = data[0] == 0xFE && (data[1] & 0xC0) == 0x80;
            entry.address = IpAddress::v6(data, linkLocal ? uint32_t(neighbour->ndm_ifindex) : 0);
        }
    }
    if (entry.address.isNull() || (!hardware && !pending))
        return std::nullopt;
    return entry;
}

} // namespace

std::optional<std::vector<NeighbourTable::Entry>> NeighbourTable::read()
{
    const FileDescriptor netlink(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    std::vector<Entry> entries;
    const ndmsg everyFamily{};
    const bool read = NetlinkDump::run(
        netlink.get(), RTM_GETNEIGH, &everyFamily, sizeof everyFamily, 1, [&](const nlmsghdr &message) {
            if (message.nlmsg_type != RTM_NEWNEIGH || NLMSG_PAYLOAD(&message, 0) < sizeof(ndmsg))
                return true;
            if (const auto entry =
                    entryOf(static_cast<const ndmsg *>(NLMSG_DATA(&message)), NLMSG_PAYLOAD(&message, 0)))
                entries.push_back(*entry);
            return entries.size() < MaxEntries;
        });
    if (!read)
        return std::nullopt;
    return entries;
}
