#include "CommandLine.h"
#include "PingCommand.h"
#include "RePingCommand.h"
#include "ScanCommand.h"
#include "SweepCommand.h"

#include "ping/icmp.h"

#include <QCoreApplication>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char *const Usage = "Usage: tozelo-cli COMMAND [ARGS]\n"
                          "\n"
                          "Commands:\n"
                          "  ping HOST [--size N] [--ttl N] [--timeout MS]\n"
                          "      Ping HOST (a name or a dotted IPv4 address) once and print what happens.\n"
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
                          "      Defaults: time-out 200 ms, size 56 bytes, TTL 64, 1 pass.\n"
                          "      Exit status 0 when the walk ended, 3 when FILE holds no line.\n"
                          "  sweep TARGET... [--rate PPS] [--timeout MS] [--retries N] [--size N] [--ttl N]\n"
                          "        [--save FILE] [--format text|csv|json]\n"
                          "      Ping many addresses at once: TARGET is a dotted address, a range START-END\n"
                          "      or a CIDR block a.b.c.d/n, several allowed, 16777216 addresses at most.\n"
                          "      Requests go out at PPS a second; --retries asks the silent ones again.\n"
                          "      At most 2097152 requests wait at once: when PPS times the time-out is\n"
                          "      more, the rate is lowered to fit and the rate used is shown on standard\n"
                          "      error at the start.\n"
                          "      At the end, the hosts that answered (round-trip time in ms) and those\n"
                          "      that sent an ICMP error, in address order; --save writes the ones that\n"
                          "      answered to FILE, one address a line. Requests this system refused to\n"
                          "      send are counted by reason on standard error. When the system dropped\n"
                          "      answers, the silent addresses are asked again, slower.\n"
                          "      Defaults: rate 5000, time-out 500 ms, no retry, size 56 bytes, TTL 64.\n"
                          "      Exit status 0 when at least one host answered, 1 when none did, 4 when\n"
                          "      answers were still dropped and the count may be short (said on standard\n"
                          "      error).\n"
                          "  help, --help\n"
                          "      Show this text.\n"
                          "\n"
                          "Exit status 2 for a usage error.\n";

int runCommand(const std::string &command, const std::vector<std::string> &rest)
{
    if (command == "ping")
        return runPingCommand(CommandLine(rest, {"size", "ttl", "timeout"}), std::cout);
    if (command == "scan")
        return runScanCommand(CommandLine(rest, {"interval", "timeout", "size", "ttl", "save"}), std::cout, std::cerr);
    if (command == "sweep")
        return runSweepCommand(CommandLine(rest, {"rate", "timeout", "retries", "size", "ttl", "save", "format"}),
                               std::cout, std::cerr, isatty(STDERR_FILENO));
    if (command == "reping")
        return runRePingCommand(CommandLine(rest, {"timeout", "size", "ttl", "passes"}), std::cout, std::cerr);
    throw CommandLine::UsageError("unknown command '" + command + "'");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "tozelo-cli: no command given (try tozelo-cli --help)\n";
        return 2;
    }
    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help") {
        std::cout << Usage;
        return 0;
    }
    try {
        return runCommand(args.front(), std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const CommandLine::UsageError &e) {
        std::cerr << "tozelo-cli: " << e.what() << " (try tozelo-cli --help)\n";
        return 2;
    } catch (const TICMPException &e) {
        std::cerr << "tozelo-cli: " << e.what()
                  << " (ICMP needs net.ipv4.ping_group_range to include your group, or CAP_NET_RAW)\n";
        return 1;
    } catch (const std::exception &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return 1;
    }
}
