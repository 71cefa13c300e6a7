#pragma once
#include "SweepArguments.h"

#include <ostream>

// Exit status of a sweep whose count may be short: the system dropped answers even when asked again.
constexpr int SweepIncomplete = 4;

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers printed in address
// order at the end; on err, what was not sent and why, a rate that had to be lowered, and a count
// that may be short. showProgress: where the sweep stands, now and then, on err (a terminal).
// Returns the exit status: 0 when at least one host answered, 1 when none did, SweepIncomplete.
int runSweepCommand(const SweepArguments &args, std::ostream &out, std::ostream &err, bool showProgress);
