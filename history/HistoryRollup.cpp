#include "HistoryRollup.h"

#include "HistoryStore.h"

#include <limits>

namespace {
constexpr int64_t Earliest = std::numeric_limits<int64_t>::min() / 2;
} // namespace

void HistoryRollup::age(HistoryStore &store, int64_t nowMs)
{
    const int64_t answersBefore = HistoryFigures::periodStart(nowMs - AnswersKeptMs, HistoryStore::MinuteMs);
    const int64_t minutesBefore = HistoryFigures::periodStart(nowMs - MinutesKeptMs, HistoryStore::HourMs);
    for (const std::string &machine : store.machines())
        store.transaction([&] {
            ageAnswers(store, machine, answersBefore);
            ageMinutes(store, machine, minutesBefore);
        });
    store.transaction([&] { store.dropFigures(HistoryStore::HourMs, nowMs - HoursKeptMs); });
}

void HistoryRollup::ageAnswers(HistoryStore &store, const std::string &machine, int64_t beforeMs)
{
    const auto answers = store.answers(machine, Earliest, beforeMs);
    if (answers.empty())
        return;
    store.addFigures(machine, HistoryStore::MinuteMs, HistoryFigures::byPeriod(answers, HistoryStore::MinuteMs));
    store.dropAnswers(machine, beforeMs);
}

void HistoryRollup::ageMinutes(HistoryStore &store, const std::string &machine, int64_t beforeMs)
{
    const auto minutes = store.figures(machine, HistoryStore::MinuteMs, Earliest, beforeMs);
    if (minutes.empty())
        return;
    store.addFigures(machine, HistoryStore::HourMs, HistoryFigures::regroup(minutes, HistoryStore::HourMs));
    store.dropFigures(machine, HistoryStore::MinuteMs, beforeMs);
}
