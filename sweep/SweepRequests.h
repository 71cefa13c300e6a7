#pragma once
#include "SweepSignature.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The echo requests of one sweep: the program's payload of the sweep's size, with the keyed check of
// target, identifier, sequence number and pass at its head.
class SweepRequests {
public:
    SweepRequests(int size, const SweepSignature &signature);

    // The request of either family (AF_INET or AF_INET6) to target with that identifier and sequence
    // number, in pass, checksum included, into packet.
    void build(std::vector<uint8_t> &packet, int family, uint32_t target, uint16_t identifier, uint16_t sequence,
               uint32_t pass);

    size_t payloadSize() const { return m_payload.size(); }
    const SweepSignature &signature() const { return m_signature; }

private:
    const SweepSignature m_signature;
    const std::vector<uint8_t> m_payload;
    std::vector<uint8_t> m_signed;
};
