#pragma once
#include "platform/IpAddress.h"

#include <cstdint>
#include <string>
#include <vector>

// The addresses of a sweep, given as addresses, ranges START-END and CIDR blocks ADDRESS/n of
// either family, less those excluded in the same forms. They are kept as sorted, disjoint intervals
// of each family, so that a /8 costs a few bytes and an address given twice is swept once.
class SweepTargets {
public:
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
    struct Range6 {
        Wide first;
        Wide last;
        bool operator==(const Range6 &other) const { return first == other.first && last == other.last; }
    };

    // Adds one target; std::invalid_argument naming it when it is none of the three forms, an IPv6
    // one holds more than MaxIpv6Target addresses, or the targets would hold more than MaxAddresses
    // addresses (nothing is added then).
    void add(const std::string &target);
    // Takes the addresses of one target out, those added so far and those added later: exclusions
    // given first also keep what they take out from counting against MaxAddresses.
    // std::invalid_argument naming it when it is none of the three forms.
    void exclude(const std::string &target);

    const std::vector<Range> &ranges() const { return m_ranges; }
    const std::vector<Range6> &ranges6() const { return m_ranges6; }
    // Both families' addresses.
    uint64_t count() const { return m_count; }

    // The targets of a list typed on one line, separated by blanks or commas.
    static std::vector<std::string> wordsOf(const std::string &text);

    static Wide wideOf(const IpAddress &address);
    static IpAddress addressOf(Wide address);

private:
    // One target of either family.
    struct Parsed {
        bool v6 = false;
        Range range{};
        Range6 range6{};
    };

    static Parsed parseTarget(const std::string &target);
    static Parsed parseBlock(const std::string &target, size_t slash);
    static Parsed parseRange(const std::string &target, size_t dash);
    static uint32_t addressOf(const std::string &text, const std::string &target);
    static Wide address6Of(const std::string &text, const std::string &target);
    void update(std::vector<Range> ranges, std::vector<Range6> ranges6);

    std::vector<Range> m_ranges;
    std::vector<Range6> m_ranges6;
    std::vector<Range> m_excluded;
    std::vector<Range6> m_excluded6;
    uint64_t m_count = 0;
};
