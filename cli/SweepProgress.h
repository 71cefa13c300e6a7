#pragma once
#include "sweep/Sweep.h"

#include <cstdint>
#include <ostream>
#include <string>

// Where a sweep stands, on standard error: requests sent of the addresses, answers, the rate of the
// last moments and the time left. On a terminal one line rewritten four times a second and taken
// away at the end; elsewhere (asked for with --progress) a line a second, for a log.
class SweepProgress {
public:
    SweepProgress(std::ostream &err, bool terminal, int timeoutMs);

    // With the sweep's progress and the monotonic time, in nanoseconds; shown when due.
    void update(const Sweep::Progress &now, int64_t nowNs);
    // Once the sweep is over.
    void finish();

    // rate: requests a second; secondsLeft < 0 when not known yet.
    static std::string lineOf(const Sweep::Progress &now, double rate, double secondsLeft);

private:
    std::ostream &m_err;
    const bool m_terminal;
    const double m_timeoutSeconds;
    int64_t m_startNs = -1;
    int64_t m_nextNs = 0;
    int64_t m_lastNs = 0;
    int64_t m_allSentNs = -1; // when the last of the first requests went
    uint64_t m_lastSent = 0;
    double m_rate = 0;
    bool m_shown = false;
};
