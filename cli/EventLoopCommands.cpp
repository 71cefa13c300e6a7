// The commands that run in Qt's event loop: ping, scan and reping. They live in a library of their
// own, which tozelo-cli loads only for them, so that `sweep` starts without loading Qt or the shared
// C++ library at all, and only once it has given up every capability, so that neither Qt nor
// anything it loads ever runs with one. The library carries its own copy of the engine and exports
// nothing but its entry: nothing of it mixes with the program's.
#include "CommandLine.h"
#include "CommandRun.h"
#include "EventLoopEntry.h"
#include "PingCommand.h"
#include "RePingCommand.h"
#include "ScanCommand.h"

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

int tozelo_cli_run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string name = argv[1];
    const std::vector<std::string> rest(argv + 2, argv + argc);
    return CommandRun::reporting([&] {
        if (name == "ping")
            return PingCommand(CommandLine(rest, {"size", "ttl", "timeout"}, {"4", "6"})).run(std::cout, std::cerr);
        if (name == "scan")
            return ScanCommand(CommandLine(rest, {"interval", "timeout", "size", "ttl", "save"}))
                .run(std::cout, std::cerr);
        return RePingCommand(CommandLine(rest, {"timeout", "size", "ttl", "passes", "history", "down-after"}))
            .run(std::cout, std::cerr);
    });
}
