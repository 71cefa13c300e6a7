// Stands in for distant hosts in the testbed: answers an echo request to 198.18.3.N or to
// fd00:198:18:3::N after N milliseconds, from the address it was sent to (an IPv6 address's last
// group is read in decimal digits, as it is written: fd00:198:18:3::40 answers after 40 ms). The
// kernel here has no netem to delay its own replies, so the testbed turns those off in this
// namespace and runs this instead.
//
//   echo_responder [--lifeline] [--ready FILE] [--lifetime SECONDS] [--network NET/N]...
//                  [--delay MS] [--forge]
//
// --lifeline: leave when standard input ends (the testbed holds the other end of the pipe).
// --ready: create FILE once the sockets are open. --network: answer for the hosts of these networks
// (IPv4 within the testbed's 198.18.0.0/15, IPv6 within the unique local fd00::/8) instead of the
// delayed hosts', as a bench or a test that makes hosts of its own does. --delay: answer every host
// after MS milliseconds (fractions allowed) instead of after its last number. --forge: never answer
// truly; for each request, forge a reply from its destination with the payload's first byte
// changed, and one from the next address with the next sequence number and the payload as it came,
// as one who sees the requests would. The responder always leaves after its lifetime (at most 30
// minutes) and never answers anyone outside the testbed's blocks.
#include "ToolLife.h"
#include "platform/Icmp6Packet.h"
#include "platform/IcmpPacket.h"
#include "platform/IpAddress.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <queue>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int MaxDelayMs = 10000;
constexpr size_t MaxPending = 4096;
constexpr int MaxReadsPerWake = 64;

struct Network {
    IpAddress net;
    int bits;

    bool holds(const IpAddress &address) const
    {
        if (address.family() != net.family())
            return false;
        const int whole = bits / 8;
        const uint8_t partMask = uint8_t(0xFF00 >> (bits % 8));
        return std::memcmp(address.bytes(), net.bytes(), size_t(whole)) == 0 &&
               (bits % 8 == 0 || ((address.bytes()[whole] ^ net.bytes()[whole]) & partMask) == 0);
    }
};

const Network TestbedV4{*IpAddress::parse("198.18.0.0"), 15};
const Network TestbedV6{*IpAddress::parse("fd00::"), 8};
const Network DelayedV4{*IpAddress::parse("198.18.3.0"), 24};
const Network DelayedV6{*IpAddress::parse("fd00:198:18:3::"), 64};

struct Options {
    ToolLife life;
    std::vector<Network> served;
    double delayMs = -1; // below 0: the address's last number
    bool forge = false;
};

struct Reply {
    Clock::time_point due;
    IpAddress from;
    IpAddress to;
    std::vector<uint8_t> icmp;
    bool operator>(const Reply &other) const { return due > other.due; }
};

using ReplyQueue = std::priority_queue<Reply, std::vector<Reply>, std::greater<Reply>>;

bool inTestbed(const IpAddress &address)
{
    return TestbedV4.holds(address) || TestbedV6.holds(address);
}

// NET/N inside the testbed.
bool parseNetwork(const std::string &text, Options &options)
{
    const size_t slash = text.find('/');
    const std::optional<IpAddress> address = IpAddress::parse(text.substr(0, slash));
    if (slash == std::string::npos || !address || address->scopeId() != 0)
        return false;
    const int bits = std::atoi(text.c_str() + slash + 1);
    const Network network{*address, bits};
    const Network &testbed = address->isV4() ? TestbedV4 : TestbedV6;
    if (bits < testbed.bits || bits > int(address->size()) * 8 || !testbed.holds(*address))
        return false;
    options.served.push_back(network);
    return true;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    const bool read = options.life.parse(argc, argv, [&](const std::string &arg, int &i) {
        if (arg == "--network" && i + 1 < argc)
            return parseNetwork(argv[++i], options);
        if (arg == "--forge") {
            options.forge = true;
            return true;
        }
        if (arg == "--delay" && i + 1 < argc) {
            options.delayMs = std::atof(argv[++i]);
            return options.delayMs >= 0 && options.delayMs <= MaxDelayMs;
        }
        return false;
    });
    if (!read)
        return false;
    if (options.served.empty())
        options.served = {DelayedV4, DelayedV6};
    return true;
}

bool serves(const Options &options, const IpAddress &address)
{
    return std::any_of(options.served.begin(), options.served.end(),
                       [&address](const Network &network) { return network.holds(address); });
}

// The last octet; an IPv6 address's last group as it is written, when it has only decimal digits.
double lastNumberOf(const IpAddress &address)
{
    const uint8_t *bytes = address.bytes() + address.size() - 2;
    if (address.isV4())
        return bytes[1];
    const unsigned group = unsigned(bytes[0] << 8 | bytes[1]);
    unsigned decimal = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = group >> shift & 0xF;
        if (digit > 9)
            return group;
        decimal = decimal * 10 + digit;
    }
    return decimal;
}

bool enable(int fd, int level, int option)
{
    const int on = 1;
    return setsockopt(fd, level, option, &on, sizeof on) == 0;
}

// Only echo requests wake us; the replies we send and every error stay out of the queue.
int openSocket()
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    icmp_filter filter{};
    filter.data = ~(1u << IcmpPacket::EchoRequest);
    if (setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0 || !enable(fd, SOL_SOCKET, SO_TIMESTAMPNS)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The same for ICMPv6, which hands over no IP header: the destination comes as ancillary data. A
// host of a network served through a local route has no address of its own to answer from, which
// IPv6 allows only a socket that may use any address.
int openSocket6()
{
    const int fd = socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (fd < 0)
        return -1;
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(Icmp6Packet::EchoRequest, &filter);
    if (setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0 ||
        !enable(fd, SOL_SOCKET, SO_TIMESTAMPNS) || !enable(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO) ||
        !enable(fd, IPPROTO_IPV6, IPV6_FREEBIND)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The reply to an echo request from `to` for `from` within the testbed, its ICMP message already
// in reply.icmp.
bool schedule(Clock::time_point received, const Options &options, Reply &reply)
{
    if (!serves(options, reply.from) || !inTestbed(reply.to))
        return false;
    reply.icmp[0] = reply.from.isV4() ? IcmpPacket::EchoReply : Icmp6Packet::EchoReply;
    const double delayMs = options.delayMs >= 0 ? options.delayMs : lastNumberOf(reply.from);
    reply.due =
        received + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(delayMs));
    return true;
}

// A raw IPv4 packet holding a well-formed echo request.
bool readRequest(const uint8_t *packet, size_t len, Reply &reply)
{
    if (len < 20 || (packet[0] >> 4) != 4)
        return false;
    const size_t headerLen = size_t(packet[0] & 0x0F) * 4;
    if (headerLen < 20 || len < headerLen + IcmpPacket::HeaderSize)
        return false;
    const uint8_t *icmp = packet + headerLen;
    const size_t icmpLen = len - headerLen;
    if (icmp[0] != IcmpPacket::EchoRequest || icmp[1] != 0 || IcmpPacket::checksum(icmp, icmpLen) != 0)
        return false;
    uint32_t address = 0;
    std::memcpy(&address, packet + 16, 4); // the request's destination answers
    reply.from = IpAddress::v4(address);
    std::memcpy(&address, packet + 12, 4);
    reply.to = IpAddress::v4(address);
    reply.icmp.assign(icmp, icmp + icmpLen);
    return true;
}

// An ICMPv6 echo request, whose checksum the kernel has checked.
bool readRequest6(const uint8_t *icmp, size_t len, const sockaddr_in6 &source, msghdr &msg, Reply &reply)
{
    if (len < Icmp6Packet::HeaderSize || icmp[0] != Icmp6Packet::EchoRequest || icmp[1] != 0)
        return false;
    for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level == IPPROTO_IPV6 && cmsg->cmsg_type == IPV6_PKTINFO) {
            in6_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(cmsg), sizeof info);
            reply.from = IpAddress::v6(info.ipi6_addr.s6_addr);
        }
    }
    reply.to = IpAddress::v6(source.sin6_addr.s6_addr);
    reply.icmp.assign(icmp, icmp + len);
    return reply.from.isV6();
}

// The kernel sums what a raw ICMPv6 socket sends.
void seal(Reply &reply)
{
    if (!reply.from.isV4())
        return;
    reply.icmp[2] = reply.icmp[3] = 0;
    const uint16_t sum = htons(IcmpPacket::checksum(reply.icmp.data(), reply.icmp.size()));
    std::memcpy(&reply.icmp[2], &sum, 2);
}

IpAddress nextAddress(const IpAddress &address)
{
    std::array<uint8_t, IpAddress::V6Size> bytes{};
    std::memcpy(bytes.data(), address.bytes(), address.size());
    for (size_t i = address.size(); i-- > 0 && ++bytes[i] == 0;) {
    }
    if (address.isV6())
        return IpAddress::v6(bytes.data());
    uint32_t v4 = 0;
    std::memcpy(&v4, bytes.data(), 4);
    return IpAddress::v4(v4);
}

// The two forgeries of one request, as --forge describes them.
void forge(const Reply &reply, const Options &options, ReplyQueue &queue)
{
    if (reply.icmp.size() > IcmpPacket::HeaderSize) {
        Reply changed = reply;
        changed.icmp[IcmpPacket::HeaderSize] ^= 0x01;
        seal(changed);
        queue.push(std::move(changed));
    }
    Reply next = reply;
    next.from = nextAddress(reply.from);
    const uint16_t sequence = htons(uint16_t((reply.icmp[6] << 8 | reply.icmp[7]) + 1));
    std::memcpy(&next.icmp[6], &sequence, 2);
    if (serves(options, next.from)) {
        seal(next);
        queue.push(std::move(next));
    }
}

// When the kernel took the packet in, on our clock: a busy machine may wake us long after.
Clock::time_point arrivalOf(msghdr &msg)
{
    for (cmsghdr *cmsg = CMSG_FIRSTHDR(&msg); cmsg; cmsg = CMSG_NXTHDR(&msg, cmsg)) {
        if (cmsg->cmsg_level != SOL_SOCKET || cmsg->cmsg_type != SCM_TIMESTAMPNS)
            continue;
        timespec stamp{};
        std::memcpy(&stamp, CMSG_DATA(cmsg), sizeof stamp);
        const auto ago =
            std::chrono::system_clock::now() -
            std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
                std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
        return Clock::now() - std::max(std::chrono::system_clock::duration::zero(), ago);
    }
    return Clock::now();
}

void receiveRequests(int fd, bool v6, const Options &options, ReplyQueue &queue)
{
    uint8_t packet[65536];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec)) + CMSG_SPACE(sizeof(in6_pktinfo))];
    for (int i = 0; i < MaxReadsPerWake; ++i) {
        sockaddr_in6 source{};
        iovec iov{packet, sizeof packet};
        msghdr msg{};
        msg.msg_name = &source;
        msg.msg_namelen = sizeof source;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0)
            return;
        Reply reply;
        const bool request =
            v6 ? readRequest6(packet, size_t(n), source, msg, reply) : readRequest(packet, size_t(n), reply);
        if (queue.size() >= MaxPending || !request || !schedule(arrivalOf(msg), options, reply))
            continue;
        if (options.forge) {
            forge(reply, options, queue);
            continue;
        }
        seal(reply);
        queue.push(std::move(reply));
    }
}

// Sends from the address the request went to, which the kernel would not pick by itself.
void send(int fd, int fd6, const Reply &reply)
{
    sockaddr_storage to{};
    const socklen_t toLen = reply.to.toSockaddr(to);
    iovec iov{const_cast<uint8_t *>(reply.icmp.data()), reply.icmp.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = toLen;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *cmsg = CMSG_FIRSTHDR(&msg);
    if (reply.from.isV4()) {
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = reply.from.v4();
        msg.msg_controllen = CMSG_SPACE(sizeof info);
        *cmsg = cmsghdr{CMSG_LEN(sizeof info), IPPROTO_IP, IP_PKTINFO};
        std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    } else {
        in6_pktinfo info{};
        std::memcpy(info.ipi6_addr.s6_addr, reply.from.bytes(), IpAddress::V6Size);
        msg.msg_controllen = CMSG_SPACE(sizeof info);
        *cmsg = cmsghdr{CMSG_LEN(sizeof info), IPPROTO_IPV6, IPV6_PKTINFO};
        std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    }
    if (sendmsg(reply.from.isV4() ? fd : fd6, &msg, 0) < 0)
        std::perror("echo_responder: sendmsg");
}

void sendDue(int fd, int fd6, ReplyQueue &queue)
{
    const Clock::time_point now = Clock::now();
    while (!queue.empty() && queue.top().due <= now) {
        send(fd, fd6, queue.top());
        queue.pop();
    }
}

timespec waitFor(Clock::time_point until)
{
    const auto left = std::max(Clock::duration::zero(), until - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{time_t(ns / 1000000000), long(ns % 1000000000)};
}

void serve(int fd, int fd6, const Options &options)
{
    const Clock::time_point end = Clock::now() + std::chrono::seconds(options.life.lifetimeSeconds);
    ReplyQueue queue;
    pollfd fds[3] = {{fd, POLLIN, 0}, {fd6, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = options.life.lifeline ? 3 : 2;
    while (Clock::now() < end) {
        const Clock::time_point wake = queue.empty() ? end : std::min(end, queue.top().due);
        const timespec timeout = waitFor(wake);
        if (ppoll(fds, count, &timeout, nullptr) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            receiveRequests(fd, false, options, queue);
        if (fds[1].revents & POLLIN)
            receiveRequests(fd6, true, options, queue);
        if (count == 3 && fds[2].revents && !ToolLife::holds())
            return;
        sendDue(fd, fd6, queue);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: echo_responder [--lifeline] [--ready FILE] [--lifetime SECONDS (1..%d)]"
                     " [--network NET/N]... [--delay MS] [--forge]\n",
                     ToolLife::MaxLifetimeSeconds);
        return 2;
    }
    // Replies are due to the tenth of a millisecond; the default 50 µs slack would blur that, and so
    // would waiting for a turn on a busy machine. The responder only ever waits or sends a reply.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const sched_param realtime{1};
    if (sched_setscheduler(0, SCHED_FIFO, &realtime) != 0)
        std::perror("echo_responder: replies may be late on a busy machine");
    const int fd = openSocket();
    const int fd6 = openSocket6();
    if (fd < 0 || fd6 < 0) {
        std::perror("echo_responder: raw ICMP socket");
        return 1;
    }
    options.life.announceReady();
    serve(fd, fd6, options);
    close(fd);
    close(fd6);
    return 0;
}
