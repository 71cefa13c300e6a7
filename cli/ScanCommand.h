#pragma once
#include "CommandLine.h"

#include <array>
#include <ostream>
#include <string>

// `tozelo-cli scan START END`: the range scan page's own scan, one address per timer tick. The log
// lines each tick leaves go to out, the message boxes' lines to err.
class ScanCommand {
public:
    static constexpr int DefaultIntervalMs = 1000;

    // Reads and checks every argument, --save's file included; CommandLine::UsageError when one is wrong.
    explicit ScanCommand(const CommandLine &args);

    // The exit status: 0 when the scan reached its end address, 3 when one of its checks stopped it.
    int run(std::ostream &out, std::ostream &err) const;

private:
    std::array<std::string, 4> m_start;
    std::array<std::string, 4> m_end;
    int m_size;
    int m_ttl;
    int m_timeout;
    int m_interval;
    std::string m_saveFile;
};
