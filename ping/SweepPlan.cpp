#include "SweepPlan.h"

#include "icmp.h"

#include <algorithm>

SweepPlan::SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
                     const HandOver &handOver)
    : targets(targets), payload(TICMP::payloadOf(settings.size)), timeoutNs(int64_t(settings.timeoutMs) * 1000000),
      heard((targets.count() + 63) / 64, 0), stop(stop), stopFd(stopFd), handOver(handOver)
{
    uint64_t first = 0;
    for (const SweepTargets::Range &range : targets.ranges()) {
        rangeTargets.push_back(first);
        first += uint64_t(range.last) - range.first + 1;
    }
}

uint32_t SweepPlan::targetOf(uint32_t address) const
{
    const std::vector<SweepTargets::Range> &ranges = targets.ranges();
    const auto after =
        std::upper_bound(ranges.begin(), ranges.end(), address,
                         [](uint32_t value, const SweepTargets::Range &range) { return value < range.first; });
    const auto range = size_t(after - ranges.begin()) - 1;
    return uint32_t(rangeTargets[range] + (address - ranges[range].first));
}
