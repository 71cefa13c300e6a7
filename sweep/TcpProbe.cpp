#include "TcpProbe.h"

#include "SweepClock.h"

#include <arpa/inet.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr int64_t Millisecond = 1000000;
constexpr int64_t Forever = std::numeric_limits<int64_t>::max();

void checkSettings(const TcpProbe::Settings &settings)
{
    using Settings = TcpProbe::Settings;
    if (settings.ports.empty())
        throw std::invalid_argument("no TCP ports to try");
    if (settings.rate < 1 || settings.rate > Settings::MaxRate)
        throw std::invalid_argument("the TCP rate must be from 1 to " + std::to_string(Settings::MaxRate));
    if (settings.inFlight < 1 || settings.inFlight > Settings::MaxInFlight)
        throw std::invalid_argument("the TCP attempts in flight must be from 1 to " +
                                    std::to_string(Settings::MaxInFlight));
    if (settings.timeoutMs < 1 || settings.timeoutMs > Settings::MaxTimeoutMs)
        throw std::invalid_argument("the TCP time-out must be from 1 to " + std::to_string(Settings::MaxTimeoutMs) +
                                    " ms");
}

} // namespace

TcpProbe::TcpProbe(const SweepTargets &targets, const Settings &settings)
    : m_targets(targets), m_settings(settings), m_bound(boundOf(settings.inFlight))
{
    checkSettings(settings);
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0)
        throw std::runtime_error(std::string("cannot make the TCP probe stoppable: ") + std::strerror(errno));
    m_progress.addresses = targets.count();
    settleWalk();
}

TcpProbe::~TcpProbe()
{
    ::close(m_stopFd);
}

// A quarter of the descriptors this process may have, so that the rest of the program keeps room.
size_t TcpProbe::boundOf(int inFlight)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return size_t(inFlight);
    return std::max<size_t>(1, std::min<size_t>(size_t(inFlight), limit.rlim_cur / 4));
}

// The descriptor is never read: once written, it wakes every wait until the probe is gone.
void TcpProbe::stop()
{
    m_stopped = true;
    const uint64_t one = 1;
    // Only a full counter refuses, and a full one is readable all the same.
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

void TcpProbe::run()
{
    TcpAttempts attempts(m_stopFd);
    std::vector<TcpAttempts::Ended> ended;
    const SweepClock &clock = SweepClock::monotonic();
    m_throttle.restart(clock.nowNs(), m_settings.rate);
    while (!m_stopped) {
        startAttempts(attempts, ended, clock.nowNs());
        settle(ended);
        const bool pending = !m_nextPorts.empty() || !walked();
        if (!pending && attempts.size() == 0)
            break;
        const int64_t nowNs = clock.nowNs();
        const bool room = pending && attempts.size() < m_bound;
        attempts.wait(nowNs, room ? m_throttle.nextBatchNs(nowNs) : Forever, ended);
        settle(ended);
    }
    std::sort(m_answers.begin(), m_answers.end(),
              [](const Answer &a, const Answer &b) { return a.address < b.address; });
}

void TcpProbe::startAttempts(TcpAttempts &attempts, std::vector<TcpAttempts::Ended> &ended, int64_t nowNs)
{
    TcpAttempts::Target target;
    while (attempts.size() < m_bound && m_throttle.tokensAt(nowNs) >= 1 && nextTarget(target)) {
        if (!startOne(attempts, target, ended))
            return;
    }
}

// A process out of descriptors (or of local ports) waits for attempts in flight to end, and holds to
// fewer from then on; with none in flight, it cannot probe at all.
bool TcpProbe::startOne(TcpAttempts &attempts, const TcpAttempts::Target &target,
                        std::vector<TcpAttempts::Ended> &ended)
{
    const int64_t deadlineNs = SweepClock::monotonic().nowNs() + m_settings.timeoutMs * Millisecond;
    if (attempts.start(target, m_settings.ports[target.portIndex], deadlineNs, ended)) {
        m_throttle.spend(1);
        ++m_progress.attempts;
        return true;
    }
    const int error = errno;
    if (attempts.size() == 0)
        throw std::runtime_error(std::string("cannot open a TCP socket: ") + std::strerror(error));
    m_bound = attempts.size();
    m_nextPorts.push_front(target);
    return false;
}

void TcpProbe::settle(std::vector<TcpAttempts::Ended> &ended)
{
    for (const TcpAttempts::Ended &end : ended) {
        const size_t portIndex = end.target.portIndex;
        if (end.outcome == TcpAttempts::Outcome::Open || end.outcome == TcpAttempts::Outcome::Closed) {
            m_answers.push_back(
                {end.target.address, m_settings.ports[portIndex], end.outcome == TcpAttempts::Outcome::Open});
            continue;
        }
        if (end.outcome == TcpAttempts::Outcome::Refused)
            ++m_progress.refused;
        if (portIndex + 1 < m_settings.ports.size())
            m_nextPorts.push_back({end.target.address, portIndex + 1});
    }
    ended.clear();
}

bool TcpProbe::nextTarget(TcpAttempts::Target &target)
{
    if (!m_nextPorts.empty()) {
        target = m_nextPorts.front();
        m_nextPorts.pop_front();
        return true;
    }
    if (walked())
        return false;
    target = {walkAddress(), 0};
    advance();
    return true;
}

bool TcpProbe::walked() const
{
    return m_walk.v6 && m_walk.range >= m_targets.ranges6().size();
}

IpAddress TcpProbe::walkAddress() const
{
    if (!m_walk.v6)
        return IpAddress::v4(htonl(m_targets.ranges()[m_walk.range].first + uint32_t(m_walk.offset)));
    const SweepTargets::Range6 &range = m_targets.ranges6()[m_walk.range];
    return SweepTargets::addressOf(range.first + m_walk.offset, range.scope);
}

// On to the next address, the next range, the next family: the walk always stands on an address, or
// past the last.
void TcpProbe::advance()
{
    ++m_walk.offset;
    settleWalk();
}

void TcpProbe::settleWalk()
{
    while (!walked()) {
        if (!m_walk.v6 && m_walk.range >= m_targets.ranges().size()) {
            m_walk = {0, 0, true};
            continue;
        }
        if (offsetInRange())
            return;
        m_walk = {m_walk.range + 1, 0, m_walk.v6};
    }
}

bool TcpProbe::offsetInRange() const
{
    if (m_walk.v6) {
        const SweepTargets::Range6 &range = m_targets.ranges6()[m_walk.range];
        return SweepTargets::Wide(m_walk.offset) <= range.last - range.first;
    }
    const SweepTargets::Range &range = m_targets.ranges()[m_walk.range];
    return m_walk.offset <= uint64_t(range.last - range.first);
}
