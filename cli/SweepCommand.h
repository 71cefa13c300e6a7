#pragma once
#include "CommandLine.h"

#include <ostream>

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers printed in address
// order at the end. progress: where the sweep stands, now and then (a terminal), or nullptr.
// Returns the exit status: 0 when at least one host answered, 1 when none did.
int runSweepCommand(const CommandLine &args, std::ostream &out, std::ostream *progress);
