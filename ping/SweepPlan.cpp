#include "SweepPlan.h"

#include "EchoTerms.h"

#include <algorithm>

SweepPlan::SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
                     const HandOver &handOver)
    : targets(targets), settings(settings), payload(EchoTerms::payloadOf(settings.size)),
      timeoutNs(int64_t(settings.timeoutMs) * 1000000), heard((members() + 63) / 64, 0), stop(stop), stopFd(stopFd),
      handOver(handOver)
{
    uint64_t first = 0;
    for (const SweepTargets::Range &range : targets.ranges()) {
        rangeTargets.push_back(first);
        first += uint64_t(range.last) - range.first + 1;
    }
}

uint32_t SweepPlan::addressOf(uint64_t member, size_t &range) const
{
    const uint64_t target = settings.shardIndex + settings.shardCount * member;
    const auto within = [&](size_t each) {
        return each < rangeTargets.size() && rangeTargets[each] <= target &&
               (each + 1 == rangeTargets.size() || target < rangeTargets[each + 1]);
    };
    if (!within(range) && !within(++range))
        range = size_t(std::upper_bound(rangeTargets.begin(), rangeTargets.end(), target) - rangeTargets.begin()) - 1;
    return targets.ranges()[range].first + uint32_t(target - rangeTargets[range]);
}

namespace {

// How many of the targets lie below address (a 33-bit number, so that the last address has one above).
uint64_t targetsBelow(const SweepTargets &targets, const std::vector<uint64_t> &rangeTargets, uint64_t address)
{
    const std::vector<SweepTargets::Range> &ranges = targets.ranges();
    const auto after =
        std::upper_bound(ranges.begin(), ranges.end(), address,
                         [](uint64_t value, const SweepTargets::Range &range) { return value < range.first; });
    if (after == ranges.begin())
        return 0;
    const auto range = size_t(after - ranges.begin()) - 1;
    return rangeTargets[range] + std::min<uint64_t>(address, uint64_t(ranges[range].last) + 1) - ranges[range].first;
}

} // namespace

uint64_t SweepPlan::memberOf(uint32_t address) const
{
    return (targetsBelow(targets, rangeTargets, address) - settings.shardIndex) / settings.shardCount;
}

std::pair<uint64_t, uint64_t> SweepPlan::membersWithin(uint32_t first, uint32_t last) const
{
    return {settings.shareOf(targetsBelow(targets, rangeTargets, first)),
            settings.shareOf(targetsBelow(targets, rangeTargets, uint64_t(last) + 1))};
}
