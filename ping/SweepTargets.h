#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The addresses of a sweep, given as dotted addresses, ranges START-END and CIDR blocks a.b.c.d/n,
// less those excluded in the same forms. They are kept as sorted, disjoint intervals, so that a /8
// costs a few bytes and an address given twice is swept once.
class SweepTargets {
public:
    static constexpr uint64_t MaxAddresses = uint64_t(1) << 24;

    // Host byte order, both ends included.
    struct Range {
        uint32_t first;
        uint32_t last;
        bool operator==(const Range &other) const { return first == other.first && last == other.last; }
    };

    // Adds one target; std::invalid_argument naming it when it is none of the three forms, or when
    // the targets would hold more than MaxAddresses addresses (nothing is added then).
    void add(const std::string &target);
    // Takes the addresses of one target out, those added so far and those added later: exclusions
    // given first also keep what they take out from counting against MaxAddresses.
    // std::invalid_argument naming it when it is none of the three forms.
    void exclude(const std::string &target);

    const std::vector<Range> &ranges() const { return m_ranges; }
    uint64_t count() const { return m_count; }

    // A strict dotted address: four decimal numbers up to 255, without leading zeros, which some
    // parsers read as octal. False when text is not one.
    static bool parseAddress(const std::string &text, uint32_t &address);
    // The targets of a list typed on one line, separated by blanks or commas.
    static std::vector<std::string> wordsOf(const std::string &text);

private:
    static Range parseTarget(const std::string &target);
    static Range parseBlock(const std::string &target, size_t slash);
    static Range parseRange(const std::string &target, size_t dash);
    static uint32_t addressOf(const std::string &text, const std::string &target);
    static std::vector<Range> merged(const std::vector<Range> &ranges, Range range);
    static std::vector<Range> without(const std::vector<Range> &ranges, Range cut);
    static uint64_t countOf(const std::vector<Range> &ranges);

    std::vector<Range> m_ranges;
    std::vector<Range> m_excluded;
    uint64_t m_count = 0;
};
