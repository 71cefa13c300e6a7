#pragma once
#include "CommandLine.h"
#include "ping/Sweep.h"
#include "ping/SweepTargets.h"

#include <memory>
#include <ostream>
#include <string>

// Exit status of a sweep whose count may be short: the system dropped answers even when asked again.
constexpr int SweepIncomplete = 4;

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers printed in address
// order at the end; on err, what was not sent and why, a rate that had to be lowered, and a count
// that may be short.
class SweepCommand {
public:
    // Reads and checks every argument and target, --save's file included; CommandLine::UsageError
    // when one is wrong.
    explicit SweepCommand(const CommandLine &args);
    ~SweepCommand();
    SweepCommand(const SweepCommand &) = delete;
    SweepCommand &operator=(const SweepCommand &) = delete;

    // Opens the sweep's sockets and sizes them for the rate, while the program may still lift the
    // system's limit on receive buffers. TICMPException when no ICMP socket can be had.
    void open();

    // Once open() has succeeded. showProgress: where the sweep stands, now and then, on err (a
    // terminal). Returns the exit status: 0 when at least one host answered, 1 when none did,
    // SweepIncomplete.
    int run(std::ostream &out, std::ostream &err, bool showProgress);

private:
    SweepTargets m_targets;
    Sweep::Settings m_settings;
    std::string m_format;
    std::string m_saveFile;
    std::unique_ptr<Sweep> m_sweep;
};
