#pragma once
#include "HistoryAnswer.h"
#include "sweep/Sweep.h"

#include <cstdint>

// What a sweep's answer (a reply or an ICMP error) is in the history: the command line's --record and
// the fast page keep it alike, at the time its request went out. Silent addresses give none: a
// sweep's targets are many.
class SweepRecording {
public:
    static HistoryAnswer answerOf(const Sweep::Answer &answer, int64_t finalAtMs);
};
