// The commands that run in Qt's event loop: ping, scan and reping. They live in a library of their
// own, which tozelo-cli loads only for them and only once it has given up every capability, so that
// neither Qt nor anything it loads ever runs with one, and `sweep` starts without loading Qt at all.
// What they share with the sweep (the echo engine's core, the command line's reading and reporting)
// is the program's own, found in it when the library is loaded.
#include "CommandLine.h"
#include "CommandRun.h"
#include "PingCommand.h"
#include "RePingCommand.h"
#include "ScanCommand.h"

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

// argv as main() has it: the program, the command, its arguments. Raw ICMP sockets, where the
// command needs one, were reserved before the capabilities went.
extern "C" int tozelo_cli_run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string name = argv[1];
    const std::vector<std::string> rest(argv + 2, argv + argc);
    return CommandRun::reporting([&] {
        if (name == "ping")
            return PingCommand(CommandLine(rest, {"size", "ttl", "timeout"})).run(std::cout);
        if (name == "scan")
            return ScanCommand(CommandLine(rest, {"interval", "timeout", "size", "ttl", "save"}))
                .run(std::cout, std::cerr);
        return RePingCommand(CommandLine(rest, {"timeout", "size", "ttl", "passes"})).run(std::cout, std::cerr);
    });
}
