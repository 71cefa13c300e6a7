#include "CommandLine.h"
#include "PingCommand.h"
#include "RePingCommand.h"
#include "ScanCommand.h"
#include "SweepCommand.h"

#include "ping/icmp.h"
#include "platform/Privileges.h"

#include <QCoreApplication>
#include <exception>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The manual page and the shell completion are made from this text when the program is built: a
// heading ends in a colon; a command's synopsis starts two spaces in and goes on in lines that start
// with '[', its description six spaces in; examples start with "$ ".
const char *const Usage = "Usage: tozelo-cli COMMAND [ARGUMENT]... [OPTION]...\n"
                          "  or:  tozelo-cli --help\n"
                          "  or:  tozelo-cli --version\n"
                          "Ping one host, every IPv4 address of a range or whole address blocks, and list\n"
                          "the machines that answer ICMP echo, over IPv4 or IPv6. An option's value\n"
                          "follows it, as in --size 100 or --size=100.\n"
                          "\n"
                          "Commands:\n"
                          "  ping HOST [-4|-6] [--size N] [--ttl N] [--timeout MS]\n"
                          "      Ping HOST (a name, a dotted IPv4 address or an IPv6 address) once and\n"
                          "      print what happens. A name with addresses of both families is pinged\n"
                          "      over IPv4, or over IPv6 with -6; -4 or -6 pings a name over that family\n"
                          "      alone. An address is always pinged over its own family; over IPv6, TTL\n"
                          "      is the hop limit.\n"
                          "      Defaults: size 56 bytes, TTL 64, time-out 500 ms.\n"
                          "      Exit status 0 when the host answered, 1 when it did not or is unknown.\n"
                          "  scan START END [--interval MS] [--timeout MS] [--size N] [--ttl N] [--save FILE]\n"
                          "      Ping every address from START to END (dotted IPv4 addresses), one per\n"
                          "      interval, skipping addresses ending in .0 other than START; print each\n"
                          "      address's log lines, then how many machines answered.\n"
                          "      --save writes the machines that answered to FILE, one address a line.\n"
                          "      Defaults: interval 1000 ms, time-out 500 ms, size 56 bytes, TTL 64.\n"
                          "      Exit status 0 when the scan reached END, 3 when START or END was refused.\n"
                          "  reping FILE [--timeout MS] [--size N] [--ttl N] [--passes N]\n"
                          "      Ping again each line of a machine list file (addresses or names), one\n"
                          "      per time-out, and print one line per entry; --passes walks it N times.\n"
                          "      Each line goes by its family, a name with both over IPv4.\n"
                          "      Defaults: time-out 200 ms, size 56 bytes, TTL 64, 1 pass.\n"
                          "      Exit status 0 when the walk ended, 3 when FILE holds no line.\n"
                          "  sweep TARGET... [--rate PPS] [--timeout MS] [--retries N] [--size N] [--ttl N]\n"
                          "        [--save FILE] [--format text|csv|json]\n"
                          "      Ping many addresses at once: TARGET is an address, a range START-END or a\n"
                          "      CIDR block ADDRESS/n, IPv4 or IPv6, several allowed, 16777216 addresses at\n"
                          "      most; an IPv6 range or block holds 65536 at most (a /112).\n"
                          "      Requests go out at PPS a second, shared between the families as their\n"
                          "      addresses are; --retries asks the silent ones again. At most 2097152\n"
                          "      requests of a family wait at once: when its share of PPS times the\n"
                          "      time-out is more, the rate is lowered to fit and the rate used is shown\n"
                          "      on standard error at the start.\n"
                          "      At the end, the hosts that answered (round-trip time in ms) and those\n"
                          "      that sent an ICMP error, in address order; --save writes the ones that\n"
                          "      answered to FILE, one address a line. Requests this system refused to\n"
                          "      send are counted by reason on standard error; addresses that no route\n"
                          "      reaches are counted from the routing tables, without a request each.\n"
                          "      When the system dropped answers, the silent addresses are asked again,\n"
                          "      slower. A host that answered a request the system was slow to send is\n"
                          "      asked again for its round-trip time.\n"
                          "      Defaults: rate 5000, time-out 500 ms, no retry, size 56 bytes, TTL 64.\n"
                          "      Exit status 0 when at least one host answered, 1 when none did, 4 when\n"
                          "      answers were still dropped and the count may be short (said on standard\n"
                          "      error).\n"
                          "  help\n"
                          "      Show this text.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help  Show this text and exit.\n"
                          "  --version   Show the version and exit.\n"
                          "\n"
                          "Exit status:\n"
                          "  Each command above says what its status means. Any command ends with 1 when\n"
                          "  ICMP or a file cannot be used, and with 2 for a usage error, told in one line\n"
                          "  on standard error.\n"
                          "\n"
                          "Examples:\n"
                          "  $ tozelo-cli ping 127.0.0.1\n"
                          "  $ tozelo-cli ping -6 localhost\n"
                          "  $ tozelo-cli scan 192.0.2.1 192.0.2.254 --save found.txt\n"
                          "  $ tozelo-cli reping found.txt --passes 3\n"
                          "  $ tozelo-cli sweep 192.0.2.0/24 198.51.100.7 --format csv\n"
                          "  $ tozelo-cli sweep 2001:db8::/120 192.0.2.0/24\n";

const char *const Version = "tozelo-cli " TOZELO_VERSION "\n" TOZELO_COPYRIGHT "\n"
                            "This is free software under the " TOZELO_LICENSE " License; there is NO WARRANTY.\n";

// A command whose arguments have all been read and checked, and what it needs before it runs.
struct Command {
    int rawSockets = 0;
    std::function<int()> run;
};

// Each command sends through one ICMP socket.
Command commandOf(const std::string &name, const std::vector<std::string> &rest)
{
    if (name == "ping") {
        const PingCommand command(CommandLine(rest, {"size", "ttl", "timeout"}, {"-4", "-6"}));
        return {1, [command] { return command.run(std::cout); }};
    }
    if (name == "scan") {
        const ScanCommand command(CommandLine(rest, {"interval", "timeout", "size", "ttl", "save"}));
        return {1, [command] { return command.run(std::cout, std::cerr); }};
    }
    if (name == "reping") {
        const RePingCommand command(CommandLine(rest, {"timeout", "size", "ttl", "passes"}));
        return {1, [command] { return command.run(std::cout, std::cerr); }};
    }
    if (name == "sweep") {
        const auto command = std::make_shared<SweepCommand>(
            CommandLine(rest, {"rate", "timeout", "retries", "size", "ttl", "save", "format"}));
        // Its sockets are opened and sized now, before the capabilities go: it needs none reserved.
        // A failure is told when it runs, as every command's is.
        try {
            command->open();
        } catch (const TICMPException &) {
            return {0, [failure = std::current_exception()]() -> int { std::rethrow_exception(failure); }};
        }
        return {0, [command] { return command->run(std::cout, std::cerr, isatty(STDERR_FILENO)); }};
    }
    throw CommandLine::UsageError("unknown command '" + name + "'");
}

int usageError(const CommandLine::UsageError &e)
{
    std::cerr << "tozelo-cli: " << e.what() << " (try tozelo-cli --help)\n";
    return 2;
}

int runToTheEnd(const Command &command)
{
    try {
        return command.run();
    } catch (const CommandLine::UsageError &e) {
        return usageError(e);
    } catch (const TICMPException &e) {
        std::cerr << "tozelo-cli: " << e.what()
                  << " (ICMP needs net.ipv4.ping_group_range to include your group, or CAP_NET_RAW)\n";
        return 1;
    } catch (const std::exception &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return 1;
    }
}

} // namespace

// The arguments are checked before anything else happens, so that a wrong one is a usage error
// whatever this user may do; then the raw sockets are opened and every capability is given up
// before Qt or the resolver load anything.
int main(int argc, char *argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "tozelo-cli: no command given (try tozelo-cli --help)\n";
        return 2;
    }
    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help") {
        std::cout << Usage;
        return 0;
    }
    if (args.front() == "--version") {
        std::cout << Version;
        return 0;
    }
    Command command;
    try {
        command = commandOf(args.front(), std::vector<std::string>(args.begin() + 1, args.end()));
        Privileges::reserveRawSocketsAndDrop(command.rawSockets);
    } catch (const CommandLine::UsageError &e) {
        return usageError(e);
    } catch (const std::exception &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return 1;
    }
    QCoreApplication app(argc, argv);
    return runToTheEnd(command);
}
