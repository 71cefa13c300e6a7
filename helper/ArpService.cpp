#include "ArpService.h"

#include "platform/ArpPacket.h"
#include "platform/FramesPermission.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

using namespace HelperProtocol;

namespace {

bool isAddressOf(const ifaddrs &entry, const char *name)
{
    // An address's label is the interface's name, or that name, a colon and more.
    const size_t length = std::strlen(name);
    return entry.ifa_addr != nullptr && entry.ifa_netmask != nullptr && entry.ifa_addr->sa_family == AF_INET &&
           std::strncmp(entry.ifa_name, name, length) == 0 &&
           (entry.ifa_name[length] == '\0' || entry.ifa_name[length] == ':');
}

uint32_t v4Of(const sockaddr *address)
{
    return reinterpret_cast<const sockaddr_in *>(address)->sin_addr.s_addr;
}

} // namespace

std::optional<ArpOpen> ArpService::settingsOf(const Open &open)
{
    const std::optional<ArpOpen> settings = settingsIn<ArpOpen>(open);
    if (!settings || open.purpose != Purpose::Arp || open.family != AF_INET || settings->link <= 0 ||
        settings->rate == 0 || settings->rate > MaxArpRate)
        return std::nullopt;
    return settings;
}

ArpService::ArpService(int channel, const ArpOpen &settings) : m_channel(channel), m_settings(settings) {}

bool ArpService::open(Opened &opened)
{
    if (!FramesPermission::refusalForThisProcess().empty()) {
        opened.failed = Failure::FramesRefused;
        opened.error = EPERM;
        return false;
    }
    if (!readInterface()) {
        opened.failed = Failure::Interface;
        opened.error = errno;
        return false;
    }
    if (!openSocket()) {
        opened.failed = Failure::Socket;
        opened.error = errno;
        return false;
    }
    return true;
}

// An Ethernet interface, up, that resolves its neighbours, with at least one IPv4 subnet.
bool ArpService::readInterface()
{
    const FileDescriptor any(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ifreq request{};
    request.ifr_ifindex = m_settings.link;
    if (any.get() < 0 || ioctl(any.get(), SIOCGIFNAME, &request) != 0 || ioctl(any.get(), SIOCGIFFLAGS, &request) != 0)
        return false;
    const short flags = request.ifr_flags;
    if (ioctl(any.get(), SIOCGIFHWADDR, &request) != 0)
        return false;
    errno = EINVAL;
    if (!(flags & IFF_UP) || (flags & (IFF_NOARP | IFF_LOOPBACK)) || request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return false;
    m_hardware = HardwareAddress(reinterpret_cast<const uint8_t *>(request.ifr_hwaddr.sa_data));
    ifaddrs *addresses = nullptr;
    if (getifaddrs(&addresses) != 0)
        return false;
    for (const ifaddrs *entry = addresses; entry != nullptr; entry = entry->ifa_next)
        if (isAddressOf(*entry, request.ifr_name))
            m_subnets.push_back({v4Of(entry->ifa_addr), v4Of(entry->ifa_netmask)});
    freeifaddrs(addresses);
    errno = EADDRNOTAVAIL;
    return !m_subnets.empty();
}

// Opened for no protocol, nothing queues on it until the filter is in place and it is bound to the
// interface for ARP.
bool ArpService::openSocket()
{
    m_socket.emplace(socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0));
    std::vector<sock_filter> code = ArpPacket::replyFilter();
    const sock_fprog filter{static_cast<unsigned short>(code.size()), code.data()};
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ARP);
    link.sll_ifindex = m_settings.link;
    const int fd = m_socket->get();
    return fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0 &&
           bind(fd, reinterpret_cast<const sockaddr *>(&link), sizeof link) == 0;
}

int ArpService::serve()
{
    std::vector<uint8_t> message(sizeof(ArpAsk) + 1);
    for (;;) {
        const ssize_t length = recv(m_channel, message.data(), message.size(), 0);
        if (length == 0 || (length < 0 && errno != EINTR))
            return 0;
        if (length > 0 && !answer(message.data(), size_t(length)))
            return 1;
        if (m_clientGone)
            return 0;
    }
}

bool ArpService::answer(const uint8_t *message, size_t length)
{
    Header header;
    if (length < offsetof(ArpAsk, targets) || length > sizeof(ArpAsk))
        return false;
    std::memcpy(&header, message, sizeof header);
    if (header.version != Version || header.type != Type::ArpAsk)
        return false;
    auto request = std::make_unique<ArpAsk>();
    std::memcpy(request.get(), message, length);
    auto found = std::make_unique<ArpFound>();
    if (length != offsetof(ArpAsk, targets) + request->count * sizeof(uint32_t) || !plan(*request))
        found->refused = 1;
    else if (!ask(*request, *found))
        m_clientGone = true;
    if (!m_clientGone)
        put(found.get(), offsetof(ArpFound, hosts) + found->count * sizeof(ArpHost));
    return true;
}

// The host's own address in a subnet of the interface that holds target, neither the subnet's
// network nor its broadcast address unless it has no other (a /31).
std::optional<uint32_t> ArpService::sourceFor(uint32_t target) const
{
    for (const Subnet &subnet : m_subnets) {
        const uint32_t host = target & ~subnet.mask;
        const bool edge = ntohl(subnet.mask) < 0xFFFFFFFE && (host == 0 || host == ~subnet.mask);
        if ((target & subnet.mask) == (subnet.own & subnet.mask) && target != subnet.own && !edge)
            return subnet.own;
    }
    return std::nullopt;
}

bool ArpService::onSubnets(uint32_t target) const
{
    return std::any_of(m_subnets.begin(), m_subnets.end(),
                       [target](const Subnet &subnet) { return (target & subnet.mask) == (subnet.own & subnet.mask); });
}

// Every target of the ask in a subnet of the interface, or none is asked. A subnet's network or
// broadcast address, or the host's own, is left out: a sweep of the whole subnet holds them.
bool ArpService::plan(const ArpAsk &request)
{
    m_waiting.clear();
    if (request.count == 0 || request.count > MaxArpBatch || request.waitMs > MaxArpWaitMs)
        return false;
    for (uint32_t i = 0; i < request.count; ++i) {
        const uint32_t target = request.targets[i];
        if (const std::optional<uint32_t> source = sourceFor(target)) {
            m_waiting[target] = *source;
        } else if (!onSubnets(target)) {
            m_waiting.clear();
            return false;
        }
    }
    return true;
}

// False once the client has hung up: it waits for nothing more.
bool ArpService::ask(const ArpAsk &request, ArpFound &found)
{
    const auto interval = std::chrono::microseconds(1000000 / m_settings.rate);
    const std::map<uint32_t, uint32_t> asked = m_waiting;
    Clock::time_point next = Clock::now();
    for (const auto &[target, source] : asked) {
        if (!readUntil(next, found))
            return false;
        const auto frame = ArpPacket::request(m_hardware, source, target);
        if (::send(m_socket->get(), frame.data(), frame.size(), MSG_DONTWAIT) != ssize_t(frame.size()) &&
            found.unsent++ == 0)
            found.error = errno;
        next = std::max(next + interval, Clock::now());
    }
    return readUntil(Clock::now() + std::chrono::milliseconds(request.waitMs), found);
}

// Reads what comes until deadline, or until every target waited for has replied; false once the
// client has hung up. A late reply to an earlier ask counts if it names a target waited for now.
bool ArpService::readUntil(Clock::time_point deadline, ArpFound &found)
{
    uint8_t frame[ETH_FRAME_LEN];
    pollfd waits[2] = {{m_socket->get(), POLLIN, 0}, {m_channel, POLLIN, 0}};
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromLength = sizeof from;
        const ssize_t length = recvfrom(m_socket->get(), frame, sizeof frame, MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (length >= 0 && from.sll_ifindex == m_settings.link)
            take(frame, size_t(length), found);
        const Clock::time_point now = Clock::now();
        if ((length < 0 && errno != EAGAIN && errno != EINTR) || now >= deadline || m_waiting.empty())
            return true;
        if (length >= 0)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count();
        const timespec wait{time_t(left / 1000000000), long(left % 1000000000)};
        if (ppoll(waits, 2, &wait, nullptr) > 0 && waits[1].revents != 0)
            return false;
    }
}

void ArpService::take(const uint8_t *frame, size_t length, ArpFound &found)
{
    const std::optional<ArpPacket::Reply> reply = ArpPacket::replyOf(frame, length);
    if (!reply)
        return;
    const auto waiting = m_waiting.find(reply->sender);
    if (waiting == m_waiting.end() || waiting->second != reply->target || found.count == MaxArpBatch)
        return;
    ArpHost &host = found.hosts[found.count++];
    host.address = reply->sender;
    std::memcpy(host.hardware, reply->hardware.bytes(), sizeof host.hardware);
    m_waiting.erase(waiting);
}

void ArpService::put(const void *record, size_t length)
{
    if (::send(m_channel, record, length, MSG_NOSIGNAL) != ssize_t(length))
        throw std::runtime_error(std::string("cannot answer the client: ") + std::strerror(errno));
}
