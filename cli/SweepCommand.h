#pragma once
#include "SweepArguments.h"
#include "sweep/Sweep.h"

#include <memory>
#include <ostream>

// Exit status of a sweep whose count may be short: the system dropped answers even when asked again,
// or refused to send some requests.
constexpr int SweepIncomplete = 4;

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers printed in address
// order at the end; on err, what was not sent and why, a rate that had to be lowered, and a count
// that may be short.
class SweepCommand {
public:
    explicit SweepCommand(SweepArguments args);
    ~SweepCommand();
    SweepCommand(const SweepCommand &) = delete;
    SweepCommand &operator=(const SweepCommand &) = delete;

    // Opens the sweep's sockets and sizes them for the rate, while the program may still lift the
    // system's limit on receive buffers. TICMPException when no ICMP socket can be had.
    void open();

    // Once open() has succeeded. Where the sweep stands goes to err now and then when err is a
    // terminal or progress was asked for. Returns the exit status: 0 when at least one host
    // answered, 1 when none did, SweepIncomplete.
    int run(std::ostream &out, std::ostream &err, bool terminal);

private:
    const SweepArguments m_args;
    std::unique_ptr<Sweep> m_sweep;
};
