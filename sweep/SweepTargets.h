#pragma once
#include "platform/IpAddress.h"

#include <cstdint>
#include <string>
#include <vector>

// The addresses of a sweep, given as addresses, ranges START-END and CIDR blocks ADDRESS/n of
// either family, less those excluded in the same forms, whatever the order they come in. An IPv6
// target may name its link with a zone (fe80::1%eth0, fe80::1-fe80::9%eth0, fe80::%eth0/120). They
// are kept as sorted, disjoint intervals of each family (and link), so that a /8 costs a few bytes
// and an address given twice is swept once.
//
// Targets and exclusions are gathered as they come and sorted into the intervals in batches, each
// once the batch is as large as the intervals: a million separate addresses cost a few sorts, not
// a million insertions. Reading the intervals or the count sorts in what came since, so a
// SweepTargets is read once on one thread before threads share it (a Sweep reads it as it is made).
class SweepTargets {
public:
    // The most addresses one sweep sends to; a larger set of targets is swept in shards.
    static constexpr uint64_t MaxAddresses = uint64_t(1) << 24;
    // One IPv6 range or block holds a /112 at most: an IPv6 network is swept by its parts.
    static constexpr uint64_t MaxIpv6Target = 65536;

    // Host byte order, both ends included.
    struct Range {
        uint32_t first;
        uint32_t last;
        bool operator==(const Range &other) const { return first == other.first && last == other.last; }
    };
    // An IPv6 address as a number, first byte highest.
    using Wide = unsigned __int128;
    // scope: the index of the link its zone names, 0 for none.
    struct Range6 {
        Wide first;
        Wide last;
        uint32_t scope = 0;
        bool operator==(const Range6 &other) const
        {
            return first == other.first && last == other.last && scope == other.scope;
        }
    };

    // Adds one target; std::invalid_argument naming it when it is none of the three forms, its zone
    // names no link here, or an IPv6 one holds more than MaxIpv6Target addresses.
    void add(const std::string &target);
    // Adds one address as it is, zone included; nothing to parse or refuse.
    void add(const IpAddress &address);
    // Takes the addresses of one target out, those added before and after alike; an IPv6 one on the
    // link its zone names alone. std::invalid_argument naming it when it is none of the three forms.
    void exclude(const std::string &target);

    // IPv6 ranges without a zone first, then by link; each link's in address order.
    const std::vector<Range> &ranges() const;
    const std::vector<Range6> &ranges6() const;
    // Both families' addresses.
    uint64_t count() const;

    // The targets of a list typed on one line, separated by blanks or commas.
    static std::vector<std::string> wordsOf(const std::string &text);

    static Wide wideOf(const IpAddress &address);
    static IpAddress addressOf(Wide address, uint32_t scope = 0);

private:
    // One target of either family.
    struct Parsed {
        bool v6 = false;
        Range range{};
        Range6 range6{};
    };

    // One family's intervals, and what came for them since they were last sorted.
    template <typename Interval> struct Family {
        std::vector<Interval> kept; // sorted, disjoint, none touching another of its link
        std::vector<Interval> excluded;
        std::vector<Interval> comingIn;
        std::vector<Interval> goingOut;

        // Into comingIn or goingOut.
        void gather(std::vector<Interval> &list, const Interval &interval);
        void settle();
    };

    static Parsed parseTarget(const std::string &target);
    static Parsed parseAddresses(const std::string &text, const std::string &target);
    static Parsed parseBlock(const std::string &text, size_t slash, const std::string &target);
    static Parsed parseRange(const std::string &text, size_t dash, const std::string &target);
    static uint32_t addressOf(const std::string &text, const std::string &target);
    static Wide address6Of(const std::string &text, const std::string &target);
    static uint32_t scopeOf(const std::string &zone, const std::string &target);
    void settle() const;

    mutable Family<Range> m_v4;
    mutable Family<Range6> m_v6;
    mutable uint64_t m_count = 0;
    mutable bool m_counted = true;
};
