// tozelo-icmp: the one program of Tozelo that may be given CAP_NET_RAW. tozelo and tozelo-cli start
// it, one for each echo session, where this system refuses them ICMP datagram sockets; it opens a
// raw socket, gives up every privilege, and sends only the echo requests it builds itself.
#include "helper/HelperServer.h"
#include "platform/HelperProtocol.h"

#include <linux/close_range.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

// Nothing of the starter's but the channel and the standard streams stays open.
int main()
{
    if (syscall(SYS_close_range, HelperProtocol::ChannelFd + 1, ~0U, 0) != 0) {
        std::fprintf(stderr, "tozelo-icmp: cannot close what it was given: %s\n", std::strerror(errno));
        return 1;
    }
    try {
        return HelperServer(HelperProtocol::ChannelFd).run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tozelo-icmp: %s\n", e.what());
        return 1;
    }
}
