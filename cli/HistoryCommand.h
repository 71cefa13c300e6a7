#pragma once
#include "CommandLine.h"
#include "history/HistoryExport.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// `tozelo-cli history [MACHINE...]`: the answers kept whole in the history, as CSV or JSON, machine
// by machine in time order.
class HistoryCommand {
public:
    static const std::vector<std::string> Options;

    // Reads and checks every argument; CommandLine::UsageError when one is wrong. Relative times
    // count back from nowMs.
    HistoryCommand(const CommandLine &args, int64_t nowMs);

    // 0 once written; HistoryError when the history cannot be read.
    int run(std::ostream &out) const;

private:
    static int64_t timeOf(const CommandLine &args, const std::string &name, int64_t fallback, int64_t nowMs);

    std::vector<std::string> m_machines;
    int64_t m_since;
    int64_t m_until;
    HistoryExport::Format m_format;
    std::string m_file;
};
