#pragma once
#include "SweepArguments.h"

#include <ostream>

// Exit status of a sweep whose count may be short: the system dropped answers even when asked again.
constexpr int SweepIncomplete = 4;

// `tozelo-cli sweep TARGET...`: many echo requests in flight at once, the answers printed in address
// order at the end; on err, what was not sent and why, a rate that had to be lowered, and a count
// that may be short. Where the sweep stands goes to err now and then when err is a terminal or
// progress was asked for.
// Returns the exit status: 0 when at least one host answered, 1 when none did, SweepIncomplete.
int runSweepCommand(const SweepArguments &args, std::ostream &out, std::ostream &err, bool terminal);
