#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class HistoryStore;

// What the history keeps of a span, as CSV or JSON, for the command line and the window alike:
// machine by machine (all of them when none is named), each in time order. A row is an answer kept
// whole (the round-trip time in ms or the status text), or the figures of an older minute or hour
// (its length in seconds, the requests, those lost, and the shortest, median and longest time of
// those answered). Both have the machine and the time as text and in milliseconds since the epoch:
// the answer's, or the period's start.
class HistoryExport {
public:
    enum class Format { Csv, Json };
    static std::optional<Format> formatNamed(const std::string &name);

    static void write(const HistoryStore &store, std::vector<std::string> machines, int64_t fromMs, int64_t toMs,
                      Format format, std::ostream &out);
};
