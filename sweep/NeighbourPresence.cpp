#include "NeighbourPresence.h"

#include <functional>
#include <set>
#include <utility>

NeighbourPresence::NeighbourPresence(int rate, int timeoutMs, std::string makersFile)
    : m_search(rate, timeoutMs), m_makers(std::move(makersFile))
{
}

void NeighbourPresence::prepare(const Sweep &sweep)
{
    m_search.prepare([&sweep](const std::function<void(const IpAddress &)> &take) { sweep.eachAddress(take); });
    m_prepared = true;
}

void NeighbourPresence::run(const Sweep &sweep, SweepReport &report)
{
    if (!m_prepared)
        prepare(sweep);
    const std::set<IpAddress> echoed = report.hostsAnswered();
    m_search.run(echoed);
    for (const auto &[address, hardware] : m_search.found()) {
        HostPresence &found = report.presence[address];
        if (echoed.count(address) == 0)
            found.method = address.isV4() ? HostPresence::Method::Arp : HostPresence::Method::Nd;
        found.hardware = hardware.toString();
        found.maker = m_makers.makerOf(hardware);
    }
}

std::vector<std::string> NeighbourPresence::shortfalls()
{
    std::vector<std::string> told;
    if (m_search.unreadable())
        told.emplace_back("the neighbour table cannot be read: hosts that do not answer echo are missing");
    if (m_search.beyond() != 0)
        told.push_back(std::to_string(m_search.beyond()) +
                       " more targets on this host's links were not asked: at most " +
                       std::to_string(NeighbourSearch::MaxAsked) + " are");
    if (!m_search.helperFailure().empty())
        told.push_back(m_search.helperFailure() + ": the link's hosts were asked through the neighbour table instead");
    if (m_search.refused() != 0)
        told.push_back(m_search.refusal() + ": " + std::to_string(m_search.refused()) +
                       " targets on this host's links could not be asked");
    if (std::string failure = m_makers.takeFailure(); !failure.empty())
        told.push_back(std::move(failure));
    return told;
}
