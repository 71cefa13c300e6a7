#include "SweepRefusals.h"

#include "SweepPlan.h"

#include <arpa/inet.h>

#include <algorithm>

void SweepRefusals::refuse(const IpAddress &address, uint32_t status)
{
    SweepFindings::Unsent &unsent = unsentOf(status);
    if (unsent.first.size() < SweepFindings::Unsent::Listed)
        unsent.first.push_back(address);
    ++unsent.count;
}

uint64_t SweepRefusals::refuseAlike(const IpAddress &address, uint64_t member, uint32_t status, uint64_t first,
                                    uint64_t end, const std::function<bool(uint64_t member)> &take)
{
    SweepFindings::Unsent &unsent = unsentOf(status);
    uint64_t count = 0;
    size_t range = 0;
    const auto refuseWithin = [&](std::pair<uint64_t, uint64_t> members) {
        for (uint64_t each = std::max(members.first, first); each < std::min(members.second, end); ++each) {
            if (!take(each))
                continue;
            if (unsent.first.size() < SweepFindings::Unsent::Listed)
                unsent.first.push_back(m_plan.addressOf(each, range));
            ++count;
        }
    };
    // The IPv6 routes are not read: an unrouted IPv6 address is refused alone.
    if (address.isV6()) {
        refuseWithin({member, member + 1});
    } else {
        const uint32_t host = ntohl(address.v4());
        const Routes::Block block = m_plan.network.routedAlike(host);
        // The refused one first.
        refuseWithin(m_plan.membersWithin(host, block.last));
        refuseWithin(m_plan.membersWithin(block.first, host));
    }
    unsent.count += count;
    return count;
}

SweepFindings::Unsent &SweepRefusals::unsentOf(uint32_t status)
{
    auto unsent = std::find_if(m_unsent.begin(), m_unsent.end(),
                               [status](const SweepFindings::Unsent &each) { return each.status == status; });
    if (unsent == m_unsent.end())
        unsent = m_unsent.insert(m_unsent.end(), SweepFindings::Unsent{status, 0, {}});
    return *unsent;
}
