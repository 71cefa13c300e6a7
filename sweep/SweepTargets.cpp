#include "SweepTargets.h"

#include "echo/Notation.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace {

using Wide = SweepTargets::Wide;

bool allDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(uint8_t(c)); });
}

// Ranges of either family, written once: the numbers are unsigned, and nothing here adds one to the
// highest of them.
template <typename Range> uint64_t sizeOf(const Range &range)
{
    return uint64_t(range.last - range.first) + 1;
}

// Apart: not even touching.
template <typename Number> bool apart(Number last, Number first)
{
    return last < first && first - last > 1;
}

// Overlapping and touching intervals become one, so that the ranges stay few and disjoint.
template <typename Range> std::vector<Range> merged(const std::vector<Range> &ranges, Range range)
{
    std::vector<Range> result;
    result.reserve(ranges.size() + 1);
    bool placed = false;
    for (const Range &existing : ranges) {
        if (apart(existing.last, range.first)) {
            result.push_back(existing);
        } else if (apart(range.last, existing.first)) {
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

template <typename Range> std::vector<Range> without(const std::vector<Range> &ranges, Range cut)
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

template <typename Range> std::vector<Range> withoutAll(std::vector<Range> ranges, const std::vector<Range> &cuts)
{
    for (const Range &cut : cuts)
        ranges = without(ranges, cut);
    return ranges;
}

template <typename Range> uint64_t countOf(const std::vector<Range> &ranges)
{
    uint64_t count = 0;
    for (const Range &range : ranges)
        count += sizeOf(range);
    return count;
}

} // namespace

SweepTargets::Wide SweepTargets::wideOf(const IpAddress &address)
{
    Wide wide = 0;
    for (size_t i = 0; i < IpAddress::V6Size; ++i)
        wide = wide << 8 | address.bytes()[i];
    return wide;
}

IpAddress SweepTargets::addressOf(Wide address)
{
    uint8_t bytes[IpAddress::V6Size];
    for (size_t i = IpAddress::V6Size; i-- > 0; address >>= 8)
        bytes[i] = uint8_t(address);
    return IpAddress::v6(bytes);
}

uint32_t SweepTargets::addressOf(const std::string &text, const std::string &target)
{
    const std::optional<uint32_t> address = Notation::parseDotted(text);
    if (!address)
        throw std::invalid_argument("'" + target + "': '" + text + "' is not a dotted IPv4 address");
    return *address;
}

// A zone would name a link the sweep does not send on.
SweepTargets::Wide SweepTargets::address6Of(const std::string &text, const std::string &target)
{
    const std::optional<IpAddress> address = IpAddress::parse(text);
    if (!address || !address->isV6() || address->scopeId() != 0)
        throw std::invalid_argument("'" + target + "': '" + text + "' is not an IPv6 address");
    return wideOf(*address);
}

// Host bits given with the block are dropped: 10.1.2.3/24 is 10.1.2.0/24.
SweepTargets::Parsed SweepTargets::parseBlock(const std::string &target, size_t slash)
{
    Parsed parsed;
    parsed.v6 = target.substr(0, slash).find(':') != std::string::npos;
    const int widest = parsed.v6 ? 128 : 32;
    const std::string length = target.substr(slash + 1);
    const bool lengthOk = allDigits(length) && length.size() <= 3 && std::stoi(length) <= widest;
    if (parsed.v6) {
        const Wide address = address6Of(target.substr(0, slash), target);
        if (!lengthOk)
            throw std::invalid_argument("'" + target + "': the prefix length must be 0 to 128");
        const int bits = std::stoi(length);
        const Wide hostMask = bits == 0 ? ~Wide(0) : (Wide(1) << (128 - bits)) - 1;
        parsed.range6 = {address & ~hostMask, address | hostMask};
        return parsed;
    }
    const uint32_t address = addressOf(target.substr(0, slash), target);
    if (!lengthOk || length.size() > 2)
        throw std::invalid_argument("'" + target + "': the prefix length must be 0 to 32");
    const int bits = std::stoi(length);
    const uint32_t hostMask = bits == 0 ? 0xFFFFFFFFu : (uint32_t(1) << (32 - bits)) - 1;
    parsed.range = {address & ~hostMask, address | hostMask};
    return parsed;
}

SweepTargets::Parsed SweepTargets::parseRange(const std::string &target, size_t dash)
{
    Parsed parsed;
    const std::string first = target.substr(0, dash), last = target.substr(dash + 1);
    parsed.v6 = first.find(':') != std::string::npos;
    bool backwards = false;
    if (parsed.v6) {
        parsed.range6 = {address6Of(first, target), address6Of(last, target)};
        backwards = parsed.range6.last < parsed.range6.first;
    } else {
        parsed.range = {addressOf(first, target), addressOf(last, target)};
        backwards = parsed.range.last < parsed.range.first;
    }
    if (backwards)
        throw std::invalid_argument("'" + target + "': the range ends before it starts");
    return parsed;
}

SweepTargets::Parsed SweepTargets::parseTarget(const std::string &target)
{
    const size_t slash = target.find('/');
    if (slash != std::string::npos)
        return parseBlock(target, slash);
    const size_t dash = target.find('-');
    if (dash != std::string::npos)
        return parseRange(target, dash);
    Parsed parsed;
    parsed.v6 = target.find(':') != std::string::npos;
    if (parsed.v6) {
        const Wide address = address6Of(target, target);
        parsed.range6 = {address, address};
    } else {
        const uint32_t address = addressOf(target, target);
        parsed.range = {address, address};
    }
    return parsed;
}

void SweepTargets::add(const std::string &target)
{
    const Parsed parsed = parseTarget(target);
    std::vector<Range> ranges = m_ranges;
    std::vector<Range6> ranges6 = m_ranges6;
    if (parsed.v6) {
        if (parsed.range6.last - parsed.range6.first >= MaxIpv6Target)
            throw std::invalid_argument("'" + target + "': an IPv6 range or block may hold " +
                                        std::to_string(MaxIpv6Target) + " addresses at most (a /112)");
        for (const Range6 &piece : withoutAll<Range6>({parsed.range6}, m_excluded6))
            ranges6 = merged(ranges6, piece);
    } else {
        for (const Range &piece : withoutAll<Range>({parsed.range}, m_excluded))
            ranges = merged(ranges, piece);
    }
    const uint64_t count = countOf(ranges) + countOf(ranges6);
    if (count > MaxAddresses)
        throw std::invalid_argument("the targets hold " + std::to_string(count) + " addresses, more than " +
                                    std::to_string(MaxAddresses));
    update(std::move(ranges), std::move(ranges6));
}

void SweepTargets::exclude(const std::string &target)
{
    const Parsed cut = parseTarget(target);
    if (cut.v6) {
        m_excluded6 = merged(m_excluded6, cut.range6);
        update(m_ranges, without(m_ranges6, cut.range6));
    } else {
        m_excluded = merged(m_excluded, cut.range);
        update(without(m_ranges, cut.range), m_ranges6);
    }
}

void SweepTargets::update(std::vector<Range> ranges, std::vector<Range6> ranges6)
{
    m_ranges = std::move(ranges);
    m_ranges6 = std::move(ranges6);
    m_count = countOf(m_ranges) + countOf(m_ranges6);
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
