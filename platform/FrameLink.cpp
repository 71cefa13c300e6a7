#include "FrameLink.h"
#include "IcmpPacket.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

constexpr size_t EthernetBytes = 14;
constexpr size_t Ipv4Bytes = 20;
constexpr size_t MaxFrames = 64;
// What the kernel reads in front of each frame: how many of its bytes to copy into one piece, and no
// offloads (linux/virtio_net.h's header, which C++ cannot include).
struct FrameHeader {
    uint8_t flags = 0;
    uint8_t segmentation = 0;
    uint16_t bytes = 0; // native byte order
    uint16_t segmentSize = 0;
    uint16_t checksumStart = 0;
    uint16_t checksumOffset = 0;
};
static_assert(sizeof(FrameHeader) == 10);

// The ring: slots that each hold a frame of a link with the common MTU, 1 MB in all.
constexpr size_t SlotBytes = 2048;
constexpr size_t SlotCount = 512;
constexpr size_t BlockBytes = 64 * 1024;
constexpr size_t RingBytes = SlotBytes * SlotCount;
// A slot's header, then the frame behind its FrameHeader: without one that asks the kernel to copy
// the whole frame into one piece, the kernel would leave it in the ring's pages, and the router
// would have to gather it again.
constexpr size_t FrameOffset = TPACKET2_HDRLEN - sizeof(sockaddr_ll);
constexpr size_t LargestFrame = SlotBytes - FrameOffset - sizeof(FrameHeader);
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

// A packet socket for sending alone, straight to the link's driver: the queueing discipline would
// only add its cost. -1 with errno set when none opens.
int openPacketSocket()
{
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd >= 0)
        setsockopt(fd, SOL_PACKET, PACKET_QDISC_BYPASS, &on, sizeof on);
    return fd;
}

uint32_t statusOf(const uint8_t *slot)
{
    return __atomic_load_n(&reinterpret_cast<const tpacket2_hdr *>(slot)->tp_status, __ATOMIC_ACQUIRE);
}

void setStatus(uint8_t *slot, uint32_t status)
{
    __atomic_store_n(&reinterpret_cast<tpacket2_hdr *>(slot)->tp_status, status, __ATOMIC_RELEASE);
}

// Neither asked for nor still being sent: the kernel is done with it (and may have marked its time).
bool isFree(uint32_t status)
{
    return (status & (TP_STATUS_SEND_REQUEST | TP_STATUS_SENDING | TP_STATUS_WRONG_FORMAT)) == 0;
}

// Sent or being sent: neither still asked for nor refused as malformed.
bool wasTaken(uint32_t status)
{
    return (status & (TP_STATUS_SEND_REQUEST | TP_STATUS_WRONG_FORMAT)) == 0;
}

size_t frameBytes(const FrameLink::Frame &frame)
{
    return EthernetBytes + Ipv4Bytes + frame.request->size();
}

bool fitsItsLink(const FrameLink::Frame &frame)
{
    return Ipv4Bytes + frame.request->size() <= frame.path->mtu;
}

void writeFrame(uint8_t *at, const FrameLink::Frame &frame, int ttl)
{
    writeHeaders(at, frame, ttl);
    std::memcpy(at + EthernetBytes + Ipv4Bytes, frame.request->data(), frame.request->size());
}

void writeSlot(uint8_t *slot, const FrameLink::Frame &frame, int ttl)
{
    FrameHeader whole;
    whole.bytes = uint16_t(frameBytes(frame));
    std::memcpy(slot + FrameOffset, &whole, sizeof whole);
    writeFrame(slot + FrameOffset + sizeof whole, frame, ttl);
    reinterpret_cast<tpacket2_hdr *>(slot)->tp_len = uint32_t(sizeof whole + frameBytes(frame));
    setStatus(slot, TP_STATUS_SEND_REQUEST);
}

sockaddr_ll destinationOf(const FrameLink::Path &path)
{
    sockaddr_ll to{};
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETHERTYPE_IP);
    to.sll_ifindex = path.link;
    to.sll_halen = 6;
    std::memcpy(to.sll_addr, path.to, 6);
    return to;
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
    const int fd = openPacketSocket();
    if (fd < 0)
        return false;
    const int ringFd = openPacketSocket();
    if (ringFd < 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    m_ringFd = ringFd;
    m_fd = fd;
    return true;
}

// Making a ring waits for every processor to pass a quiescent state, some tens of milliseconds: the
// second socket gets it in the background, while the first sends frame by frame.
void FrameLink::startRing()
{
    if (!isOpen() || m_preparing.joinable())
        return;
    try {
        m_preparing = std::thread([this] { prepareRing(); });
    } catch (const std::system_error &) {
        // Frames go a message each, as they would were the ring refused.
    }
}

void FrameLink::prepareRing()
{
    const int on = 1;
    const int version = TPACKET_V2;
    tpacket_req ring{};
    ring.tp_block_size = BlockBytes;
    ring.tp_block_nr = RingBytes / BlockBytes;
    ring.tp_frame_size = SlotBytes;
    ring.tp_frame_nr = SlotCount;
    if (setsockopt(m_ringFd, SOL_PACKET, PACKET_VNET_HDR, &on, sizeof on) != 0 ||
        setsockopt(m_ringFd, SOL_PACKET, PACKET_VERSION, &version, sizeof version) != 0 ||
        setsockopt(m_ringFd, SOL_PACKET, PACKET_TX_RING, &ring, sizeof ring) != 0)
        return;
    void *mapped = mmap(nullptr, RingBytes, PROT_READ | PROT_WRITE, MAP_SHARED, m_ringFd, 0);
    if (mapped == MAP_FAILED)
        return;
    m_ring = static_cast<uint8_t *>(mapped);
    m_ringReady.store(true, std::memory_order_release);
}

void FrameLink::closeLater()
{
    const int fd = m_fd.exchange(-1);
    if (fd < 0)
        return;
    const auto close = [this, fd] {
        if (m_preparing.joinable())
            m_preparing.join();
        if (m_ring)
            munmap(m_ring, RingBytes);
        ::close(m_ringFd);
        ::close(fd);
    };
    try {
        m_closing = std::thread(close);
    } catch (const std::system_error &) {
        close();
    }
}

std::optional<FrameLink::Path> FrameLink::pathThrough(const Routes::Gateway &gateway) const
{
    // Asked of the link's own socket, as the rest is: no other socket is opened for it.
    ifreq request{};
    request.ifr_ifindex = gateway.link;
    if (ioctl(m_fd.load(), SIOCGIFNAME, &request) != 0)
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

int FrameLink::sendMany(const Frame *frames, size_t count, int ttl)
{
    if (!fitsItsLink(frames[0]))
        return -EMSGSIZE;
    return m_ringReady.load(std::memory_order_acquire) && frameBytes(frames[0]) <= LargestFrame
               ? sendThroughRing(frames, count, ttl)
               : sendEach(frames, count, ttl);
}

// Each frame in one piece: the kernel copies one part of a message for less than two.
int FrameLink::sendEach(const Frame *frames, size_t count, int ttl) const
{
    thread_local std::vector<uint8_t> bytes;
    sockaddr_ll links[MaxFrames];
    iovec parts[MaxFrames];
    mmsghdr messages[MaxFrames];
    size_t ready = 0;
    size_t total = 0;
    for (; ready < std::min(count, MaxFrames) && fitsItsLink(frames[ready]); ++ready)
        total += frameBytes(frames[ready]);
    bytes.resize(total);
    uint8_t *next = bytes.data();
    for (size_t i = 0; i < ready; ++i) {
        writeFrame(next, frames[i], ttl);
        parts[i] = {next, frameBytes(frames[i])};
        next += parts[i].iov_len;
        links[i] = destinationOf(*frames[i].path);
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &links[i];
        messages[i].msg_hdr.msg_namelen = sizeof links[i];
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int sent = sendmmsg(m_fd.load(std::memory_order_relaxed), messages, unsigned(ready), MSG_DONTWAIT);
    return sent >= 0 ? sent : -errno;
}

uint8_t *FrameLink::slotAt(size_t index) const
{
    return m_ring + index % SlotCount * SlotBytes;
}

// The frames of one call all go to one link. The kernel sends the ring's frames in order and stops
// at the first it cannot: that one and those after it stay asked for (or marked malformed), and are
// taken back here, so that the next frames go where the kernel looks next.
int FrameLink::sendThroughRing(const Frame *frames, size_t count, int ttl)
{
    const sockaddr_ll to = destinationOf(*frames[0].path);
    size_t written = 0;
    for (; written < std::min(count, MaxFrames) && frames[written].path->link == to.sll_ifindex &&
           fitsItsLink(frames[written]) && frameBytes(frames[written]) <= LargestFrame;
         ++written) {
        uint8_t *slot = slotAt(m_head + written);
        if (!isFree(statusOf(slot)))
            break;
        writeSlot(slot, frames[written], ttl);
    }
    if (written == 0)
        return -ENOBUFS;
    const ssize_t result =
        sendto(m_ringFd, nullptr, 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    const int error = result < 0 ? errno : ENOBUFS;
    size_t sent = 0;
    while (sent < written && wasTaken(statusOf(slotAt(m_head + sent))))
        ++sent;
    for (size_t i = sent; i < written; ++i)
        setStatus(slotAt(m_head + i), TP_STATUS_AVAILABLE);
    m_head = (m_head + sent) % SlotCount;
    return sent > 0 ? int(sent) : -error;
}
