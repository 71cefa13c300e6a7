#include "Routes.h"
#include "FileDescriptor.h"

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
constexpr size_t DumpBufferSize = 1 << 16;

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

// The gateway of a route the kernel sent for a lookup, when it has one.
std::optional<Routes::Gateway> gatewayOf(const rtmsg *route, size_t length)
{
    if (route->rtm_type != RTN_UNICAST)
        return std::nullopt;
    Routes::Gateway gateway;
    length -= NLMSG_ALIGN(sizeof(rtmsg));
    for (auto *attribute = RTM_RTA(route); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_OIF && RTA_PAYLOAD(attribute) >= sizeof(int))
            std::memcpy(&gateway.link, RTA_DATA(attribute), sizeof(int));
        else if (attribute->rta_type == RTA_GATEWAY && RTA_PAYLOAD(attribute) >= 4)
            std::memcpy(&gateway.address, RTA_DATA(attribute), 4);
        else if (attribute->rta_type == RTA_PREFSRC && RTA_PAYLOAD(attribute) >= 4)
            std::memcpy(&gateway.source, RTA_DATA(attribute), 4);
    }
    if (gateway.link == 0 || gateway.address == 0 || gateway.source == 0)
        return std::nullopt;
    return gateway;
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
    if (netlink.get() < 0)
        return std::nullopt;
    struct {
        nlmsghdr head;
        rtmsg route;
        rtattr attribute;
        uint32_t address;
    } request{};
    request.head.nlmsg_len = sizeof request;
    request.head.nlmsg_type = RTM_GETROUTE;
    request.head.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    request.attribute.rta_type = RTA_DST;
    request.attribute.rta_len = RTA_LENGTH(sizeof request.address);
    request.address = htonl(destination);
    if (send(netlink.get(), &request, sizeof request, 0) < 0)
        return std::nullopt;
    alignas(nlmsghdr) char buffer[4096];
    const ssize_t got = recv(netlink.get(), buffer, sizeof buffer, 0);
    const auto *message = reinterpret_cast<const nlmsghdr *>(buffer);
    if (got <= 0 || !NLMSG_OK(message, size_t(got)) || message->nlmsg_type != RTM_NEWROUTE ||
        NLMSG_PAYLOAD(message, 0) < sizeof(rtmsg))
        return std::nullopt;
    return gatewayOf(static_cast<const rtmsg *>(NLMSG_DATA(message)), NLMSG_PAYLOAD(message, 0));
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

// Asks for every entry of one kind and takes each as it comes, to the end of the dump.
bool Routes::dump(int fd, uint16_t type, const void *header, size_t headerSize, uint32_t sequence)
{
    struct {
        nlmsghdr head;
        char body[64];
    } request{};
    request.head.nlmsg_len = NLMSG_LENGTH(headerSize);
    request.head.nlmsg_type = type;
    request.head.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.head.nlmsg_seq = sequence;
    std::memcpy(request.body, header, headerSize);
    if (send(fd, &request, request.head.nlmsg_len, 0) < 0)
        return false;
    const std::unique_ptr<char[]> buffer(new char[DumpBufferSize]);
    for (;;) {
        const ssize_t got = recv(fd, buffer.get(), DumpBufferSize, 0);
        if (got <= 0)
            return false;
        size_t left = size_t(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer.get()); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_seq != sequence)
                continue;
            if (message->nlmsg_type == NLMSG_DONE)
                return true;
            // A dump the tables changed under is no picture of them.
            if (message->nlmsg_type == NLMSG_ERROR || (message->nlmsg_flags & NLM_F_DUMP_INTR) != 0 ||
                m_prefixes.size() >= MaxPrefixes)
                return false;
            if (message->nlmsg_type == RTM_NEWROUTE)
                takeRoute(NLMSG_DATA(message), NLMSG_PAYLOAD(message, 0));
            else if (message->nlmsg_type == RTM_NEWRULE)
                takeRule(NLMSG_DATA(message), NLMSG_PAYLOAD(message, 0));
        }
    }
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
