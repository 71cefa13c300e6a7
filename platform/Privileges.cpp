#include "Privileges.h"

#include <dirent.h>
#include <linux/capability.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Bounds the draining of a reserved socket: its queue holds a few hundred packets at most.
constexpr int MaxQueuedPackets = 4096;

// The sockets of one family: those in reserve, those lent out, and how its sockets are opened.
struct Reserve {
    int family;
    std::vector<int> reserved;
    std::vector<int> lent;
    int pmtuDiscovery;
};

std::mutex g_mutex;
Reserve g_reserve{AF_INET, {}, {}, IP_PMTUDISC_WANT};
Reserve g_reserve6{AF_INET6, {}, {}, IPV6_PMTUDISC_WANT};

Reserve &reserveOf(int family)
{
    return family == AF_INET6 ? g_reserve6 : g_reserve;
}

bool isV6(int family)
{
    return family == AF_INET6;
}

int icmpProtocol(int family)
{
    return isV6(family) ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
}

// The options of the family's own level.
bool setIpOption(int fd, int family, int v4Option, int v6Option, int value)
{
    return isV6(family) ? setsockopt(fd, IPPROTO_IPV6, v6Option, &value, sizeof value) == 0
                        : setsockopt(fd, IPPROTO_IP, v4Option, &value, sizeof value) == 0;
}

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error("cannot give up privileges: " + what + ": " + std::strerror(errno));
}

bool datagramAllowed(int family)
{
    const int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, icmpProtocol(family));
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// A family this system has no sockets of at all needs no helper either.
bool helperNeeded()
{
    for (const int family : {AF_INET, AF_INET6})
        if (!datagramAllowed(family) && (errno == EACCES || errno == EPERM))
            return true;
    return false;
}

// A raw socket is handed a copy of every ICMP packet of its family; until it is taken, it lets
// none in.
bool quieten(int fd, int family)
{
    if (isV6(family)) {
        icmp6_filter none;
        ICMP6_FILTER_SETBLOCKALL(&none);
        return setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &none, sizeof none) == 0;
    }
    const icmp_filter none{~0u};
    return setsockopt(fd, SOL_RAW, ICMP_FILTER, &none, sizeof none) == 0;
}

int openQuietRawSocket(Reserve &reserve)
{
    const int family = reserve.family;
    const int fd = socket(family, SOCK_RAW | SOCK_CLOEXEC, icmpProtocol(family));
    if (fd < 0)
        return -1;
    socklen_t length = sizeof reserve.pmtuDiscovery;
    const bool read = isV6(family)
                          ? getsockopt(fd, IPPROTO_IPV6, IPV6_MTU_DISCOVER, &reserve.pmtuDiscovery, &length) == 0
                          : getsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &reserve.pmtuDiscovery, &length) == 0;
    if (!quieten(fd, family) || !read) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whatever a taker may have set: filters, time-to-live or hop limit, fragmenting, arrival stamps,
// hop limits handed over.
bool restore(int fd, const Reserve &reserve)
{
    const int family = reserve.family;
    const int off = 0;
    int unused = 0;
    return quieten(fd, family) &&
           (setsockopt(fd, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused) == 0 || errno == ENOENT) &&
           setIpOption(fd, family, IP_TTL, IPV6_UNICAST_HOPS, -1) &&
           setIpOption(fd, family, IP_MTU_DISCOVER, IPV6_MTU_DISCOVER, reserve.pmtuDiscovery) &&
           (!isV6(family) || setIpOption(fd, family, 0, IPV6_RECVHOPLIMIT, 0)) &&
           setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &off, sizeof off) == 0;
}

// Without IPv6 in the kernel no socket of that family opens, and none is reserved.
void fill(Reserve &reserve, int count)
{
    if (datagramAllowed(reserve.family))
        return;
    for (int fd; int(reserve.reserved.size()) < count && (fd = openQuietRawSocket(reserve)) >= 0;)
        reserve.reserved.push_back(fd);
}

struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};

    bool effective(int capability) const { return (data[capability / 32].effective >> (capability % 32)) & 1u; }
    bool none() const
    {
        for (const __user_cap_data_struct &word : data)
            if (word.effective != 0 || word.permitted != 0 || word.inheritable != 0)
                return false;
        return true;
    }
};

Capabilities currentCapabilities()
{
    Capabilities capabilities;
    if (syscall(SYS_capget, &capabilities.header, capabilities.data) != 0)
        fail("capget");
    return capabilities;
}

// Capabilities belong to a thread: one started before the drop would keep them.
void requireSingleThread()
{
    DIR *tasks = opendir("/proc/self/task");
    if (!tasks)
        return;
    int count = 0;
    while (const dirent *entry = readdir(tasks))
        count += entry->d_name[0] != '.';
    closedir(tasks);
    if (count > 1) {
        errno = EBUSY;
        fail(std::to_string(count) + " threads already run");
    }
}

// The bounding set can be emptied only while CAP_SETPCAP is effective; without it, no-new-privileges
// keeps the process from gaining anything through it. keepForHelper: all but what a helper of
// root's needs.
void emptyBoundingSet(bool keepForHelper)
{
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability, 0, 0, 0) >= 0; ++capability) {
        if (keepForHelper && (capability == CAP_NET_RAW || capability == CAP_SETPCAP))
            continue;
        if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0)
            fail("dropping capability " + std::to_string(capability) + " from the bounding set");
    }
}

} // namespace

void Privileges::reserveRawSockets(int rawSockets)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    fill(g_reserve, rawSockets);
    fill(g_reserve6, rawSockets);
}

void Privileges::dropEveryCapability(Starts starts)
{
    requireSingleThread();
    const bool keepForHelper = starts == Starts::Helper && helperNeeded();
    if (currentCapabilities().effective(CAP_SETPCAP))
        emptyBoundingSet(keepForHelper);
    // Kernels before 4.3 have no ambient set to clear.
    if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        fail("clearing the ambient set");
    if (!keepForHelper && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        fail("no-new-privileges");
    Capabilities none;
    if (syscall(SYS_capset, &none.header, none.data) != 0)
        fail("capset");
    if (!currentCapabilities().none()) {
        errno = EPERM;
        fail("capabilities remain");
    }
}

int Privileges::takeRawSocket(int family)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Reserve &reserve = reserveOf(family);
    if (reserve.reserved.empty())
        return -1;
    const int fd = reserve.reserved.back();
    reserve.reserved.pop_back();
    reserve.lent.push_back(fd);
    char byte;
    for (int i = 0; i < MaxQueuedPackets && recv(fd, &byte, 1, MSG_DONTWAIT | MSG_TRUNC) >= 0; ++i) {
    }
    return fd;
}

bool Privileges::giveBackRawSocket(int fd)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    for (Reserve *reserve : {&g_reserve, &g_reserve6}) {
        const auto lent = std::find(reserve->lent.begin(), reserve->lent.end(), fd);
        if (lent == reserve->lent.end())
            continue;
        reserve->lent.erase(lent);
        // One that cannot be made as new is closed, so that no taker gets it half set.
        if (!restore(fd, *reserve)) {
            close(fd);
            return true;
        }
        reserve->reserved.push_back(fd);
        return true;
    }
    return false;
}
