#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

class HistoryStore;

// The answers kept whole, as CSV or JSON, for the command line and the window alike: machine by
// machine (all of them when none is named), each in time order. Columns and keys: the machine, the
// time as text and in milliseconds since the epoch, the round-trip time in ms or the status text.
class HistoryExport {
public:
    enum class Format { Csv, Json };
    static std::optional<Format> formatNamed(const std::string &name);

    static void write(const HistoryStore &store, std::vector<std::string> machines, int64_t fromMs, int64_t toMs,
                      Format format, std::ostream &out);
};
