// Stands in for distant hosts in the testbed: answers an echo request to 198.18.3.N after N
// milliseconds, from the address it was sent to. The kernel here has no netem to delay its own
// replies, so the testbed turns those off in this namespace and runs this instead.
//
//   echo_responder [--lifeline] [--ready FILE] [--lifetime SECONDS] [--network A.B.C.D/N]...
//                  [--delay MS] [--forge]
//
// --lifeline: leave when standard input ends (the testbed holds the other end of the pipe).
// --ready: create FILE once the socket is open. --network: answer for the hosts of these networks
// (within the testbed's 198.18.0.0/15) instead of those of 198.18.3.0/24, as a bench or a test that
// makes hosts of its own does. --delay: answer every host after MS milliseconds (fractions allowed)
// instead of after its last octet. --forge: never answer truly; for each request, forge a reply from
// its destination with the payload's first byte changed, and one from the next address with the
// next sequence number and the payload as it came, as one who sees the requests would. The
// responder always leaves after its lifetime (at most 30 minutes) and never answers anyone outside
// the testbed's 198.18.0.0/15.
#include "platform/IcmpPacket.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
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
#include <queue>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t TestbedNet = 0xC6120000; // 198.18.0.0/15
constexpr uint32_t TestbedMask = 0xFFFE0000;
constexpr uint32_t DelayedNet = 0xC6120300; // 198.18.3.0/24
constexpr uint32_t DelayedMask = 0xFFFFFF00;
constexpr int MaxDelayMs = 10000;
constexpr int MaxLifetimeSeconds = 30 * 60;
constexpr size_t MaxPending = 4096;
constexpr int MaxReadsPerWake = 64;

struct Network {
    uint32_t net;
    uint32_t mask;
};

struct Options {
    bool lifeline = false;
    std::string readyFile;
    int lifetimeSeconds = MaxLifetimeSeconds;
    std::vector<Network> served;
    double delayMs = -1; // below 0: the last octet
    bool forge = false;
};

struct Reply {
    Clock::time_point due;
    in_addr from;
    in_addr to;
    std::vector<uint8_t> icmp;
    bool operator>(const Reply &other) const { return due > other.due; }
};

using ReplyQueue = std::priority_queue<Reply, std::vector<Reply>, std::greater<Reply>>;

// A.B.C.D/N inside the testbed.
bool parseNetwork(const std::string &text, Options &options)
{
    const size_t slash = text.find('/');
    in_addr address{};
    if (slash == std::string::npos || inet_pton(AF_INET, text.substr(0, slash).c_str(), &address) != 1)
        return false;
    const int bits = std::atoi(text.c_str() + slash + 1);
    if (bits < 15 || bits > 32)
        return false;
    const uint32_t mask = bits == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> bits);
    const uint32_t net = ntohl(address.s_addr) & mask;
    options.served.push_back({net, mask});
    return (net & TestbedMask) == TestbedNet;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lifeline") {
            options.lifeline = true;
        } else if (arg == "--ready" && i + 1 < argc) {
            options.readyFile = argv[++i];
        } else if (arg == "--network" && i + 1 < argc) {
            if (!parseNetwork(argv[++i], options))
                return false;
        } else if (arg == "--forge") {
            options.forge = true;
        } else if (arg == "--delay" && i + 1 < argc) {
            options.delayMs = std::atof(argv[++i]);
            if (!(options.delayMs >= 0 && options.delayMs <= MaxDelayMs))
                return false;
        } else if (arg == "--lifetime" && i + 1 < argc) {
            options.lifetimeSeconds = std::atoi(argv[++i]);
            if (options.lifetimeSeconds <= 0 || options.lifetimeSeconds > MaxLifetimeSeconds)
                return false;
        } else {
            return false;
        }
    }
    if (options.served.empty())
        options.served.push_back({DelayedNet, DelayedMask});
    return true;
}

bool serves(const Options &options, in_addr address)
{
    for (const Network &network : options.served)
        if ((ntohl(address.s_addr) & network.mask) == network.net)
            return true;
    return false;
}

bool inTestbed(in_addr address)
{
    return (ntohl(address.s_addr) & TestbedMask) == TestbedNet;
}

int openSocket()
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // Only echo requests wake us; the replies we send and every error stay out of the queue.
    icmp_filter filter{};
    filter.data = ~(1u << IcmpPacket::EchoRequest);
    const int on = 1;
    if (setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The reply to a raw IPv4 packet holding a well-formed echo request inside the testbed.
bool replyTo(const uint8_t *packet, size_t len, Clock::time_point received, const Options &options, Reply &reply)
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
    std::memcpy(&reply.from, packet + 16, 4); // the request's destination answers
    std::memcpy(&reply.to, packet + 12, 4);
    if (!serves(options, reply.from) || !inTestbed(reply.to))
        return false;
    reply.icmp.assign(icmp, icmp + icmpLen);
    reply.icmp[0] = IcmpPacket::EchoReply;
    const double delayMs = options.delayMs >= 0 ? options.delayMs : double(ntohl(reply.from.s_addr) & 0xFF);
    reply.due =
        received + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(delayMs));
    return true;
}

void seal(Reply &reply)
{
    reply.icmp[2] = reply.icmp[3] = 0;
    const uint16_t sum = htons(IcmpPacket::checksum(reply.icmp.data(), reply.icmp.size()));
    std::memcpy(&reply.icmp[2], &sum, 2);
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
    next.from.s_addr = htonl(ntohl(reply.from.s_addr) + 1);
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

void receiveRequests(int fd, const Options &options, ReplyQueue &queue)
{
    uint8_t packet[65536];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    for (int i = 0; i < MaxReadsPerWake; ++i) {
        iovec iov{packet, sizeof packet};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0)
            return;
        Reply reply;
        if (queue.size() >= MaxPending || !replyTo(packet, size_t(n), arrivalOf(msg), options, reply))
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
void send(int fd, const Reply &reply)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = reply.to;
    iovec iov{const_cast<uint8_t *>(reply.icmp.data()), reply.icmp.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *cmsg = CMSG_FIRSTHDR(&msg);
    cmsg->cmsg_level = IPPROTO_IP;
    cmsg->cmsg_type = IP_PKTINFO;
    cmsg->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = reply.from;
    std::memcpy(CMSG_DATA(cmsg), &info, sizeof info);
    if (sendmsg(fd, &msg, 0) < 0)
        std::perror("echo_responder: sendmsg");
}

void sendDue(int fd, ReplyQueue &queue)
{
    const Clock::time_point now = Clock::now();
    while (!queue.empty() && queue.top().due <= now) {
        send(fd, queue.top());
        queue.pop();
    }
}

// True while standard input is open; a closed pipe means the testbed is gone.
bool lifelineHolds()
{
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

timespec waitFor(Clock::time_point until)
{
    const auto left = std::max(Clock::duration::zero(), until - Clock::now());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{time_t(ns / 1000000000), long(ns % 1000000000)};
}

void serve(int fd, const Options &options)
{
    const Clock::time_point end = Clock::now() + std::chrono::seconds(options.lifetimeSeconds);
    ReplyQueue queue;
    pollfd fds[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = options.lifeline ? 2 : 1;
    while (Clock::now() < end) {
        const Clock::time_point wake = queue.empty() ? end : std::min(end, queue.top().due);
        const timespec timeout = waitFor(wake);
        if (ppoll(fds, count, &timeout, nullptr) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            receiveRequests(fd, options, queue);
        if (count == 2 && fds[1].revents && !lifelineHolds())
            return;
        sendDue(fd, queue);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: echo_responder [--lifeline] [--ready FILE] [--lifetime SECONDS (1..%d)]"
                     " [--network A.B.C.D/N]... [--delay MS] [--forge]\n",
                     MaxLifetimeSeconds);
        return 2;
    }
    // Replies are due to the tenth of a millisecond; the default 50 µs slack would blur that, and so
    // would waiting for a turn on a busy machine. The responder only ever waits or sends a reply.
    prctl(PR_SET_TIMERSLACK, 1UL);
    const sched_param realtime{1};
    if (sched_setscheduler(0, SCHED_FIFO, &realtime) != 0)
        std::perror("echo_responder: replies may be late on a busy machine");
    const int fd = openSocket();
    if (fd < 0) {
        std::perror("echo_responder: raw ICMP socket");
        return 1;
    }
    if (!options.readyFile.empty())
        std::ofstream(options.readyFile) << getpid() << '\n';
    serve(fd, options);
    close(fd);
    return 0;
}
