#include "Routes.h"
#include "FileDescriptor.h"
#include "KernelRoute.h"
#include "NetlinkDump.h"

#include <arpa/inet.h>
#include <linux/fib_rules.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// A system with more routes than this is not worth learning by heart for a sweep.
constexpr size_t MaxPrefixes = 4 << 20;

uint32_t maskOf(int length)
{
    return length == 0 ? 0 : ~uint32_t(0) << (32 - length);
}

int commonLeadingBits(uint32_t a, uint32_t b)
{
    return a == b ? 32 : __builtin_clz(a ^ b);
}

// The destination prefix of a route or a rule, from its attribute (absent: 0.0.0.0).
uint32_t destinationOf(const rtattr *attributes, size_t length, unsigned short type)
{
    for (auto *attribute = attributes; RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == type && RTA_PAYLOAD(attribute) >= 4) {
            uint32_t network = 0;
            std::memcpy(&network, RTA_DATA(attribute), 4);
            return ntohl(network);
        }
    }
    return 0;
}

} // namespace

Routes::Routes() = default;

Routes::~Routes()
{
    for (const int probe : {m_probe, m_probe6})
        if (probe >= 0)
            close(probe);
}

int Routes::lookupError(uint32_t destination)
{
    if (m_probe < 0)
        m_probe = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_probe < 0)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    return connect(m_probe, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0 ? 0 : errno;
}

int Routes::lookupError(const IpAddress &destination)
{
    if (destination.isV4())
        return lookupError(ntohl(destination.v4()));
    if (m_probe6 < 0)
        m_probe6 = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (m_probe6 < 0)
        return -1;
    const sockaddr_in6 to = destination.toSockaddr6();
    return connect(m_probe6, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0 ? 0 : errno;
}

Routes::Block Routes::sameRouteAs(uint32_t address)
{
    if (!m_read) {
        m_read = true;
        m_readable = readTables();
    }
    if (!m_readable)
        return {address, address};
    // A prefix that holds the address bounds the block from outside; one that does not must stay
    // wholly outside it, so the block is one bit longer than what the two have in common.
    int length = 0;
    for (const Prefix &prefix : m_prefixes) {
        const int common = commonLeadingBits(address & maskOf(prefix.length), prefix.network);
        length = std::max(length, common >= prefix.length ? prefix.length : common + 1);
    }
    const uint32_t first = address & maskOf(length);
    return {first, first | ~maskOf(length)};
}

std::optional<Routes::Gateway> Routes::gatewayTo(uint32_t destination) const
{
    const FileDescriptor netlink(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    const std::optional<KernelRoute> route = KernelRoute::to(IpAddress::v4(htonl(destination)), netlink.get());
    if (!route || route->type != RTN_UNICAST || route->link == 0 || route->gateway == 0 || route->source == 0)
        return std::nullopt;
    return Gateway{route->link, route->gateway, route->source};
}

void Routes::forget()
{
    m_read = false;
}

bool Routes::readTables()
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    rtmsg route{};
    route.rtm_family = AF_INET;
    fib_rule_hdr rule{};
    rule.family = AF_INET;
    // Destinations the kernel routes by their kind rather than by the tables alone.
    m_prefixes = {{0x00000000, 8}, {0x7F000000, 8}, {0xE0000000, 4}, {0xFFFFFFFF, 32}};
    const bool read = dump(fd, RTM_GETROUTE, &route, sizeof route, 1) && dump(fd, RTM_GETRULE, &rule, sizeof rule, 2);
    close(fd);
    if (!read)
        m_prefixes.clear();
    return read;
}

bool Routes::dump(int fd, uint16_t type, const void *header, size_t headerSize, uint32_t sequence)
{
    return NetlinkDump::run(fd, type, header, headerSize, sequence, [this](const nlmsghdr &message) {
        if (m_prefixes.size() >= MaxPrefixes)
            return false;
        if (message.nlmsg_type == RTM_NEWROUTE)
            takeRoute(NLMSG_DATA(&message), NLMSG_PAYLOAD(&message, 0));
        else if (message.nlmsg_type == RTM_NEWRULE)
            takeRule(NLMSG_DATA(&message), NLMSG_PAYLOAD(&message, 0));
        return true;
    });
}

void Routes::takeRoute(const void *message, size_t length)
{
    if (length < sizeof(rtmsg))
        return;
    const auto *route = static_cast<const rtmsg *>(message);
    if (route->rtm_family != AF_INET || route->rtm_dst_len > 32)
        return;
    const int prefixLength = route->rtm_dst_len;
    const uint32_t network = destinationOf(RTM_RTA(route), length - NLMSG_ALIGN(sizeof(rtmsg)), RTA_DST);
    m_prefixes.push_back({network & maskOf(prefixLength), prefixLength});
}

void Routes::takeRule(const void *message, size_t length)
{
    if (length < sizeof(fib_rule_hdr))
        return;
    const auto *rule = static_cast<const fib_rule_hdr *>(message);
    if (rule->family != AF_INET || rule->dst_len > 32)
        return;
    const auto *attributes =
        reinterpret_cast<const rtattr *>(static_cast<const char *>(message) + NLMSG_ALIGN(sizeof(fib_rule_hdr)));
    const uint32_t network = destinationOf(attributes, length - NLMSG_ALIGN(sizeof(fib_rule_hdr)), FRA_DST);
    m_prefixes.push_back({network & maskOf(rule->dst_len), rule->dst_len});
}
