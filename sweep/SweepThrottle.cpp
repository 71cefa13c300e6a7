#include "SweepThrottle.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Second = 1e9;

} // namespace

void SweepThrottle::restart(int64_t nowNs, double rate)
{
    m_rate = rate;
    m_tokens = 1;
    m_refilledNs = nowNs;
}

double SweepThrottle::tokensAt(int64_t nowNs)
{
    const double burst = std::max(1.0, m_rate / 100.0);
    m_tokens = std::min(burst, m_tokens + double(nowNs - m_refilledNs) * m_rate / Second);
    m_refilledNs = nowNs;
    return m_tokens;
}

int64_t SweepThrottle::nextBatchNs(int64_t nowNs) const
{
    const double batch = std::min(std::max(1.0, m_rate / 100.0), std::max(1.0, m_rate / 1000.0));
    const double missing = std::max(0.0, batch - m_tokens);
    return nowNs + int64_t(std::ceil(missing * Second / m_rate));
}
