#include "MonitorHistory.h"

#include "history/HistoryStore.h"

#include <algorithm>

namespace {
constexpr int64_t SecondMs = 1000;
constexpr int64_t MinuteMs = HistoryStore::MinuteMs;
constexpr int64_t HourMs = HistoryStore::HourMs;

void append(std::vector<HistoryFigures> &to, const std::vector<HistoryFigures> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

bool earlier(const HistoryFigures &a, const HistoryFigures &b)
{
    return a.startMs < b.startMs;
}
} // namespace

int64_t MonitorHistory::lengthOf(Span span)
{
    constexpr int64_t Lengths[] = {10 * MinuteMs, HourMs, 24 * HourMs, 7 * 24 * HourMs};
    return Lengths[int(span)];
}

int64_t MonitorHistory::periodOf(Span span)
{
    constexpr int64_t Periods[] = {10 * SecondMs, MinuteMs, 10 * MinuteMs, HourMs};
    return Periods[int(span)];
}

// The answers of the span, kept whole for the last day, tell the state exactly; older minutes and
// hours are only figures, which the chart and the span's figures take in too.
MonitorRow MonitorHistory::read(const HistoryStore &store, const std::string &machine, Span span, int64_t nowMs,
                                int downAfter)
{
    const int64_t from = nowMs - lengthOf(span);
    const int64_t to = nowMs + 1;
    const int64_t period = periodOf(span);
    MonitorRow row;
    row.machine = machine;
    row.read = true;
    row.last = store.lastAnswer(machine);
    const std::vector<HistoryAnswer> answers = store.answers(machine, from, to);
    Reachability reachability(downAfter);
    for (const HistoryAnswer &answer : answers) {
        if (answer.answered)
            reachability.answered(machine, answer.atMs, answer.rttMs);
        else
            reachability.missed(machine, answer.atMs);
    }
    if (!answers.empty())
        row.state = reachability.machines().at(machine);

    std::vector<HistoryFigures> aged = store.figures(machine, MinuteMs, from, to);
    append(aged, store.figures(machine, HourMs, from, to));
    std::stable_sort(aged.begin(), aged.end(), earlier);
    std::vector<HistoryFigures> whole = aged;
    if (!answers.empty())
        whole.push_back(HistoryFigures::of(answers));
    row.span = HistoryFigures::combine(whole);

    std::vector<HistoryFigures> periods = HistoryFigures::byPeriod(answers, period);
    append(periods, HistoryFigures::regroup(aged, std::max(period, MinuteMs)));
    row.periods = merged(std::move(periods), period);
    return row;
}

// Periods of the same start, from the answers and from older figures, taken together.
std::vector<HistoryFigures> MonitorHistory::merged(std::vector<HistoryFigures> periods, int64_t periodMs)
{
    std::stable_sort(periods.begin(), periods.end(), earlier);
    std::vector<HistoryFigures> result;
    for (size_t first = 0; first < periods.size();) {
        const int64_t start = HistoryFigures::periodStart(periods[first].startMs, periodMs);
        size_t end = first;
        while (end < periods.size() && HistoryFigures::periodStart(periods[end].startMs, periodMs) == start)
            ++end;
        result.push_back(HistoryFigures::combine({periods.begin() + first, periods.begin() + end}));
        result.back().startMs = start;
        first = end;
    }
    return result;
}
