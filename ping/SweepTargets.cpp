#include "SweepTargets.h"

#include "Notation.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace {

uint64_t sizeOf(const SweepTargets::Range &range)
{
    return uint64_t(range.last) - range.first + 1;
}

bool allDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(uint8_t(c)); });
}

} // namespace

uint32_t SweepTargets::addressOf(const std::string &text, const std::string &target)
{
    const std::optional<uint32_t> address = Notation::parseDotted(text);
    if (!address)
        throw std::invalid_argument("'" + target + "': '" + text + "' is not a dotted IPv4 address");
    return *address;
}

// Host bits given with the block are dropped: 10.1.2.3/24 is 10.1.2.0/24.
SweepTargets::Range SweepTargets::parseBlock(const std::string &target, size_t slash)
{
    const uint32_t address = addressOf(target.substr(0, slash), target);
    const std::string length = target.substr(slash + 1);
    if (!allDigits(length) || length.size() > 2 || std::stoi(length) > 32)
        throw std::invalid_argument("'" + target + "': the prefix length must be 0 to 32");
    const int bits = std::stoi(length);
    const uint32_t hostMask = bits == 0 ? 0xFFFFFFFFu : (uint32_t(1) << (32 - bits)) - 1;
    return {address & ~hostMask, address | hostMask};
}

SweepTargets::Range SweepTargets::parseRange(const std::string &target, size_t dash)
{
    const Range range{addressOf(target.substr(0, dash), target), addressOf(target.substr(dash + 1), target)};
    if (range.last < range.first)
        throw std::invalid_argument("'" + target + "': the range ends before it starts");
    return range;
}

SweepTargets::Range SweepTargets::parseTarget(const std::string &target)
{
    const size_t slash = target.find('/');
    if (slash != std::string::npos)
        return parseBlock(target, slash);
    const size_t dash = target.find('-');
    if (dash != std::string::npos)
        return parseRange(target, dash);
    const uint32_t address = addressOf(target, target);
    return {address, address};
}

void SweepTargets::add(const std::string &target)
{
    const Range range = parseTarget(target);
    SweepTargets grown = *this;
    grown.insert(range);
    if (grown.m_count > MaxAddresses)
        throw std::invalid_argument("the targets hold " + std::to_string(grown.m_count) + " addresses, more than " +
                                    std::to_string(MaxAddresses));
    *this = std::move(grown);
}

// Overlapping and touching intervals become one, so that the ranges stay few and disjoint.
void SweepTargets::insert(Range range)
{
    std::vector<Range> merged;
    merged.reserve(m_ranges.size() + 1);
    bool placed = false;
    for (const Range &existing : m_ranges) {
        if (uint64_t(existing.last) + 1 < range.first) {
            merged.push_back(existing);
        } else if (uint64_t(range.last) + 1 < existing.first) {
            if (!placed)
                merged.push_back(range);
            placed = true;
            merged.push_back(existing);
        } else {
            range = {std::min(range.first, existing.first), std::max(range.last, existing.last)};
        }
    }
    if (!placed)
        merged.push_back(range);
    m_ranges = std::move(merged);
    m_count = 0;
    for (const Range &each : m_ranges)
        m_count += sizeOf(each);
}
