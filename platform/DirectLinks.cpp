#include "DirectLinks.h"
#include "KernelRoute.h"
#include "NetlinkDump.h"

#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>

namespace {

// More routes without a gateway than this, and each destination is left to the kernel's lookup.
constexpr size_t MaxPrefixes = 1 << 16;

bool samePrefix(const IpAddress &a, const IpAddress &b, int length)
{
    const int whole = length / 8;
    if (std::memcmp(a.bytes(), b.bytes(), size_t(whole)) != 0)
        return false;
    const int rest = length % 8;
    const auto mask = uint8_t(0xFF << (8 - rest));
    return rest == 0 || ((a.bytes()[whole] ^ b.bytes()[whole]) & mask) == 0;
}

} // namespace

DirectLinks::DirectLinks() : m_netlink(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
{
    const rtmsg everyFamily{};
    // A table that cannot be read names no link: nothing is sent on a guess.
    const bool read = NetlinkDump::run(m_netlink.get(), RTM_GETROUTE, &everyFamily, sizeof everyFamily, 1,
                                       [this](const nlmsghdr &message) {
                                           if (message.nlmsg_type == RTM_NEWROUTE)
                                               takeRoute(NLMSG_DATA(&message), NLMSG_PAYLOAD(&message, 0));
                                           return m_prefixes.size() < MaxPrefixes;
                                       });
    if (!read)
        m_prefixes.clear();
    readLinks();
}

// Only an Ethernet link whose hosts are asked for by ARP or neighbour solicitation: a tunnel or a
// point-to-point link (a VPN's, say) carries a datagram on to wherever it leads, and tells of nobody.
void DirectLinks::readLinks()
{
    const ifinfomsg everyLink{};
    const bool read = NetlinkDump::run(
        m_netlink.get(), RTM_GETLINK, &everyLink, sizeof everyLink, 2, [this](const nlmsghdr &message) {
            if (message.nlmsg_type != RTM_NEWLINK || NLMSG_PAYLOAD(&message, 0) < sizeof(ifinfomsg))
                return true;
            const auto *link = static_cast<const ifinfomsg *>(NLMSG_DATA(&message));
            if (link->ifi_type == ARPHRD_ETHER && !(link->ifi_flags & IFF_NOARP))
                m_askingLinks.insert(link->ifi_index);
            return true;
        });
    if (!read)
        m_askingLinks.clear();
}

void DirectLinks::takeRoute(const void *message, size_t length)
{
    if (length < sizeof(rtmsg))
        return;
    const auto *route = static_cast<const rtmsg *>(message);
    const int family = route->rtm_family;
    const size_t size = family == AF_INET ? 4 : family == AF_INET6 ? IpAddress::V6Size : 0;
    // A default route without a gateway (a point-to-point link's) is no subnet of a link.
    if (route->rtm_type != RTN_UNICAST || size == 0 || route->rtm_dst_len == 0 || route->rtm_dst_len > size * 8)
        return;
    uint8_t network[IpAddress::V6Size] = {};
    length -= NLMSG_ALIGN(sizeof(rtmsg));
    for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_GATEWAY || attribute->rta_type == RTA_VIA ||
            attribute->rta_type == RTA_MULTIPATH)
            return;
        if (attribute->rta_type == RTA_DST && RTA_PAYLOAD(attribute) == size)
            std::memcpy(network, RTA_DATA(attribute), size);
    }
    uint32_t v4 = 0;
    std::memcpy(&v4, network, 4);
    m_prefixes.push_back({family == AF_INET ? IpAddress::v4(v4) : IpAddress::v6(network), route->rtm_dst_len});
}

bool DirectLinks::mayHold(const IpAddress &destination) const
{
    for (const Prefix &prefix : m_prefixes)
        if (prefix.network.family() == destination.family() && samePrefix(prefix.network, destination, prefix.length))
            return true;
    return false;
}

int DirectLinks::linkOf(const IpAddress &destination) const
{
    if (!mayHold(destination))
        return 0;
    const std::optional<KernelRoute> route = KernelRoute::to(destination, m_netlink.get());
    return route && route->direct() && m_askingLinks.count(route->link) != 0 ? route->link : 0;
}
