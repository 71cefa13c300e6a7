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

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Bounds the draining of a reserved socket: its queue holds a few hundred packets at most.
constexpr int MaxQueuedPackets = 4096;

std::mutex g_mutex;
std::vector<int> g_reserve;
std::vector<int> g_reserve6;

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error("cannot give up privileges: " + what + ": " + std::strerror(errno));
}

int icmpProtocol(int family)
{
    return family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
}

bool datagramAllowed(int family)
{
    const int fd = socket(family, SOCK_DGRAM | SOCK_CLOEXEC, icmpProtocol(family));
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// A raw socket is handed a copy of every ICMP packet of its family; until it is taken, it lets none in.
int openQuietRawSocket(int family)
{
    const int fd = socket(family, SOCK_RAW | SOCK_CLOEXEC, icmpProtocol(family));
    if (fd < 0)
        return -1;
    bool quiet = false;
    if (family == AF_INET6) {
        icmp6_filter none;
        ICMP6_FILTER_SETBLOCKALL(&none);
        quiet = setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &none, sizeof none) == 0;
    } else {
        const icmp_filter none{~0u};
        quiet = setsockopt(fd, SOL_RAW, ICMP_FILTER, &none, sizeof none) == 0;
    }
    if (!quiet) {
        close(fd);
        return -1;
    }
    return fd;
}

// Without IPv6 in the kernel no socket of that family opens, and none is reserved.
void reserve(int family, std::vector<int> &reserved, int count)
{
    if (datagramAllowed(family))
        return;
    for (int fd; int(reserved.size()) < count && (fd = openQuietRawSocket(family)) >= 0;)
        reserved.push_back(fd);
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
// keeps the process from gaining anything through it.
void emptyBoundingSet()
{
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability, 0, 0, 0) >= 0; ++capability)
        if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0)
            fail("dropping capability " + std::to_string(capability) + " from the bounding set");
}

void dropEveryCapability()
{
    requireSingleThread();
    if (currentCapabilities().effective(CAP_SETPCAP))
        emptyBoundingSet();
    // Kernels before 4.3 have no ambient set to clear.
    if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL)
        fail("clearing the ambient set");
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        fail("no-new-privileges");
    Capabilities none;
    if (syscall(SYS_capset, &none.header, none.data) != 0)
        fail("capset");
    if (!currentCapabilities().none()) {
        errno = EPERM;
        fail("capabilities remain");
    }
}

} // namespace

void Privileges::reserveRawSocketsAndDrop(int rawSockets)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        reserve(AF_INET, g_reserve, rawSockets);
        reserve(AF_INET6, g_reserve6, rawSockets);
    }
    dropEveryCapability();
}

int Privileges::takeRawSocket(int family)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<int> &reserved = family == AF_INET6 ? g_reserve6 : g_reserve;
    if (reserved.empty())
        return -1;
    const int fd = reserved.back();
    reserved.pop_back();
    char byte;
    for (int i = 0; i < MaxQueuedPackets && recv(fd, &byte, 1, MSG_DONTWAIT | MSG_TRUNC) >= 0; ++i) {
    }
    return fd;
}
