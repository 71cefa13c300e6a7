#pragma once
#include "HistoryAnswer.h"

#include <cstdint>
#include <vector>

// What a machine's answers over a period come to: how many requests, how many went unanswered, and
// the shortest, median and longest round-trip times of those answered (0 when none was). The median
// of an even number is the lower of the two middle times, so that it is a time that was measured.
struct HistoryFigures {
    int64_t startMs = 0; // the period's start, for figures of a period
    int64_t count = 0;
    int64_t lost = 0;
    uint32_t minMs = 0;
    uint32_t medianMs = 0;
    uint32_t maxMs = 0;

    int64_t answered() const { return count - lost; }
    // lost / count; 0 for no request.
    double loss() const;

    // Exact, from every answer.
    static HistoryFigures of(const std::vector<HistoryAnswer> &answers);
    // One figure per period of spanMs (aligned on the epoch) that holds an answer, in time order;
    // the answers in time order.
    static std::vector<HistoryFigures> byPeriod(const std::vector<HistoryAnswer> &answers, int64_t spanMs);
    // Figures of periods (in time order) taken together by longer periods of spanMs.
    static std::vector<HistoryFigures> regroup(const std::vector<HistoryFigures> &periods, int64_t spanMs);
    // Figures of periods taken together, starting at the first one's: counts, shortest and longest
    // exact; the median is the median of the periods' medians, each weighted by its answers.
    static HistoryFigures combine(std::vector<HistoryFigures> periods);
    static int64_t periodStart(int64_t ms, int64_t spanMs);
};
