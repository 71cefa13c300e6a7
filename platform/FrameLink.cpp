#include "FrameLink.h"
#include "IcmpPacket.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr size_t EthernetBytes = 14;
constexpr size_t Ipv4Bytes = 20;
constexpr size_t MaxFrames = 64;
constexpr uint16_t DontFragment = 0x4000;
constexpr uint8_t IcmpProtocol = 1;

// The hardware address this host knows for a neighbour on a link, from the kernel's table (complete
// entries only: one still being resolved has none yet).
bool knownHardwareAddress(uint32_t neighbour, const char *linkName, uint8_t (&address)[6])
{
    FILE *table = std::fopen("/proc/net/arp", "re");
    if (!table)
        return false;
    char wanted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &neighbour, wanted, sizeof wanted);
    char line[256];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, table)) {
        char ip[64], hardware[64], device[IF_NAMESIZE + 1];
        unsigned type = 0, flags = 0;
        unsigned bytes[6];
        found = std::sscanf(line, "%63s 0x%x 0x%x %63s %*s %16s", ip, &type, &flags, hardware, device) == 5 &&
                std::strcmp(ip, wanted) == 0 && std::strcmp(device, linkName) == 0 && (flags & ATF_COM) != 0 &&
                std::sscanf(hardware, "%x:%x:%x:%x:%x:%x", &bytes[0], &bytes[1], &bytes[2], &bytes[3], &bytes[4],
                            &bytes[5]) == 6;
        if (found)
            std::transform(bytes, bytes + 6, address, [](unsigned byte) { return uint8_t(byte); });
    }
    std::fclose(table);
    return found;
}

void putU16(uint8_t *at, uint16_t value)
{
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value);
}

void writeHeaders(uint8_t *header, const FrameLink::Frame &frame, int ttl)
{
    std::memcpy(header, frame.path->to, 6);
    std::memcpy(header + 6, frame.path->from, 6);
    putU16(header + 12, ETHERTYPE_IP);
    uint8_t *ip = header + EthernetBytes;
    ip[0] = 0x45;
    ip[1] = 0;
    putU16(ip + 2, uint16_t(Ipv4Bytes + frame.request->size()));
    putU16(ip + 4, 0); // no fragment ever needs its identification
    putU16(ip + 6, DontFragment);
    ip[8] = uint8_t(ttl);
    ip[9] = IcmpProtocol;
    putU16(ip + 10, 0);
    std::memcpy(ip + 12, &frame.path->source, 4);
    std::memcpy(ip + 16, &frame.destination, 4);
    putU16(ip + 10, IcmpPacket::checksum(ip, Ipv4Bytes));
}

} // namespace

FrameLink::~FrameLink()
{
    closeLater();
    if (m_closing.joinable())
        m_closing.join();
}

bool FrameLink::open()
{
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Frames go straight to the link's driver: the queueing discipline would only add its cost.
    const int on = 1;
    setsockopt(fd, SOL_PACKET, PACKET_QDISC_BYPASS, &on, sizeof on);
    m_fd = fd;
    return true;
}

void FrameLink::closeLater()
{
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    try {
        m_closing = std::thread([fd] { ::close(fd); });
    } catch (const std::system_error &) {
        ::close(fd);
    }
}

std::optional<FrameLink::Path> FrameLink::pathThrough(const Routes::Gateway &gateway) const
{
    ifreq request{};
    if (!if_indextoname(unsigned(gateway.link), request.ifr_name))
        return std::nullopt;
    Path path;
    path.link = gateway.link;
    path.source = gateway.source;
    if (ioctl(m_fd.load(), SIOCGIFFLAGS, &request) != 0 || (request.ifr_flags & IFF_UP) == 0 ||
        (request.ifr_flags & IFF_RUNNING) == 0)
        return std::nullopt;
    if (ioctl(m_fd.load(), SIOCGIFMTU, &request) != 0)
        return std::nullopt;
    path.mtu = unsigned(request.ifr_mtu);
    if (ioctl(m_fd.load(), SIOCGIFHWADDR, &request) != 0 || request.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        return std::nullopt;
    std::memcpy(path.from, request.ifr_hwaddr.sa_data, 6);
    if (!knownHardwareAddress(gateway.address, request.ifr_name, path.to))
        return std::nullopt;
    return path;
}

// Each frame in one piece: the kernel copies one part of a message for less than two.
int FrameLink::sendMany(const Frame *frames, size_t count, int ttl) const
{
    thread_local std::vector<uint8_t> bytes;
    sockaddr_ll links[MaxFrames];
    iovec parts[MaxFrames];
    mmsghdr messages[MaxFrames];
    size_t ready = 0;
    size_t total = 0;
    for (; ready < std::min(count, MaxFrames); ++ready) {
        if (Ipv4Bytes + frames[ready].request->size() > frames[ready].path->mtu)
            break;
        total += EthernetBytes + Ipv4Bytes + frames[ready].request->size();
    }
    bytes.resize(total);
    uint8_t *next = bytes.data();
    for (size_t i = 0; i < ready; ++i) {
        const Frame &frame = frames[i];
        writeHeaders(next, frame, ttl);
        std::memcpy(next + EthernetBytes + Ipv4Bytes, frame.request->data(), frame.request->size());
        parts[i] = {next, EthernetBytes + Ipv4Bytes + frame.request->size()};
        next += parts[i].iov_len;
        links[i] = {};
        links[i].sll_family = AF_PACKET;
        links[i].sll_protocol = htons(ETHERTYPE_IP);
        links[i].sll_ifindex = frame.path->link;
        links[i].sll_halen = 6;
        std::memcpy(links[i].sll_addr, frame.path->to, 6);
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &links[i];
        messages[i].msg_hdr.msg_namelen = sizeof links[i];
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    if (ready == 0)
        return -EMSGSIZE;
    const int sent = sendmmsg(m_fd.load(std::memory_order_relaxed), messages, unsigned(ready), MSG_DONTWAIT);
    return sent >= 0 ? sent : -errno;
}
