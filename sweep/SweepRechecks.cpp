#include "SweepRechecks.h"

void SweepRechecks::add(size_t answer, uint32_t target)
{
    m_rechecks.push_back({answer, target, 0, true});
    m_waiting.push_back(m_rechecks.size() - 1);
}

void SweepRechecks::sent(uint32_t slot)
{
    m_inFlight[slot] = m_waiting.front();
    m_waiting.pop_front();
}

bool SweepRechecks::refused(size_t &answer)
{
    const size_t which = m_waiting.front();
    m_waiting.pop_front();
    answer = m_rechecks[which].answer;
    return close(which);
}

bool SweepRechecks::inFlight(uint32_t slot, size_t &which)
{
    const auto found = m_inFlight.find(slot);
    if (found == m_inFlight.end())
        return false;
    which = found->second;
    m_inFlight.erase(found);
    return true;
}

bool SweepRechecks::close(size_t which)
{
    Recheck &recheck = m_rechecks[which];
    if (!recheck.open)
        return false;
    recheck.open = false;
    return true;
}

std::vector<size_t> SweepRechecks::closeAll()
{
    std::vector<size_t> settled;
    for (size_t which = 0; which < m_rechecks.size(); ++which)
        if (close(which))
            settled.push_back(m_rechecks[which].answer);
    return settled;
}
