#pragma once
#include "SweepArguments.h"
#include "sweep/PresenceSearch.h"
#include "sweep/Sweep.h"

#include <memory>
#include <ostream>
#include <vector>

// How a sweep ends, for scripts: one status for each way.
namespace SweepStatus {
constexpr int Answered = 0;
constexpr int NothingAnswered = 1;
constexpr int Usage = 2;
// The count may be short: the system dropped answers even when asked again, refused to send some
// requests, or a signal stopped the sweep.
constexpr int Incomplete = 4;
// No sweep: ICMP cannot be used, a file cannot be read, or the system refused what the sweep needs.
constexpr int CannotSweep = 5;
// The result, or the list --save writes, could not be written whole.
constexpr int OutputFailed = 6;
} // namespace SweepStatus

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers written in address
// order at the end, or as they come (JSON lines), to standard output or a file; on err, what was not
// sent and why, a rate that had to be lowered, a count that may be short, a stop by a signal.
class SweepCommand {
public:
    explicit SweepCommand(SweepArguments args);
    ~SweepCommand();
    SweepCommand(const SweepCommand &) = delete;
    SweepCommand &operator=(const SweepCommand &) = delete;

    // Opens the sweep's sockets and sizes them for the rate, while the program may still lift the
    // system's limit on receive buffers, and starts the helpers that ask the links' hosts.
    // TICMPException when no ICMP socket can be had.
    void open();

    // Once open() has succeeded and no capability is held any more. Where the sweep stands goes to
    // err now and then when err is a terminal or progress was asked for. SIGINT, SIGTERM and SIGHUP
    // stop it, and what it found so far is written. Returns one of SweepStatus; CommandRun::Failure
    // when the result cannot be written.
    int run(std::ostream &err, bool terminal);

private:
    const SweepArguments m_args;
    std::unique_ptr<Sweep> m_sweep;
    std::vector<std::unique_ptr<PresenceSearch>> m_searches;
};
