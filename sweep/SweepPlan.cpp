#include "SweepPlan.h"

#include "echo/EchoTerms.h"

#include <arpa/inet.h>

#include <algorithm>

SweepPlan::SweepPlan(const SweepTargets &targets, const SweepSettings &settings, SweepNetwork &network,
                     std::atomic<bool> &stop, int stopFd, const HandOver &handOver)
    : settings(settings), network(network), payload(EchoTerms::payloadOf(settings.size)),
      timeoutNs(int64_t(settings.timeoutMs) * 1000000), stop(stop), stopFd(stopFd), handOver(handOver)
{
    uint64_t next = 0;
    for (const SweepTargets::Range &range : targets.ranges()) {
        runs.push_back({next, uint64_t(range.last) - range.first + 1, false, 0, range.first});
        next += runs.back().size;
    }
    runs4 = runs.size();
    members4 = settings.shareOf(next);
    for (const SweepTargets::Range6 &range : targets.ranges6()) {
        runs.push_back({next, uint64_t(range.last - range.first) + 1, true, range.scope, range.first});
        next += runs.back().size;
    }
    firstIpv6 = (members4 + 63) / 64 * 64;
    end = firstIpv6 + settings.shareOf(next) - members4;
    heard.assign((end + 63) / 64, 0);
}

IpAddress SweepPlan::addressOf(uint64_t member, size_t &run) const
{
    const uint64_t ofShard = member < firstIpv6 ? member : member - firstIpv6 + members4;
    const uint64_t target = settings.shardIndex + settings.shardCount * ofShard;
    const auto within = [&](size_t each) {
        return each < runs.size() && runs[each].firstTarget <= target &&
               target - runs[each].firstTarget < runs[each].size;
    };
    if (!within(run) && !within(++run))
        run = size_t(std::upper_bound(runs.begin(), runs.end(), target,
                                      [](uint64_t value, const Run &each) { return value < each.firstTarget; }) -
                     runs.begin()) -
              1;
    const Run &found = runs[run];
    const uint64_t offset = target - found.firstTarget;
    if (found.v6)
        return SweepTargets::addressOf(found.first + offset, found.scope);
    return IpAddress::v4(htonl(uint32_t(found.first + offset)));
}

IpAddress SweepPlan::addressOf(uint64_t member) const
{
    size_t run = 0;
    return addressOf(member, run);
}

namespace {

// How many of the IPv4 targets lie below address (a 33-bit number, so that the last address has one above).
uint64_t targetsBelow(const std::vector<SweepPlan::Run> &runs, size_t runs4, uint64_t address)
{
    const auto after = std::upper_bound(runs.begin(), runs.begin() + ptrdiff_t(runs4), address,
                                        [](uint64_t value, const SweepPlan::Run &run) { return value < run.first; });
    if (after == runs.begin())
        return 0;
    const SweepPlan::Run &run = *(after - 1);
    return run.firstTarget + std::min<uint64_t>(address - uint64_t(run.first), run.size);
}

} // namespace

std::pair<uint64_t, uint64_t> SweepPlan::membersWithin(uint32_t first, uint32_t last) const
{
    return {settings.shareOf(targetsBelow(runs, runs4, first)),
            settings.shareOf(targetsBelow(runs, runs4, uint64_t(last) + 1))};
}
