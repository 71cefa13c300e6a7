#include "ArpPacket.h"

#include <net/ethernet.h>
#include <net/if_arp.h>

#include <cstring>

namespace {

constexpr size_t EthernetBytes = 14;
constexpr size_t TypeAt = 12;
constexpr size_t OperationAt = EthernetBytes + 6;
// Hardware type, protocol type, their lengths: Ethernet and IPv4.
constexpr uint8_t EthernetIpv4[6] = {0x00, 0x01, 0x08, 0x00, 6, 4};

void putU16(uint8_t *at, uint16_t value)
{
    at[0] = uint8_t(value >> 8);
    at[1] = uint8_t(value);
}

uint16_t u16At(const uint8_t *at)
{
    return uint16_t(at[0] << 8 | at[1]);
}

} // namespace

std::array<uint8_t, ArpPacket::FrameBytes> ArpPacket::request(const HardwareAddress &from, uint32_t source,
                                                              uint32_t target)
{
    std::array<uint8_t, FrameBytes> frame{};
    uint8_t *at = frame.data();
    std::memset(at, 0xFF, 6);
    std::memcpy(at + 6, from.bytes(), 6);
    putU16(at + TypeAt, ETHERTYPE_ARP);
    at += EthernetBytes;
    std::memcpy(at, EthernetIpv4, sizeof EthernetIpv4);
    putU16(at + 6, ARPOP_REQUEST);
    std::memcpy(at + 8, from.bytes(), 6);
    std::memcpy(at + 14, &source, 4);
    // The hardware address asked for stays zero.
    std::memcpy(at + 24, &target, 4);
    return frame;
}

std::optional<ArpPacket::Reply> ArpPacket::replyOf(const uint8_t *frame, size_t length)
{
    if (length < FrameBytes || u16At(frame + TypeAt) != ETHERTYPE_ARP || u16At(frame + OperationAt) != ARPOP_REPLY ||
        std::memcmp(frame + EthernetBytes, EthernetIpv4, sizeof EthernetIpv4) != 0)
        return std::nullopt;
    const uint8_t *arp = frame + EthernetBytes;
    Reply reply;
    reply.hardware = HardwareAddress(arp + 8);
    std::memcpy(&reply.sender, arp + 14, 4);
    std::memcpy(&reply.target, arp + 24, 4);
    return reply;
}

std::vector<sock_filter> ArpPacket::replyFilter()
{
    return {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, TypeAt),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETHERTYPE_ARP, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, OperationAt),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ARPOP_REPLY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
}
