#include "SweepRecording.h"

#include "echo/EchoTerms.h"
#include "platform/IcmpTypes.h"

#include <cmath>

HistoryAnswer SweepRecording::answerOf(const Sweep::Answer &answer, int64_t finalAtMs)
{
    HistoryAnswer kept;
    kept.machine = answer.address.toString();
    kept.answered = answer.status == IP_SUCCESS;
    kept.rttMs = kept.answered ? uint32_t(std::lround(answer.rttMs)) : 0;
    kept.atMs = finalAtMs - int64_t(kept.rttMs);
    if (!kept.answered)
        kept.status = EchoTerms::errorText(int(answer.status));
    return kept;
}
