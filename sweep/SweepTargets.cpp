#include "SweepTargets.h"

#include "echo/Notation.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <stdexcept>

namespace {

using Wide = SweepTargets::Wide;

// Fewer targets than this come in before they are sorted in, however few are kept.
constexpr size_t SmallestBatch = 4096;

bool allDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(uint8_t(c)); });
}

// Ranges of either family, written once: the numbers are unsigned, and nothing here adds one to the
// highest of them or takes one from 0. An IPv4 range names no link.
uint32_t linkOf(const SweepTargets::Range &)
{
    return 0;
}

uint32_t linkOf(const SweepTargets::Range6 &range)
{
    return range.scope;
}

template <typename Range> uint64_t sizeOf(const Range &range)
{
    return uint64_t(range.last - range.first) + 1;
}

// By link, then by address.
template <typename Range> bool before(const Range &a, const Range &b)
{
    return linkOf(a) != linkOf(b) ? linkOf(a) < linkOf(b) : a.first < b.first;
}

template <typename Range> bool endsBefore(const Range &range, const Range &other)
{
    return linkOf(range) != linkOf(other) ? linkOf(range) < linkOf(other) : range.last < other.first;
}

template <typename Range> bool startsAfter(const Range &range, const Range &other)
{
    return linkOf(range) != linkOf(other) ? linkOf(range) > linkOf(other) : range.first > other.last;
}

// Of sorted ranges, each that overlaps or touches the one before it joins it.
template <typename Range> void coalesce(std::vector<Range> &ranges)
{
    size_t kept = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
        Range &last = ranges[kept == 0 ? 0 : kept - 1];
        const Range &range = ranges[i];
        if (kept > 0 && linkOf(last) == linkOf(range) && (range.first <= last.last || range.first - last.last == 1))
            last.last = std::max(last.last, range.last);
        else
            ranges[kept++] = range;
    }
    ranges.resize(kept);
}

// Sorted, coalesced ranges and any others, sorted and coalesced together. The others are used up.
template <typename Range> std::vector<Range> joined(const std::vector<Range> &sorted, std::vector<Range> &others)
{
    std::sort(others.begin(), others.end(), before<Range>);
    std::vector<Range> all;
    all.reserve(sorted.size() + others.size());
    std::merge(sorted.begin(), sorted.end(), others.begin(), others.end(), std::back_inserter(all), before<Range>);
    others = std::vector<Range>();
    coalesce(all);
    return all;
}

// Sorted, disjoint ranges less sorted, disjoint cuts, in one walk over both.
template <typename Range> std::vector<Range> without(const std::vector<Range> &ranges, const std::vector<Range> &cuts)
{
    std::vector<Range> result;
    result.reserve(ranges.size());
    size_t firstCut = 0;
    for (const Range &range : ranges) {
        while (firstCut < cuts.size() && endsBefore(cuts[firstCut], range))
            ++firstCut;
        Range rest = range;
        bool left = true;
        for (size_t cut = firstCut; left && cut < cuts.size() && !startsAfter(cuts[cut], range); ++cut) {
            if (cuts[cut].first > rest.first) {
                Range piece = rest;
                piece.last = cuts[cut].first - 1;
                result.push_back(piece);
            }
            left = cuts[cut].last < rest.last;
            if (left)
                rest.first = cuts[cut].last + 1;
        }
        if (left)
            result.push_back(rest);
    }
    return result;
}

template <typename Range> uint64_t countOf(const std::vector<Range> &ranges)
{
    uint64_t count = 0;
    for (const Range &range : ranges)
        count += sizeOf(range);
    return count;
}

} // namespace

// Sorted in once as many came as are kept, so that each sorting costs no more than what came since
// pays for, and what is held stays within twice what is kept.
template <typename Interval>
void SweepTargets::Family<Interval>::gather(std::vector<Interval> &list, const Interval &interval)
{
    list.push_back(interval);
    if (comingIn.size() + goingOut.size() >= std::max(SmallestBatch, kept.size() + excluded.size()))
        settle();
}

template <typename Interval> void SweepTargets::Family<Interval>::settle()
{
    if (comingIn.empty() && goingOut.empty())
        return;
    if (!goingOut.empty())
        excluded = joined(excluded, goingOut);
    kept = without(joined(kept, comingIn), excluded);
}

SweepTargets::Wide SweepTargets::wideOf(const IpAddress &address)
{
    Wide wide = 0;
    for (size_t i = 0; i < IpAddress::V6Size; ++i)
        wide = wide << 8 | address.bytes()[i];
    return wide;
}

IpAddress SweepTargets::addressOf(Wide address, uint32_t scope)
{
    uint8_t bytes[IpAddress::V6Size];
    for (size_t i = IpAddress::V6Size; i-- > 0; address >>= 8)
        bytes[i] = uint8_t(address);
    return IpAddress::v6(bytes, scope);
}

uint32_t SweepTargets::addressOf(const std::string &text, const std::string &target)
{
    const std::optional<uint32_t> address = Notation::parseDotted(text);
    if (!address)
        throw std::invalid_argument("'" + target + "': '" + text + "' is not a dotted IPv4 address");
    return *address;
}

SweepTargets::Wide SweepTargets::address6Of(const std::string &text, const std::string &target)
{
    const std::optional<IpAddress> address = IpAddress::parse(text);
    if (!address || !address->isV6() || address->scopeId() != 0)
        throw std::invalid_argument("'" + target + "': '" + text + "' is not an IPv6 address");
    return wideOf(*address);
}

// A link's name or index, of a link there is now.
uint32_t SweepTargets::scopeOf(const std::string &zone, const std::string &target)
{
    const std::optional<IpAddress> zoned = IpAddress::parse("::%" + zone);
    char name[IF_NAMESIZE];
    if (!zoned || if_indextoname(zoned->scopeId(), name) == nullptr)
        throw std::invalid_argument("'" + target + "': this machine has no link '" + zone + "'");
    return zoned->scopeId();
}

// Host bits given with the block are dropped: 10.1.2.3/24 is 10.1.2.0/24.
SweepTargets::Parsed SweepTargets::parseBlock(const std::string &text, size_t slash, const std::string &target)
{
    Parsed parsed;
    parsed.v6 = text.substr(0, slash).find(':') != std::string::npos;
    const int widest = parsed.v6 ? 128 : 32;
    const std::string length = text.substr(slash + 1);
    const bool lengthOk = allDigits(length) && length.size() <= 3 && std::stoi(length) <= widest;
    if (parsed.v6) {
        const Wide address = address6Of(text.substr(0, slash), target);
        if (!lengthOk)
            throw std::invalid_argument("'" + target + "': the prefix length must be 0 to 128");
        const int bits = std::stoi(length);
        const Wide hostMask = bits == 0 ? ~Wide(0) : (Wide(1) << (128 - bits)) - 1;
        parsed.range6 = {address & ~hostMask, address | hostMask};
        return parsed;
    }
    const uint32_t address = addressOf(text.substr(0, slash), target);
    if (!lengthOk || length.size() > 2)
        throw std::invalid_argument("'" + target + "': the prefix length must be 0 to 32");
    const int bits = std::stoi(length);
    const uint32_t hostMask = bits == 0 ? 0xFFFFFFFFu : (uint32_t(1) << (32 - bits)) - 1;
    parsed.range = {address & ~hostMask, address | hostMask};
    return parsed;
}

SweepTargets::Parsed SweepTargets::parseRange(const std::string &text, size_t dash, const std::string &target)
{
    Parsed parsed;
    const std::string first = text.substr(0, dash), last = text.substr(dash + 1);
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

// text: the target without its zone.
SweepTargets::Parsed SweepTargets::parseAddresses(const std::string &text, const std::string &target)
{
    const size_t slash = text.find('/');
    if (slash != std::string::npos)
        return parseBlock(text, slash, target);
    const size_t dash = text.find('-');
    if (dash != std::string::npos)
        return parseRange(text, dash, target);
    Parsed parsed;
    parsed.v6 = text.find(':') != std::string::npos;
    if (parsed.v6) {
        const Wide address = address6Of(text, target);
        parsed.range6 = {address, address};
    } else {
        const uint32_t address = addressOf(text, target);
        parsed.range = {address, address};
    }
    return parsed;
}

// The zone runs from its '%' to the end, or to the prefix length: fe80::1%eth0, fe80::1-fe80::9%eth0,
// fe80::%eth0/120 and fe80::/120%eth0.
SweepTargets::Parsed SweepTargets::parseTarget(const std::string &target)
{
    const size_t percent = target.find('%');
    if (percent == std::string::npos)
        return parseAddresses(target, target);
    const size_t zoneEnd = std::min(target.find('/', percent), target.size());
    Parsed parsed = parseAddresses(target.substr(0, percent) + target.substr(zoneEnd), target);
    if (!parsed.v6)
        throw std::invalid_argument("'" + target + "': only an IPv6 address takes a zone");
    parsed.range6.scope = scopeOf(target.substr(percent + 1, zoneEnd - percent - 1), target);
    return parsed;
}

void SweepTargets::add(const std::string &target)
{
    const Parsed parsed = parseTarget(target);
    if (parsed.v6 && parsed.range6.last - parsed.range6.first >= MaxIpv6Target)
        throw std::invalid_argument("'" + target + "': an IPv6 range or block may hold " +
                                    std::to_string(MaxIpv6Target) + " addresses at most (a /112)");
    m_counted = false;
    if (parsed.v6)
        m_v6.gather(m_v6.comingIn, parsed.range6);
    else
        m_v4.gather(m_v4.comingIn, parsed.range);
}

void SweepTargets::add(const IpAddress &address)
{
    m_counted = false;
    if (address.isV4())
        m_v4.gather(m_v4.comingIn, Range{ntohl(address.v4()), ntohl(address.v4())});
    else
        m_v6.gather(m_v6.comingIn, Range6{wideOf(address), wideOf(address), address.scopeId()});
}

void SweepTargets::exclude(const std::string &target)
{
    const Parsed cut = parseTarget(target);
    m_counted = false;
    if (cut.v6)
        m_v6.gather(m_v6.goingOut, cut.range6);
    else
        m_v4.gather(m_v4.goingOut, cut.range);
}

void SweepTargets::settle() const
{
    m_v4.settle();
    m_v6.settle();
    if (!m_counted)
        m_count = countOf(m_v4.kept) + countOf(m_v6.kept);
    m_counted = true;
}

const std::vector<SweepTargets::Range> &SweepTargets::ranges() const
{
    settle();
    return m_v4.kept;
}

const std::vector<SweepTargets::Range6> &SweepTargets::ranges6() const
{
    settle();
    return m_v6.kept;
}

uint64_t SweepTargets::count() const
{
    settle();
    return m_count;
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
