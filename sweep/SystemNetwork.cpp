#include "SystemNetwork.h"

#include "HelperChannel.h"
#include "SocketChannel.h"
#include "platform/IcmpAccess.h"

#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

constexpr unsigned MaxSenders = 8;

unsigned cores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return unsigned(std::max(1, CPU_COUNT(&set)));
}

} // namespace

unsigned SystemNetwork::mostSenders() const
{
    return std::min(cores(), MaxSenders);
}

// Raw and packet sockets are the helper's alone: frames always go through it, and so does
// everything where this user may not open ICMP datagram sockets.
std::unique_ptr<SweepChannel> SystemNetwork::open(const ChannelSettings &wanted)
{
    if (!wanted.frames && IcmpAccess::datagramAllowed(wanted.family))
        return std::make_unique<SocketChannel>(wanted, true);
    return std::make_unique<HelperChannel>(wanted);
}

// Refusals by route are few: the senders take turns.
Routes::Block SystemNetwork::routedAlike(uint32_t address)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_watch)
        m_watch = std::make_unique<RouteWatch>();
    else if (m_watch->changed())
        m_routes.forget();
    return m_routes.sameRouteAs(address);
}

SweepNetwork &SweepNetwork::system()
{
    static SystemNetwork network;
    return network;
}
