#include "HistoryFigures.h"

#include <algorithm>

namespace {
// Items in time order cut into periods of spanMs, each period's items summed up as one figure.
template <typename Item, typename TimeOf, typename Sum>
std::vector<HistoryFigures> grouped(const std::vector<Item> &items, int64_t spanMs, TimeOf timeOf, Sum sum)
{
    std::vector<HistoryFigures> periods;
    for (auto first = items.begin(); first != items.end();) {
        const int64_t start = HistoryFigures::periodStart(timeOf(*first), spanMs);
        const auto last =
            std::find_if(first, items.end(), [&](const Item &item) { return timeOf(item) >= start + spanMs; });
        periods.push_back(sum(std::vector<Item>(first, last)));
        periods.back().startMs = start;
        first = last;
    }
    return periods;
}
} // namespace

double HistoryFigures::loss() const
{
    return count ? static_cast<double>(lost) / static_cast<double>(count) : 0.0;
}

HistoryFigures HistoryFigures::of(const std::vector<HistoryAnswer> &answers)
{
    HistoryFigures figures;
    std::vector<uint32_t> times;
    for (const HistoryAnswer &answer : answers)
        if (answer.answered)
            times.push_back(answer.rttMs);
    figures.count = static_cast<int64_t>(answers.size());
    figures.lost = figures.count - static_cast<int64_t>(times.size());
    if (!answers.empty())
        figures.startMs = answers.front().atMs;
    if (times.empty())
        return figures;
    std::sort(times.begin(), times.end());
    figures.minMs = times.front();
    figures.medianMs = times[(times.size() - 1) / 2];
    figures.maxMs = times.back();
    return figures;
}

std::vector<HistoryFigures> HistoryFigures::byPeriod(const std::vector<HistoryAnswer> &answers, int64_t spanMs)
{
    return grouped(
        answers, spanMs, [](const HistoryAnswer &answer) { return answer.atMs; }, of);
}

std::vector<HistoryFigures> HistoryFigures::regroup(const std::vector<HistoryFigures> &periods, int64_t spanMs)
{
    return grouped(
        periods, spanMs, [](const HistoryFigures &period) { return period.startMs; }, combine);
}

HistoryFigures HistoryFigures::combine(std::vector<HistoryFigures> periods)
{
    HistoryFigures total;
    if (periods.empty())
        return total;
    total.startMs = periods.front().startMs;
    for (const HistoryFigures &period : periods) {
        total.count += period.count;
        total.lost += period.lost;
    }
    periods.erase(std::remove_if(periods.begin(), periods.end(), [](const auto &p) { return p.answered() == 0; }),
                  periods.end());
    if (periods.empty())
        return total;
    total.minMs = std::min_element(periods.begin(), periods.end(), [](const auto &a, const auto &b) {
                      return a.minMs < b.minMs;
                  })->minMs;
    total.maxMs = std::max_element(periods.begin(), periods.end(), [](const auto &a, const auto &b) {
                      return a.maxMs < b.maxMs;
                  })->maxMs;
    std::sort(periods.begin(), periods.end(), [](const auto &a, const auto &b) { return a.medianMs < b.medianMs; });
    const int64_t middle = (total.answered() - 1) / 2;
    int64_t seen = 0;
    for (const HistoryFigures &period : periods) {
        seen += period.answered();
        if (seen > middle) {
            total.medianMs = period.medianMs;
            break;
        }
    }
    return total;
}

int64_t HistoryFigures::periodStart(int64_t ms, int64_t spanMs)
{
    const int64_t remainder = ms % spanMs;
    return ms - (remainder < 0 ? remainder + spanMs : remainder);
}
