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
           leftText(secondsLeft);
}

std::string SweepProgress::namesLineOf(uint64_t done, uint64_t total, uint64_t found, double rate, double secondsLeft)
{
    return "names: " + std::to_string(done) + " of " + std::to_string(total) + " looked up, " + std::to_string(found) +
           " found, " + std::to_string(std::llround(rate)) + "/s, " + leftText(secondsLeft);
}

std::string SweepProgress::leftText(double secondsLeft)
{
    return secondsLeft < 0 ? std::string("time left not known yet") : durationText(secondsLeft) + " left";
}

void SweepProgress::update(const Sweep::Progress &now, int64_t nowNs)
{
    if (!due(now.sent, nowNs))
        return;
    const uint64_t unsent = now.addresses - std::min(now.addresses, now.sent + now.unsent);
    if (unsent == 0 && m_allSentNs < 0)
        m_allSentNs = nowNs;
    const double waited = double(nowNs - m_allSentNs) / Second;
    const double left = unsent == 0  ? std::max(0.0, m_timeoutSeconds - waited)
                        : m_rate > 0 ? double(unsent) / m_rate + m_timeoutSeconds
                                     : -1;
    show(lineOf(now, m_rate, left));
}

void SweepProgress::updateNames(uint64_t done, uint64_t total, uint64_t found, int64_t nowNs)
{
    if (!due(done, nowNs))
        return;
    // Lookups that run out of time end together, a batch at a time: the rate is the whole phase's.
    const double rate = double(done) * Second / double(nowNs - m_startNs);
    const double left = rate > 0 ? double(total - std::min(total, done)) / rate : -1;
    show(namesLineOf(done, total, found, rate, left));
}

// Whether a line is due, with the rate of count smoothed over about a second, so that the time left
// does not jump with each batch.
bool SweepProgress::due(uint64_t count, int64_t nowNs)
{
    const int64_t interval = m_terminal ? Second / 4 : Second;
    if (m_startNs < 0) {
        m_startNs = m_lastNs = nowNs;
        m_lastCount = count;
        m_nextNs = nowNs + interval;
        return false;
    }
    if (nowNs < m_nextNs)
        return false;
    const double seconds = double(nowNs - m_lastNs) / Second;
    const double recent = double(count - m_lastCount) / seconds;
    const double weight = std::min(1.0, seconds);
    m_rate = m_shown ? m_rate + (recent - m_rate) * weight : recent;
    m_lastNs = nowNs;
    m_lastCount = count;
    m_nextNs = nowNs + interval;
    return true;
}

void SweepProgress::show(const std::string &line)
{
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
