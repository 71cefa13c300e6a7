#pragma once
#include <cstdint>
#include <string>

// One request of the history: which machine, when, and its round-trip time or why there was none.
struct HistoryAnswer {
    std::string machine;
    int64_t atMs = 0; // wall clock, milliseconds since the epoch (UTC)
    bool answered = false;
    uint32_t rttMs = 0; // when answered
    std::string status; // when not: the status text
};
