#include "KernelRoute.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>

namespace {

KernelRoute routeOf(const rtmsg *message, size_t length)
{
    KernelRoute route;
    route.type = message->rtm_type;
    length -= NLMSG_ALIGN(sizeof(rtmsg));
    for (auto *attribute = RTM_RTA(message); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        const size_t size = RTA_PAYLOAD(attribute);
        switch (attribute->rta_type) {
        case RTA_OIF:
            if (size >= sizeof(int))
                std::memcpy(&route.link, RTA_DATA(attribute), sizeof(int));
            break;
        case RTA_GATEWAY:
        case RTA_VIA:
        case RTA_MULTIPATH:
            route.viaGateway = true;
            if (attribute->rta_type == RTA_GATEWAY && size == 4)
                std::memcpy(&route.gateway, RTA_DATA(attribute), 4);
            break;
        case RTA_PREFSRC:
            if (size == 4)
                std::memcpy(&route.source, RTA_DATA(attribute), 4);
            break;
        default: break;
        }
    }
    return route;
}

} // namespace

std::optional<KernelRoute> KernelRoute::to(const IpAddress &destination, int netlink)
{
    if (netlink < 0 || destination.isNull())
        return std::nullopt;
    struct {
        nlmsghdr head;
        rtmsg route;
        char attributes[2 * RTA_SPACE(IpAddress::V6Size)];
    } request{};
    request.head.nlmsg_type = RTM_GETROUTE;
    request.head.nlmsg_flags = NLM_F_REQUEST;
    request.route.rtm_family = uint8_t(destination.addressFamily());
    request.route.rtm_dst_len = uint8_t(destination.size() * 8);
    auto *attribute = reinterpret_cast<rtattr *>(request.attributes);
    attribute->rta_type = RTA_DST;
    attribute->rta_len = RTA_LENGTH(destination.size());
    std::memcpy(RTA_DATA(attribute), destination.bytes(), destination.size());
    size_t length = RTA_SPACE(destination.size());
    if (destination.scopeId() != 0) {
        auto *link = reinterpret_cast<rtattr *>(request.attributes + length);
        link->rta_type = RTA_OIF;
        link->rta_len = RTA_LENGTH(sizeof(uint32_t));
        const uint32_t scope = destination.scopeId();
        std::memcpy(RTA_DATA(link), &scope, sizeof scope);
        length += RTA_SPACE(sizeof(uint32_t));
    }
    request.head.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg) + length);
    if (send(netlink, &request, request.head.nlmsg_len, 0) < 0)
        return std::nullopt;
    alignas(nlmsghdr) char buffer[4096];
    const ssize_t got = recv(netlink, buffer, sizeof buffer, 0);
    const auto *message = reinterpret_cast<const nlmsghdr *>(buffer);
    if (got <= 0 || !NLMSG_OK(message, size_t(got)) || message->nlmsg_type != RTM_NEWROUTE ||
        NLMSG_PAYLOAD(message, 0) < sizeof(rtmsg))
        return std::nullopt;
    return routeOf(static_cast<const rtmsg *>(NLMSG_DATA(message)), NLMSG_PAYLOAD(message, 0));
}

bool KernelRoute::direct() const
{
    return type == RTN_UNICAST && link != 0 && !viaGateway;
}
