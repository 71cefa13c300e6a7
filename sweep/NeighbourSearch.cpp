#include "NeighbourSearch.h"

#include "HelperArp.h"
#include "platform/DirectLinks.h"
#include "platform/FramesPermission.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The discard service: a host that has it throws the datagram away, one that has not answers at
// most with an ICMP error, which an unconnected socket never reports.
constexpr uint16_t DiscardPort = 9;
constexpr auto PollInterval = std::chrono::milliseconds(20);
// The kernel's defaults give a stale entry 5 s before its first check, then three a second apart.
constexpr auto StaleCheckWait = std::chrono::seconds(10);

bool inBatch(const std::vector<IpAddress> &batch, const IpAddress &address)
{
    return std::binary_search(batch.begin(), batch.end(), address);
}

} // namespace

NeighbourSearch::NeighbourSearch(int rate, int timeoutMs)
    : m_rate(std::clamp(rate, 1, MaxRate)), m_timeoutMs(std::max(timeoutMs, 1)),
      m_socket4(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)),
      m_socket6(socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
{
}

struct NeighbourSearch::LinkHelper {
    std::unique_ptr<HelperArp> arp;
    std::vector<IpAddress> targets;
};

NeighbourSearch::~NeighbourSearch() = default;

void NeighbourSearch::takeTargets(const EachTarget &eachTarget, std::map<int, std::vector<IpAddress>> &byHelper)
{
    const DirectLinks links;
    const bool helper = FramesPermission::refusalForThisProcess().empty();
    uint64_t taken = 0;
    eachTarget([&](const IpAddress &target) {
        const int link = m_stopped ? 0 : links.linkOf(target);
        if (link == 0)
            return;
        if (taken++ >= MaxAsked)
            ++m_beyond;
        else if (helper && target.isV4())
            byHelper[link].push_back(target);
        else
            m_byTable.push_back(target);
    });
}

// A link the helper cannot ask goes the kernel's way.
void NeighbourSearch::prepare(const EachTarget &eachTarget)
{
    std::map<int, std::vector<IpAddress>> byHelper;
    takeTargets(eachTarget, byHelper);
    for (auto &[link, targets] : byHelper) {
        try {
            m_byHelper.push_back({std::make_unique<HelperArp>(link, m_rate), std::move(targets)});
        } catch (const std::runtime_error &e) {
            if (m_helperFailure.empty())
                m_helperFailure = e.what();
            m_byTable.insert(m_byTable.end(), targets.begin(), targets.end());
        }
    }
}

void NeighbourSearch::run(const std::set<IpAddress> &present)
{
    m_present = present;
    m_nextSend = Clock::now();
    for (LinkHelper &helper : m_byHelper) {
        const std::vector<IpAddress> left = askByHelper(*helper.arp, helper.targets);
        m_byTable.insert(m_byTable.end(), left.begin(), left.end());
        helper.arp.reset();
    }
    askByTable(m_byTable);
    confirmStale();
}

void NeighbourSearch::askByTable(const std::vector<IpAddress> &targets)
{
    for (size_t first = 0; first < targets.size() && !m_stopped && !m_unreadable; first += Window) {
        const auto end = targets.begin() + std::min(first + Window, targets.size());
        askBatch(std::vector<IpAddress>(targets.begin() + first, end));
    }
}

// A batch the helper refused or could not ask goes the kernel's way, with those after it.
std::vector<IpAddress> NeighbourSearch::askByHelper(HelperArp &arp, const std::vector<IpAddress> &targets)
{
    int error = 0;
    size_t first = 0;
    for (; first < targets.size() && !m_stopped; first += HelperArp::MaxBatch) {
        const auto end = targets.begin() + std::min(first + HelperArp::MaxBatch, targets.size());
        const std::optional<HelperArp::Found> found =
            arp.ask(std::vector<IpAddress>(targets.begin() + first, end), m_timeoutMs, m_stopped, m_refused, error);
        if (!found)
            break;
        m_asked += uint64_t(end - (targets.begin() + first));
        m_found.insert(found->begin(), found->end());
    }
    if (error != 0 && m_refusal.empty())
        m_refusal = std::strerror(error);
    if (first < targets.size() && !m_stopped && m_helperFailure.empty())
        m_helperFailure = "the helper could not ask the link by ARP";
    return std::vector<IpAddress>(targets.begin() + std::min(first, targets.size()), targets.end());
}

void NeighbourSearch::ask(const IpAddress &target)
{
    std::this_thread::sleep_until(m_nextSend);
    m_nextSend = std::max(m_nextSend + std::chrono::microseconds(1000000 / m_rate), Clock::now());
    sockaddr_storage to{};
    const socklen_t length = target.toSockaddr(to);
    reinterpret_cast<sockaddr_in &>(to).sin_port = htons(DiscardPort);
    const int fd = target.isV4() ? m_socket4.get() : m_socket6.get();
    ++m_asked;
    if (sendto(fd, "", 0, MSG_DONTWAIT, reinterpret_cast<const sockaddr *>(&to), length) >= 0)
        return;
    if (m_refused++ == 0 && m_refusal.empty())
        m_refusal = std::strerror(errno);
}

void NeighbourSearch::askBatch(std::vector<IpAddress> batch)
{
    for (const IpAddress &target : batch)
        if (!m_stopped)
            ask(target);
    std::sort(batch.begin(), batch.end());
    const std::optional<std::vector<NeighbourTable::Entry>> entries = answersTo(batch);
    if (!entries) {
        m_unreadable = true;
        return;
    }
    for (const NeighbourTable::Entry &entry : *entries) {
        if (entry.pending || !inBatch(batch, entry.address))
            continue;
        if (entry.confirmed || m_present.count(entry.address) != 0)
            m_found.emplace(entry.address, entry.hardware);
        else
            m_stale.emplace(entry.address, entry.hardware);
    }
}

// A checked entry becomes confirmed, or fails and leaves the table; one still being checked at the
// end of the wait did not answer.
void NeighbourSearch::confirmStale()
{
    const Clock::time_point deadline = Clock::now() + StaleCheckWait;
    while (!m_stale.empty() && !m_stopped && Clock::now() < deadline) {
        std::this_thread::sleep_for(PollInterval);
        const std::optional<std::vector<NeighbourTable::Entry>> entries = NeighbourTable::read();
        if (!entries) {
            m_unreadable = true;
            return;
        }
        std::map<IpAddress, HardwareAddress> checking;
        for (const NeighbourTable::Entry &entry : *entries) {
            if (m_stale.count(entry.address) == 0)
                continue;
            if (entry.confirmed)
                m_found.emplace(entry.address, entry.hardware);
            else if (!entry.pending)
                checking.emplace(entry.address, entry.hardware);
        }
        m_stale = std::move(checking);
    }
}

// The table once no target of the batch is still being asked, or once the time-out has passed.
std::optional<std::vector<NeighbourTable::Entry>> NeighbourSearch::answersTo(const std::vector<IpAddress> &batch) const
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    for (;;) {
        std::optional<std::vector<NeighbourTable::Entry>> entries = NeighbourTable::read();
        const bool asking = entries && std::any_of(entries->begin(), entries->end(), [&](const auto &entry) {
                                return entry.pending && inBatch(batch, entry.address);
                            });
        if (!asking || m_stopped || Clock::now() >= deadline)
            return entries;
        std::this_thread::sleep_for(std::min<Clock::duration>(PollInterval, deadline - Clock::now()));
    }
}
