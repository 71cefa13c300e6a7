#pragma once
#include <cstdint>
#include <string>

class HistoryStore;

// Ages the history as round-robin databases do: every answer for a day, then the figures of each
// minute for a week, then those of each hour for a year, then nothing. A year of 1,000 machines
// asked every second stays under a gigabyte.
class HistoryRollup {
public:
    static constexpr int64_t DayMs = 24 * 3600 * 1000LL;
    static constexpr int64_t AnswersKeptMs = DayMs;
    static constexpr int64_t MinutesKeptMs = 7 * DayMs;
    static constexpr int64_t HoursKeptMs = 366 * DayMs;

    // Whole minutes and hours only, one machine a transaction, so that a writer waits little.
    static void age(HistoryStore &store, int64_t nowMs);

private:
    static void ageAnswers(HistoryStore &store, const std::string &machine, int64_t beforeMs);
    static void ageMinutes(HistoryStore &store, const std::string &machine, int64_t beforeMs);
};
