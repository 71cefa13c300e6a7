#pragma once
#include "history/HistoryAnswer.h"
#include "history/HistoryFigures.h"
#include "history/Reachability.h"

#include <optional>
#include <string>
#include <vector>

// A machine on the Monitor: its state as its answers over the span tell, its last answer, and its
// figures over the whole span and by the chart's periods.
struct MonitorRow {
    std::string machine;
    Reachability::Machine state;
    std::optional<HistoryAnswer> last;
    HistoryFigures span;
    std::vector<HistoryFigures> periods;
    bool read = false; // false while only its name is known
};
