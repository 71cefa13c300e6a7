#pragma once
#include "sweep/Sweep.h"

#include <cstdint>
#include <ostream>
#include <string>

// Where a sweep stands, on standard error: requests sent of the addresses, answers, the rate of the
// last moments and the time left; then, as the names of the hosts that answered are looked up, how
// many are done. On a terminal one line rewritten four times a second and taken away at the end;
// elsewhere (asked for with --progress) a line a second, for a log. One object a phase.
class SweepProgress {
public:
    SweepProgress(std::ostream &err, bool terminal, int timeoutMs);

    // With the sweep's progress and the monotonic time, in nanoseconds; shown when due.
    void update(const Sweep::Progress &now, int64_t nowNs);
    // With the lookups done of total and the names found so far.
    void updateNames(uint64_t done, uint64_t total, uint64_t found, int64_t nowNs);
    // Once the phase is over.
    void finish();

    // rate: requests a second; secondsLeft < 0 when not known yet.
    static std::string lineOf(const Sweep::Progress &now, double rate, double secondsLeft);

private:
    // rate: lookups a second.
    static std::string namesLineOf(uint64_t done, uint64_t total, uint64_t found, double rate, double secondsLeft);
    static std::string leftText(double secondsLeft);
    bool due(uint64_t count, int64_t nowNs);
    void show(const std::string &line);

    std::ostream &m_err;
    const bool m_terminal;
    const double m_timeoutSeconds;
    int64_t m_startNs = -1;
    int64_t m_nextNs = 0;
    int64_t m_lastNs = 0;
    int64_t m_allSentNs = -1; // when the last of the first requests went
    uint64_t m_lastCount = 0;
    double m_rate = 0;
    bool m_shown = false;
};
