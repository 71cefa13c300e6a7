#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Times of the history as people read and type them, always in UTC so that a log, an export and a
// query agree whatever the machine's zone.
class HistoryTime {
public:
    // 2024-05-01T12:00:03.250Z
    static std::string text(int64_t ms);
    // A time as --since takes it: 2024-05-01, 2024-05-01T12:00, 2024-05-01T12:00:03(.250)(Z) (a blank
    // may stand for the T), or a span back from now: 90s, 30m, 2h, 7d. Nothing for anything else.
    static std::optional<int64_t> parse(const std::string &text, int64_t nowMs);
};
