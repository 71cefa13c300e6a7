#pragma once

// The entry of tozelo-cli-commands.so, the library of the commands that run in Qt's event loop (ping,
// scan and reping), which tozelo-cli loads for them alone. argv as main() has it: the program, the
// command, its arguments.
extern "C" __attribute__((visibility("default"))) int tozelo_cli_run(int argc, char **argv);

namespace EventLoopEntry {
using Run = decltype(&tozelo_cli_run);
constexpr const char *Name = "tozelo_cli_run";
} // namespace EventLoopEntry
