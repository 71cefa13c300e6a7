#include "Privileges.h"

#include "IcmpAccess.h"

#include <dirent.h>
#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error("cannot give up privileges: " + what + ": " + std::strerror(errno));
}

// A family this system has no sockets of at all needs no helper either.
bool helperNeeded()
{
    return IcmpAccess::helperNeeded(AF_INET) || IcmpAccess::helperNeeded(AF_INET6);
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
