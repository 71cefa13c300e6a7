#pragma once
#include "SweepSettings.h"

#include <cstdint>
#include <vector>

// How a sweep shares its work: each family's targets (IPv4 and IPv6 have senders of their own), its
// share of the rate as of its targets, how many senders it gets (one a core for a fast rate), and
// each sender's slots and receive buffer.
class SweepShares {
public:
    // Slots beyond this would cost more memory than a sweep should: 32 identifiers x 65,536, shared
    // among the senders.
    static constexpr unsigned MaxIdentifiers = 32;

    // The targets of one family, by their numbers in the plan, and the senders they get.
    struct Family {
        int family; // AF_INET or AF_INET6
        uint64_t first;
        uint64_t end;
        double share; // of the rate
        unsigned workers;
        unsigned identifiers; // each worker's
        uint64_t count() const { return end - first; }
    };

    // The IPv4 members are [0, members4), the IPv6 ones [firstIpv6, end).
    SweepShares(const SweepSettings &settings, uint64_t members4, uint64_t firstIpv6, uint64_t end,
                unsigned mostSenders);

    const std::vector<Family> &families() const { return m_families; }
    // The rate the slots allow: the one asked for, unless that many requests a second would keep
    // more waiting out their time-out than there are slots.
    int effectiveRate() const;
    // Room for the answers of a burst at the sender's share of the rate.
    int receiveBufferFor(const Family &family) const;

private:
    Family familyOf(int family, uint64_t first, uint64_t end, uint64_t members, unsigned mostSenders) const;
    unsigned identifiersFor(const Family &family, unsigned workers) const;

    const SweepSettings m_settings;
    std::vector<Family> m_families;
};
