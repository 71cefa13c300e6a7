#include "IcmpAccess.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace IcmpAccess {

namespace {

int error(int family)
{
    const int fd =
        socket(family, SOCK_DGRAM | SOCK_CLOEXEC, family == AF_INET6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP));
    if (fd < 0)
        return errno;
    close(fd);
    return 0;
}

} // namespace

bool datagramAllowed(int family)
{
    return !Testing::helperOnly() && error(family) == 0;
}

bool helperNeeded(int family)
{
    if (Testing::helperOnly())
        return true;
    const int refusal = error(family);
    return refusal == EACCES || refusal == EPERM;
}

namespace Testing {
bool &helperOnly()
{
    static bool only = false;
    return only;
}
} // namespace Testing

} // namespace IcmpAccess
