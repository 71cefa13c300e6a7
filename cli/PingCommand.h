#pragma once
#include "CommandLine.h"
#include "platform/Sockets.h"

#include <ostream>
#include <string>

// `tozelo-cli ping HOST [-4|-6]`: the single ping page's sequence, its log lines written to out.
class PingCommand {
public:
    // Reads and checks every argument; CommandLine::UsageError when one is wrong.
    explicit PingCommand(const CommandLine &args);

    // The exit status: 0 when the host answered, 1 otherwise.
    int run(std::ostream &out, std::ostream &err) const;

private:
    std::string m_host;
    int m_size;
    int m_ttl;
    int m_timeout;
    Sockets::Family m_family;
};
