#pragma once
#include "CommandLine.h"

#include <ostream>

// `tozelo-cli ping HOST`: the single ping page's sequence, its log lines written to out.
// Returns the exit status: 0 when the host answered, 1 otherwise.
int runPingCommand(const CommandLine &args, std::ostream &out);
