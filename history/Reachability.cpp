#include "Reachability.h"

#include <algorithm>
#include <utility>

Reachability::Reachability(int downAfter) : m_downAfter(std::max(1, downAfter)) {}

void Reachability::setDownAfter(int requests)
{
    m_downAfter = std::max(1, requests);
}

void Reachability::answered(const std::string &name, int64_t atMs, uint32_t rttMs)
{
    Machine &m = machine(name, atMs);
    if (m.state == State::Down)
        m_changes.push_back({name, State::Up, atMs});
    if (m.state != State::Up)
        m.sinceMs = atMs;
    m.state = State::Up;
    m.lastAnswerMs = atMs;
    m.lastRttMs = rttMs;
    m.missed = 0;
}

// A machine that never answered since the watch began goes down as well: it is the one to tell.
void Reachability::missed(const std::string &name, int64_t atMs)
{
    Machine &m = machine(name, atMs);
    if (m.missed++ == 0)
        m.firstMissedMs = atMs;
    if (m.state == State::Down || m.missed < m_downAfter)
        return;
    m.state = State::Down;
    m.sinceMs = m.firstMissedMs;
    m_changes.push_back({name, State::Down, m.firstMissedMs});
}

std::vector<Reachability::Change> Reachability::endPass()
{
    return std::exchange(m_changes, {});
}

Reachability::Machine &Reachability::machine(const std::string &name, int64_t atMs)
{
    auto found = m_machines.find(name);
    if (found == m_machines.end()) {
        found = m_machines.emplace(name, Machine()).first;
        found->second.sinceMs = atMs;
    }
    return found->second;
}
