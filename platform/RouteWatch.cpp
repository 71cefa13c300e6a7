#include "RouteWatch.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Notices are not read for their content: any one of them means the routes must be asked again.
constexpr size_t NoticeBytes = 8192;
constexpr int MaxNoticesRead = 1024;

} // namespace

RouteWatch::RouteWatch() : m_fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE))
{
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_ROUTE | RTMGRP_IPV4_RULE | RTMGRP_NEIGH | RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

RouteWatch::~RouteWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

// A queue that overflowed (ENOBUFS) lost notices: that is a change too.
bool RouteWatch::changed()
{
    if (m_fd < 0)
        return true;
    char notice[NoticeBytes];
    bool any = false;
    for (int i = 0; i < MaxNoticesRead; ++i) {
        if (recv(m_fd, notice, sizeof notice, MSG_DONTWAIT) >= 0 || errno == ENOBUFS)
            any = true;
        else if (errno != EINTR)
            return any;
    }
    return true;
}
