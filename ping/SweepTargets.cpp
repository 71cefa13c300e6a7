#include "SweepTargets.h"

#include <algorithm>
#include <cctype>
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

bool SweepTargets::parseAddress(const std::string &text, uint32_t &address)
{
    uint32_t value = 0;
    size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = octet < 3 ? text.find('.', start) : text.size();
        if (dot == std::string::npos)
            return false;
        const std::string field = text.substr(start, dot - start);
        if (!allDigits(field) || field.size() > 3 || (field.size() > 1 && field.front() == '0'))
            return false;
        const int number = std::stoi(field);
        if (number > 255)
            return false;
        value = value << 8 | uint32_t(number);
        start = dot + 1;
    }
    address = value;
    return true;
}

uint32_t SweepTargets::addressOf(const std::string &text, const std::string &target)
{
    uint32_t address = 0;
    if (!parseAddress(text, address))
        throw std::invalid_argument("'" + target + "': '" + text + "' is not a dotted IPv4 address");
    return address;
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
    std::vector<Range> pieces{parseTarget(target)};
    for (const Range &cut : m_excluded)
        pieces = without(pieces, cut);
    std::vector<Range> ranges = m_ranges;
    for (const Range &piece : pieces)
        ranges = merged(ranges, piece);
    const uint64_t count = countOf(ranges);
    if (count > MaxAddresses)
        throw std::invalid_argument("the targets hold " + std::to_string(count) + " addresses, more than " +
                                    std::to_string(MaxAddresses));
    m_ranges = std::move(ranges);
    m_count = count;
}

void SweepTargets::exclude(const std::string &target)
{
    const Range cut = parseTarget(target);
    m_excluded = merged(m_excluded, cut);
    m_ranges = without(m_ranges, cut);
    m_count = countOf(m_ranges);
}

std::vector<std::string> SweepTargets::wordsOf(const std::string &text)
{
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + ' ') {
        if (c != ',' && !std::isspace(uint8_t(c))) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

// Overlapping and touching intervals become one, so that the ranges stay few and disjoint.
std::vector<SweepTargets::Range> SweepTargets::merged(const std::vector<Range> &ranges, Range range)
{
    std::vector<Range> result;
    result.reserve(ranges.size() + 1);
    bool placed = false;
    for (const Range &existing : ranges) {
        if (uint64_t(existing.last) + 1 < range.first) {
            result.push_back(existing);
        } else if (uint64_t(range.last) + 1 < existing.first) {
            if (!placed)
                result.push_back(range);
            placed = true;
            result.push_back(existing);
        } else {
            range = {std::min(range.first, existing.first), std::max(range.last, existing.last)};
        }
    }
    if (!placed)
        result.push_back(range);
    return result;
}

std::vector<SweepTargets::Range> SweepTargets::without(const std::vector<Range> &ranges, Range cut)
{
    std::vector<Range> result;
    result.reserve(ranges.size() + 1);
    for (const Range &range : ranges) {
        if (range.last < cut.first || range.first > cut.last) {
            result.push_back(range);
            continue;
        }
        if (range.first < cut.first)
            result.push_back({range.first, cut.first - 1});
        if (range.last > cut.last)
            result.push_back({cut.last + 1, range.last});
    }
    return result;
}

uint64_t SweepTargets::countOf(const std::vector<Range> &ranges)
{
    uint64_t count = 0;
    for (const Range &range : ranges)
        count += sizeOf(range);
    return count;
}
