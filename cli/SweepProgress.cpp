#include "SweepProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int64_t Second = 1000000000;

std::string durationText(double seconds)
{
    const auto whole = int64_t(std::ceil(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                      static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                      static_cast<long long>(whole % 60));
    return text;
}

} // namespace

SweepProgress::SweepProgress(std::ostream &err, bool terminal, int timeoutMs)
    : m_err(err), m_terminal(terminal), m_timeoutSeconds(timeoutMs / 1000.0)
{
}

std::string SweepProgress::lineOf(const Sweep::Progress &now, double rate, double secondsLeft)
{
    return "sweep: " + std::to_string(now.sent) + " sent to " + std::to_string(now.addresses) + " addresses, " +
           std::to_string(now.replies) + " answered, " + std::to_string(std::llround(rate)) + "/s, " +
           (secondsLeft < 0 ? std::string("time left not known yet") : durationText(secondsLeft) + " left");
}

// The rate is smoothed over about a second, so that the time left does not jump with each batch.
void SweepProgress::update(const Sweep::Progress &now, int64_t nowNs)
{
    if (m_startNs < 0) {
        m_startNs = m_lastNs = nowNs;
        m_nextNs = nowNs + (m_terminal ? Second / 4 : Second);
        return;
    }
    if (nowNs < m_nextNs)
        return;
    const double interval = double(nowNs - m_lastNs) / Second;
    const double recent = double(now.sent - m_lastSent) / interval;
    const double weight = std::min(1.0, interval);
    m_rate = m_shown ? m_rate + (recent - m_rate) * weight : recent;
    m_lastNs = nowNs;
    m_lastSent = now.sent;
    m_nextNs = nowNs + (m_terminal ? Second / 4 : Second);
    const uint64_t unsent = now.addresses - std::min(now.addresses, now.sent + now.unsent);
    if (unsent == 0 && m_allSentNs < 0)
        m_allSentNs = nowNs;
    const double waited = double(nowNs - m_allSentNs) / Second;
    const double left = unsent == 0  ? std::max(0.0, m_timeoutSeconds - waited)
                        : m_rate > 0 ? double(unsent) / m_rate + m_timeoutSeconds
                                     : -1;
    const std::string line = lineOf(now, m_rate, left);
    if (m_terminal)
        m_err << '\r' << line << "\x1b[K" << std::flush;
    else
        m_err << line << std::endl;
    m_shown = true;
}

void SweepProgress::finish()
{
    if (m_terminal && m_shown)
        m_err << "\r\x1b[K" << std::flush;
}
