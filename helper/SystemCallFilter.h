#pragma once
#include "platform/HelperProtocol.h"

#include <linux/filter.h>

#include <vector>

// The helper's seccomp filter: the system calls that serving a client of a purpose takes, and no
// other. A call outside the list, or of another architecture, ends the process at once. setsockopt
// may set the time-to-live or hop limit alone (never IP_HDRINCL, nor take the socket's filters away),
// and for a sweep make a link's ring; memory may be mapped but never executable, and only standard
// error may be written (in a sanitizer build, the pipes its runtime makes too). A sweep may also
// start threads (no process), open netlink sockets alone, read files, and ask a link's flags, MTU
// and hardware address. The hosts of a link take no setsockopt at all.
class SystemCallFilter {
public:
    // Needs no-new-privileges set; throws std::runtime_error when the kernel refuses the filter.
    static void install(HelperProtocol::Purpose purpose);
    static std::vector<sock_filter> program(HelperProtocol::Purpose purpose);
};
