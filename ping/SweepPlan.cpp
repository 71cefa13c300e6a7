#include "SweepPlan.h"

#include "icmp.h"

#include <arpa/inet.h>

#include <algorithm>

SweepPlan::SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
                     const HandOver &handOver)
    : targets(targets), payload(TICMP::payloadOf(settings.size)), timeoutNs(int64_t(settings.timeoutMs) * 1000000),
      stop(stop), stopFd(stopFd), handOver(handOver)
{
    uint64_t next = 0;
    for (const SweepTargets::Range &range : targets.ranges()) {
        runs.push_back({next, uint64_t(range.last) - range.first + 1, false, range.first});
        next += runs.back().size;
    }
    firstIpv6 = (next + 63) / 64 * 64;
    next = firstIpv6;
    for (const SweepTargets::Range6 &range : targets.ranges6()) {
        runs.push_back({next, uint64_t(range.last - range.first) + 1, true, range.first});
        next += runs.back().size;
    }
    end = next;
    heard.assign((end + 63) / 64, 0);
}

IpAddress SweepPlan::addressIn(const Run &run, uint64_t offset) const
{
    if (run.v6)
        return SweepTargets::addressOf(run.first + offset);
    return IpAddress::v4(htonl(uint32_t(run.first + offset)));
}

IpAddress SweepPlan::addressOf(uint64_t target) const
{
    const auto after = std::upper_bound(runs.begin(), runs.end(), target,
                                        [](uint64_t value, const Run &run) { return value < run.firstTarget; });
    const Run &run = *(after - 1);
    return addressIn(run, target - run.firstTarget);
}
