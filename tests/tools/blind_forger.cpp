// Stands in for a forger who sees none of the client's packets: it sprays echo replies from a silent
// host of the testbed toward the client, for every identifier and the first few sequence numbers,
// each carrying the program's public payload, over and over until its lifeline ends. A program that
// accepts one of them as an answer can be fooled by anyone on the path.
//
//   blind_forger --from ADDRESS --to ADDRESS [--sequences N] [--size N] [--ready FILE] [--lifeline]
//                [--lifetime SECONDS]
//
// --from: the silent host the replies claim to come from; --to: the client. Both must be IPv4
// addresses of the testbed's 198.18.0.0/15. --sequences: the sequence numbers 1..N (1 to 16, default
// 4). --size: the payload's size (default 56). --ready: create FILE once the first replies are out.
// --lifeline: leave when standard input ends. It always leaves after its lifetime (at most 120 s).
#include "echo/EchoTerms.h"
#include "platform/IcmpPacket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int MaxSequences = 16;
constexpr int MaxLifetimeSeconds = 120;
constexpr size_t IpHeaderSize = 20;
constexpr unsigned Batch = 256;

struct Options {
    in_addr from{};
    in_addr to{};
    int sequences = 4;
    int size = EchoTerms::DefaultSize;
    std::string readyFile;
    bool lifeline = false;
    int lifetimeSeconds = 60;
};

bool inTestbed(const char *text, in_addr &address)
{
    return inet_pton(AF_INET, text, &address) == 1 && (ntohl(address.s_addr) & 0xFFFE0000) == 0xC6120000;
}

bool inRange(const char *text, int low, int high, int &value)
{
    value = std::atoi(text);
    return value >= low && value <= high;
}

bool parseOptions(int argc, char **argv, Options &options)
{
    bool from = false, to = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--lifeline") {
            options.lifeline = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char *value = argv[++i];
        bool valid = true;
        if (arg == "--from")
            valid = from = inTestbed(value, options.from);
        else if (arg == "--to")
            valid = to = inTestbed(value, options.to);
        else if (arg == "--sequences")
            valid = inRange(value, 1, MaxSequences, options.sequences);
        else if (arg == "--size")
            valid = inRange(value, 0, 1400, options.size);
        else if (arg == "--lifetime")
            valid = inRange(value, 1, MaxLifetimeSeconds, options.lifetimeSeconds);
        else if (arg == "--ready")
            options.readyFile = value;
        else
            valid = false;
        if (!valid)
            return false;
    }
    return from && to;
}

// The reply with identifier 0 and sequence 0, IP header first: the kernel fills in the header's
// checksum and identification.
std::vector<uint8_t> templateReply(const Options &options)
{
    const std::vector<uint8_t> payload = EchoTerms::payloadOf(options.size);
    std::vector<uint8_t> icmp = IcmpPacket::buildEchoRequest(0, 0, payload.data(), payload.size());
    icmp[0] = IcmpPacket::EchoReply;
    icmp[2] = icmp[3] = 0;
    std::vector<uint8_t> packet(IpHeaderSize);
    const uint16_t total = htons(uint16_t(IpHeaderSize + icmp.size()));
    packet[0] = 0x45;
    std::memcpy(&packet[2], &total, 2);
    packet[8] = 64;
    packet[9] = IPPROTO_ICMP;
    std::memcpy(&packet[12], &options.from, 4);
    std::memcpy(&packet[16], &options.to, 4);
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

// The one's complement sum of the template, less its checksum, with the identifier and sequence added.
void stamp(uint8_t *packet, uint32_t templateSum, uint16_t identifier, uint16_t sequence)
{
    uint8_t *icmp = packet + IpHeaderSize;
    uint32_t sum = templateSum + identifier + sequence;
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum & 0xFFFF) + (sum >> 16);
    const uint16_t checksum = htons(uint16_t(~sum));
    const uint16_t id = htons(identifier), seq = htons(sequence);
    std::memcpy(icmp + 2, &checksum, 2);
    std::memcpy(icmp + 4, &id, 2);
    std::memcpy(icmp + 6, &seq, 2);
}

bool lifelineHolds(const Options &options)
{
    if (!options.lifeline)
        return true;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    char buffer[256];
    return poll(&input, 1, 0) == 0 || read(STDIN_FILENO, buffer, sizeof buffer) > 0;
}

// Every identifier with each of the first sequence numbers, a batch a call.
bool spray(int fd, const Options &options, const std::vector<uint8_t> &reply)
{
    const uint16_t checksum = IcmpPacket::checksum(reply.data() + IpHeaderSize, reply.size() - IpHeaderSize);
    const uint32_t templateSum = uint16_t(~checksum);
    std::vector<std::vector<uint8_t>> packets(Batch, reply);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = options.to;
    iovec iov[Batch];
    mmsghdr messages[Batch] = {};
    for (unsigned i = 0; i < Batch; ++i) {
        iov[i] = {packets[i].data(), packets[i].size()};
        messages[i].msg_hdr.msg_name = &to;
        messages[i].msg_hdr.msg_namelen = sizeof to;
        messages[i].msg_hdr.msg_iov = &iov[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    for (int sequence = 1; sequence <= options.sequences; ++sequence) {
        for (uint32_t first = 0; first < 0x10000; first += Batch) {
            for (unsigned i = 0; i < Batch; ++i)
                stamp(packets[i].data(), templateSum, uint16_t(first + i), uint16_t(sequence));
            if (sendmmsg(fd, messages, Batch, 0) < 0 && errno != ENOBUFS) {
                std::perror("blind_forger: sendmmsg");
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: blind_forger --from ADDRESS --to ADDRESS [--sequences N] [--size N] "
                             "[--ready FILE] [--lifeline] [--lifetime SECONDS] (testbed addresses only)\n");
        return 2;
    }
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (fd < 0) {
        std::perror("blind_forger: raw socket");
        return 1;
    }
    const std::vector<uint8_t> reply = templateReply(options);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(options.lifetimeSeconds);
    bool ready = options.readyFile.empty();
    while (Clock::now() < end && lifelineHolds(options)) {
        if (!spray(fd, options, reply))
            return 1;
        if (!ready)
            ready = bool(std::ofstream(options.readyFile));
    }
    close(fd);
    return 0;
}
