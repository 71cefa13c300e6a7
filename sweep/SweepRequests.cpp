#include "SweepRequests.h"

#include "echo/EchoTerms.h"
#include "platform/Icmp6Packet.h"
#include "platform/IcmpPacket.h"

#include <sys/socket.h>

SweepRequests::SweepRequests(int size, const SweepSignature &signature)
    : m_signature(signature), m_payload(EchoTerms::payloadOf(size)), m_signed(m_payload)
{
}

void SweepRequests::build(std::vector<uint8_t> &packet, int family, uint32_t target, uint16_t identifier,
                          uint16_t sequence, uint32_t pass)
{
    m_signature.sign(m_signed.data(), m_signed.size(), target, identifier, sequence, pass);
    if (family == AF_INET6)
        Icmp6Packet::buildEchoRequest(packet, identifier, sequence, m_signed.data(), m_signed.size());
    else
        IcmpPacket::buildEchoRequest(packet, identifier, sequence, m_signed.data(), m_signed.size());
}
