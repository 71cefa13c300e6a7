#pragma once
#include "CommandLine.h"

#include <ostream>

// `tozelo-cli reping FILE`: loads a machine list file and walks it as the re-ping dialog does, its
// log lines written to out. Returns the exit status: 0 when the walk has ended, 3 when the file
// holds no line (the retry command's message then goes to err).
int runRePingCommand(const CommandLine &args, std::ostream &out, std::ostream &err);
