#include "Privileges.h"

#include <dirent.h>
#include <linux/capability.h>
#include <linux/icmp.h>
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

std::mutex g_mutex;
std::vector<int> g_reserve;
std::vector<int> g_lent;
int g_pmtuDiscovery = IP_PMTUDISC_WANT; // as a raw socket is opened here

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error("cannot give up privileges: " + what + ": " + std::strerror(errno));
}

bool datagramAllowed()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

// A raw socket is handed a copy of every ICMP packet of the machine; until it is taken, it lets
// none in.
bool quieten(int fd)
{
    const icmp_filter none{~0u};
    return setsockopt(fd, SOL_RAW, ICMP_FILTER, &none, sizeof none) == 0;
}

int openQuietRawSocket()
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    socklen_t length = sizeof g_pmtuDiscovery;
    if (!quieten(fd) || getsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &g_pmtuDiscovery, &length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whatever a taker may have set: filters, time-to-live, fragmenting, arrival stamps.
bool restore(int fd)
{
    const int defaultTtl = -1;
    const int off = 0;
    int unused = 0;
    return quieten(fd) &&
           (setsockopt(fd, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused) == 0 || errno == ENOENT) &&
           setsockopt(fd, IPPROTO_IP, IP_TTL, &defaultTtl, sizeof defaultTtl) == 0 &&
           setsockopt(fd, IPPROTO_IP, IP_MTU_DISCOVER, &g_pmtuDiscovery, sizeof g_pmtuDiscovery) == 0 &&
           setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &off, sizeof off) == 0;
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
    if (!datagramAllowed()) {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (int fd; int(g_reserve.size()) < rawSockets && (fd = openQuietRawSocket()) >= 0;)
            g_reserve.push_back(fd);
    }
    dropEveryCapability();
}

int Privileges::takeRawSocket()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_reserve.empty())
        return -1;
    const int fd = g_reserve.back();
    g_reserve.pop_back();
    g_lent.push_back(fd);
    char byte;
    for (int i = 0; i < MaxQueuedPackets && recv(fd, &byte, 1, MSG_DONTWAIT | MSG_TRUNC) >= 0; ++i) {
    }
    return fd;
}

void Privileges::adoptRawSocket(int fd)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_reserve.push_back(fd);
}

bool Privileges::giveBackRawSocket(int fd)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto lent = std::find(g_lent.begin(), g_lent.end(), fd);
    if (lent == g_lent.end())
        return false;
    g_lent.erase(lent);
    // One that cannot be made as new is closed, so that no taker gets it half set.
    if (!restore(fd)) {
        close(fd);
        return true;
    }
    g_reserve.push_back(fd);
    return true;
}
