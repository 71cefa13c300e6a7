#pragma once
#include "MonitorRow.h"

#include <cstdint>
#include <string>

class HistoryStore;

// What the Monitor reads of a machine's history over one of its spans: the answers kept whole,
// and the figures of the minutes and hours kept of older ones, by the chart's periods.
class MonitorHistory {
public:
    enum class Span { TenMinutes, Hour, Day, Week };

    static int64_t lengthOf(Span span);
    // The chart's period for the span: a hundred-odd points at most.
    static int64_t periodOf(Span span);

    static MonitorRow read(const HistoryStore &store, const std::string &machine, Span span, int64_t nowMs,
                           int downAfter);

private:
    static std::vector<HistoryFigures> merged(std::vector<HistoryFigures> periods, int64_t periodMs);
};
