#pragma once
#include "CommandLine.h"

#include <ostream>

// `tozelo-cli scan START END`: the range scan page's own scan, one address per timer tick. The log
// lines each tick leaves go to out, the message boxes' lines to err. Returns the exit status: 0
// when the scan reached its end address, 3 when one of its checks stopped it.
int runScanCommand(const CommandLine &args, std::ostream &out, std::ostream &err);
