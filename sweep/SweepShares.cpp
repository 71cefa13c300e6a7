#include "SweepShares.h"

#include "SweepSender.h"
#include "SweepWorker.h"

#include <netinet/in.h>

#include <algorithm>
#include <cmath>

namespace {

// The receive queue holds this long's answers at the rate, at what the kernel charges for each.
constexpr double BufferedSeconds = 0.025;
constexpr double BytesPerAnswer = 1024;
constexpr double MinReceiveBuffer = 8 << 20;
constexpr double MaxReceiveBuffer = 64 << 20;
// What one core sends a second with time to spare for the answers, at the kernel's cost of a few
// microseconds a request: a faster rate takes another sender.
constexpr double RatePerWorker = 250000;
// Below this many targets each, another sender costs more than it saves.
constexpr uint64_t MinTargetsPerWorker = 4096;

uint64_t slotsOf(unsigned identifiers)
{
    return uint64_t(identifiers) * SweepSender::SlotsPerIdentifier;
}

} // namespace

SweepShares::SweepShares(const SweepSettings &settings, uint64_t members4, uint64_t firstIpv6, uint64_t end,
                         unsigned mostSenders)
    : m_settings(settings)
{
    const uint64_t members = members4 + (end - firstIpv6);
    if (members4 != 0)
        m_families.push_back(familyOf(AF_INET, 0, members4, members, mostSenders));
    if (end > firstIpv6)
        m_families.push_back(familyOf(AF_INET6, firstIpv6, end, members, mostSenders));
}

SweepShares::Family SweepShares::familyOf(int family, uint64_t first, uint64_t end, uint64_t members,
                                          unsigned mostSenders) const
{
    Family targets{family, first, end, double(end - first) / double(members), 1, 1};
    const double byRate = std::ceil(m_settings.rate * targets.share / RatePerWorker);
    const double byTargets = double(targets.count() / MinTargetsPerWorker);
    targets.workers = unsigned(std::max(1.0, std::min({byRate, byTargets, double(mostSenders)})));
    targets.identifiers = identifiersFor(targets, targets.workers);
    return targets;
}

// Enough slots for the requests that wait out their time-out at each one's share of the rate, and a
// batch more.
unsigned SweepShares::identifiersFor(const Family &family, unsigned workers) const
{
    const double waiting = m_settings.rate * family.share / double(workers) * (m_settings.timeoutMs / 1000.0 + 0.01) +
                           SweepWorker::MaxBatch;
    const double needed = std::min(waiting, double(family.count()) / workers + SweepWorker::MaxBatch);
    unsigned identifiers = 1;
    while (identifiers * 2 * workers <= MaxIdentifiers && double(slotsOf(identifiers)) < needed)
        identifiers *= 2;
    return identifiers;
}

// Each family's share of the rate must leave no more requests waiting than it has slots.
int SweepShares::effectiveRate() const
{
    double allowed = m_settings.rate;
    for (const Family &family : m_families) {
        const uint64_t slotCount = slotsOf(family.identifiers) * family.workers;
        if (family.count() > slotCount)
            allowed = std::min(allowed, double(slotCount) * 1000.0 / m_settings.timeoutMs / family.share);
    }
    return int(std::floor(allowed));
}

int SweepShares::receiveBufferFor(const Family &family) const
{
    if (m_settings.receiveBufferBytes != 0)
        return m_settings.receiveBufferBytes;
    const double share = m_settings.rate * family.share / family.workers;
    return int(std::clamp(share * BufferedSeconds * BytesPerAnswer, MinReceiveBuffer, MaxReceiveBuffer));
}
