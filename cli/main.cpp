#include "CommandLine.h"
#include "CommandRun.h"
#include "EventLoopEntry.h"
#include "HistoryCommand.h"
#include "ScanCommand.h"
#include "SweepCommand.h"

#include "echo/EchoTerms.h"
#include "history/WallClock.h"
#include "platform/Privileges.h"
#include "platform/ProgramFiles.h"
#include "sweep/ReverseNames.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

// What every request of a command is sent with unless told otherwise.
std::string echoDefaults(int timeoutMs, int size = EchoTerms::DefaultSize, int ttl = EchoTerms::DefaultTTL)
{
    return "time-out " + std::to_string(timeoutMs) + " ms, size " + std::to_string(size) + " bytes, TTL " +
           std::to_string(ttl);
}

std::string sweepDefaults()
{
    const Sweep::Settings settings;
    return "rate " + std::to_string(settings.rate) + ", " + std::to_string(settings.retries) + " retries, " +
           echoDefaults(settings.timeoutMs, settings.size, settings.ttl) + ";\n      names " +
           std::to_string(ReverseNames::DefaultConcurrency) + " at once, " +
           std::to_string(ReverseNames::DefaultTimeoutMs) + " ms each";
}

// The manual page and the shell completion are made from this text when the program is built: a
// heading ends in a colon; a command's synopsis starts two spaces in and goes on in lines that start
// with '[', its description six spaces in; examples start with "$ ". The defaults are the values
// the commands start with.
const std::string Usage = "Usage: tozelo-cli COMMAND [ARGUMENT]... [OPTION]...\n"
                          "  or:  tozelo-cli --help\n"
                          "  or:  tozelo-cli --version\n"
                          "Ping one host, every IPv4 address of a range or whole address blocks, and list\n"
                          "the machines that answer ICMP echo, over IPv4 or IPv6. An option's value\n"
                          "follows it, as in --size 100 or --size=100; a time MS may be given as 500,\n"
                          "500ms or 2s, and a rate PPS as 5000, 10k or 1M. tozelo-cli COMMAND --help\n"
                          "shows that command's part of this text.\n"
                          "\n"
                          "Commands:\n"
                          "  ping HOST [-4|-6] [--size N] [--ttl N] [--timeout MS]\n"
                          "      Ping HOST (a name, a dotted IPv4 address or an IPv6 address) once and\n"
                          "      print what happens. A name with addresses of both families is pinged\n"
                          "      over IPv4, or over IPv6 with -6; -4 or -6 pings a name over that family\n"
                          "      alone. An address is always pinged over its own family; over IPv6, TTL\n"
                          "      is the hop limit.\n"
                          "      Defaults: " +
                          echoDefaults(EchoTerms::DefaultTimeoutMs) +
                          ".\n"
                          "      Exit status 0 when the host answered, 1 when it did not or is unknown.\n"
                          "  scan START END [--interval MS] [--timeout MS] [--size N] [--ttl N] [--save FILE]\n"
                          "      Ping every address from START to END (dotted IPv4 addresses), one per\n"
                          "      interval, skipping addresses ending in .0 other than START; print each\n"
                          "      address's log lines, then how many machines answered.\n"
                          "      --save writes the machines that answered to FILE, one address a line.\n"
                          "      Defaults: interval " +
                          std::to_string(ScanCommand::DefaultIntervalMs) + " ms, " +
                          echoDefaults(EchoTerms::DefaultTimeoutMs) +
                          ".\n"
                          "      Exit status 0 when the scan reached END, 3 when START or END was refused.\n"
                          "  reping FILE [--timeout MS] [--size N] [--ttl N] [--passes N]\n"
                          "        [--down-after N] [--history FILE]\n"
                          "      Ping again each line of a machine list file (addresses or names), one\n"
                          "      per time-out, and print one line per entry; --passes walks it N times.\n"
                          "      Each line goes by its family, a name with both over IPv4.\n"
                          "      Every answer goes to the history (see history). A machine that missed\n"
                          "      --down-after requests in a row (3) is told down at the end of the pass,\n"
                          "      with the time of the first one missed, and up again once it answers.\n"
                          "      Defaults: " +
                          echoDefaults(EchoTerms::DefaultRePingTimeoutMs) +
                          ", 1 pass.\n"
                          "      Exit status 0 when the walk ended, 3 when FILE holds no line.\n"
                          "  sweep TARGET... [-f FILE] [-iL FILE] [--exclude TARGETS]\n"
                          "        [--exclude-file FILE] [--rate PPS] [--timeout MS] [--retries N]\n"
                          "        [--size N] [--ttl N] [--names] [--save FILE] [-o FILE]\n"
                          "        [--format text|csv|json|jsonl|xml] [-a|--answered] [-u|--unanswered]\n"
                          "        [--order address|random] [--seed N] [--shard I/N] [--progress]\n"
                          "        [-q|--quiet] [--frames] [--names-timeout MS] [--names-parallel N]\n"
                          "        [--record [--history FILE]] [--neighbours] [--tcp [PORTS]]\n"
                          "      Ping many addresses at once: TARGET is an address, a range START-END or a\n"
                          "      CIDR block ADDRESS/n, IPv4 or IPv6, several allowed, 16777216 addresses at\n"
                          "      most in each shard; an IPv6 range or block holds 65536 at most (a /112).\n"
                          "      An IPv6 target may name its link after a '%' (fe80::1%eth0,\n"
                          "      fe80::/120%eth0): it is swept on that link alone.\n"
                          "      -f (or -iL) reads more from FILE (- for standard input), one or more a\n"
                          "      line, a '#' starting a comment. --exclude (targets separated by commas)\n"
                          "      and --exclude-file (a file of the same kind) take addresses out. These\n"
                          "      may each be given again.\n"
                          "      --order random sends to each target once in an order drawn at random,\n"
                          "      never to two neighbours in a row; --seed N draws the same order again.\n"
                          "      --shard I/N sweeps the I-th of N parts of the targets (every N-th one),\n"
                          "      so that N machines share a sweep: each target is in one part alone.\n"
                          "      Requests go out at PPS a second, shared between the families as their\n"
                          "      addresses are; --retries asks the silent ones again. At most 2097152\n"
                          "      requests of a family wait at once: when its share of PPS times the\n"
                          "      time-out is more, the rate is lowered to fit and the rate used is shown\n"
                          "      on standard error at the start.\n"
                          "      At the end, the hosts that answered (round-trip time in ms) and those\n"
                          "      that sent an ICMP error, in address order; --save writes the ones that\n"
                          "      answered to FILE, one address a line; --names adds the names of the hosts\n"
                          "      that answered, by reverse lookup, in every format (control characters as\n"
                          "      \\DDD), --names-parallel N at once, each given --names-timeout MS, their\n"
                          "      progress shown as the sweep's.\n"
                          "      --neighbours finds the targets on this host's own links that do not\n"
                          "      answer echo too: once the sweep is over, a datagram to each has the\n"
                          "      system ask the link (ARP, IPv6 neighbour discovery), and every format\n"
                          "      adds how each host was found (echo, arp, nd), its hardware address and\n"
                          "      its maker (from the ieee-data list). Targets behind a gateway are sent\n"
                          "      nothing more.\n"
                          "      --tcp PORTS then asks the targets that answered none of these by a TCP\n"
                          "      connection attempt to each port in turn (80,443 when PORTS is left out;\n"
                          "      a list such as 22,80,8000-8010): a host that answers, with SYN-ACK or a\n"
                          "      reset, is found as tcp:PORT, the first port that answered. Paced at the\n"
                          "      sweep's rate and time-out, 256 attempts at once at most.\n"
                          "      --format xml is the XML of port scanners, for the tools\n"
                          "      that read theirs (ndiff, for one); --format jsonl writes each answer as a\n"
                          "      line of JSON as soon as it is known, and a line of counts at the end.\n"
                          "      -a lists only the addresses that answered, one a line; -u those of the\n"
                          "      targets (of the shard) that did not, silent or with an ICMP error;\n"
                          "      either takes the place of --format and goes without --names.\n"
                          "      -o (or --output) writes the result to FILE instead of standard output;\n"
                          "      FILE and the one of --save are replaced whole once the sweep is over, or\n"
                          "      left as they were when they cannot be written. SIGINT, SIGTERM or SIGHUP\n"
                          "      stops the sweep: what it found so far is written, complete, in every\n"
                          "      format, and standard error says so. On a terminal, where the sweep stands\n"
                          "      shows on standard error four times a second; --progress shows it on any\n"
                          "      standard error, a line a second; -q shows neither it nor the rate used,\n"
                          "      only what went wrong. --size is 8 at least: each request carries an\n"
                          "      8-byte keyed check that an answer must echo. Requests this system\n"
                          "      refused to send are counted by reason on standard error; addresses that\n"
                          "      no route reaches are counted from the routing tables, without a request\n"
                          "      each.\n"
                          "      When the system dropped answers, the silent addresses are asked again,\n"
                          "      slower. A host that answered a request the system was slow to send is\n"
                          "      asked again for its round-trip time, unless the sweep would last longer.\n"
                          "      --frames sends the IPv4 requests that go through a gateway on an Ethernet\n"
                          "      link as frames of their own, at a fraction of the system's cost a request;\n"
                          "      they pass by this host's firewall and connection tracking (a firewall\n"
                          "      that lets in only answers to what it saw go out drops their answers).\n"
                          "      Only root and the members of the group tozelo-frames may send frames, and\n"
                          "      only where the helper has CAP_NET_RAW (see Privileges); the other\n"
                          "      requests go as ever.\n"
                          "      --record keeps each answer, and each ICMP error, in the history (see\n"
                          "      history), as soon as it is known; silent addresses are not kept.\n"
                          "      Defaults: " +
                          sweepDefaults() +
                          ".\n"
                          "      Exit status 0 when at least one host answered, 1 when none did, 2 for a\n"
                          "      usage error, 4 when the count may be short: answers were still dropped,\n"
                          "      this system refused to send some requests, or a signal stopped the sweep\n"
                          "      (each said on standard error); 5 when there was no sweep: ICMP or a\n"
                          "      target file cannot be used, every target is excluded, or the system\n"
                          "      refused what the sweep needs; 6 when the result or the --save list\n"
                          "      could not be written whole (a full disk, an error of the device). A\n"
                          "      pipe's reader that stops reading, as head does, is no error.\n"
                          "  history [MACHINE...] [--since TIME] [--until TIME] [--format csv|json]\n"
                          "        [--history FILE]\n"
                          "      Print what the history keeps, of the machines named or of all, each\n"
                          "      machine's in time order: its name, the time (UTC, and in ms since 1970),\n"
                          "      then the round-trip time in ms or why there was none. TIME is\n"
                          "      2024-05-01, 2024-05-01T12:00(:00.000)(Z), in UTC, or a span back from now:\n"
                          "      90s, 30m, 2h, 7d. Every answer is kept for a day, then the figures of\n"
                          "      each minute for a week, of each hour for a year: a row of figures has\n"
                          "      the period's start and length (period_s), its requests (count), those\n"
                          "      lost, and the shortest, median and longest time. The history is\n"
                          "      $XDG_DATA_HOME/tozelo/history.sqlite (~/.local/share/tozelo/) unless\n"
                          "      --history names another file; the window keeps the same one.\n"
                          "      Exit status 0 when written, 1 when the history cannot be read.\n"
                          "  help [COMMAND]\n"
                          "      Show this text, or COMMAND's part of it, as COMMAND --help does.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help  Show this text and exit.\n"
                          "  --version   Show the version and exit.\n"
                          "\n"
                          "Privileges:\n"
                          "  Every command sends on ICMP datagram sockets where the system lets this\n"
                          "  user's group open them (net.ipv4.ping_group_range). Elsewhere, and for a\n"
                          "  sweep's frames, each ping and each sender of a sweep starts tozelo-icmp, a\n"
                          "  small helper installed with it and the one file given the capability\n"
                          "  CAP_NET_RAW: it opens its raw socket (and packet sockets), gives up every\n"
                          "  privilege and sends only the echo requests it builds itself. tozelo-cli\n"
                          "  holds no capability while it pings; run by root, it gives them up.\n"
                          "\n"
                          "Exit status:\n"
                          "  Each command above says what its status means. ping, scan and reping end\n"
                          "  with 1 when ICMP or a file cannot be used; sweep with the statuses above.\n"
                          "  Every command ends with 2 for a usage error. A failure is told in one line\n"
                          "  on standard error.\n"
                          "\n"
                          "Examples:\n"
                          "  $ tozelo-cli ping 127.0.0.1\n"
                          "  $ tozelo-cli ping -6 localhost\n"
                          "  $ tozelo-cli scan 192.0.2.1 192.0.2.254 --save found.txt\n"
                          "  $ tozelo-cli reping found.txt --passes 3\n"
                          "  $ tozelo-cli history 192.0.2.7 --since 2h --format json\n"
                          "  $ tozelo-cli sweep 192.0.2.0/24 198.51.100.7 --format csv\n"
                          "  $ tozelo-cli sweep -f networks.txt --exclude 192.0.2.1,192.0.2.254 --names\n"
                          "  $ tozelo-cli sweep 198.18.0.0/15 --order random --shard 2/4 --format xml\n"
                          "  $ tozelo-cli sweep 2001:db8::/120 192.0.2.0/24\n";

const char *const Version = "tozelo-cli " TOZELO_VERSION "\n" TOZELO_COPYRIGHT "\n"
                            "This is free software under the " TOZELO_LICENSE " License; there is NO WARRANTY.\n";

// A command's part of the text, from its synopsis to the next command: "" for no command.
std::string commandHelp(const std::string &name)
{
    const size_t start = Usage.find("\n  " + name + " ");
    if (name.empty() || start == std::string::npos)
        return std::string();
    size_t end = start + 1;
    do
        end = Usage.find('\n', end) + 1;
    while (Usage.compare(end, 3, "   ") == 0 || Usage.compare(end, 3, "  [") == 0);
    return "Usage: tozelo-cli " + Usage.substr(start + 3, end - start - 3);
}

bool asksForHelp(const std::vector<std::string> &args)
{
    return std::any_of(args.begin() + 1, args.end(),
                       [](const std::string &arg) { return arg == "--help" || arg == "-h"; });
}

// Only ping, scan and reping wait in an event loop; they send through one ICMP socket each.
bool runsInEventLoop(const std::string &name)
{
    return name == "ping" || name == "scan" || name == "reping";
}

// The library holds its own copy of the engine and of the C++ library: only plain values cross.
int runInEventLoop(int argc, char *argv[])
{
    try {
        Privileges::dropEveryCapability(Privileges::Starts::Helper);
    } catch (const std::exception &e) {
        std::cerr << "tozelo-cli: " << e.what() << "\n";
        return 1;
    }
    const std::string path = ProgramFiles::find(TOZELO_COMMANDS_FROM_PROGRAM, "tozelo-cli-commands.so");
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto run = library ? reinterpret_cast<EventLoopEntry::Run>(dlsym(library, EventLoopEntry::Name)) : nullptr;
    if (!run) {
        std::cerr << "tozelo-cli: cannot load the " << argv[1] << " command: " << dlerror() << "\n";
        return 1;
    }
    return run(argc, argv);
}

// Its datagram sockets are opened and sized, or its helpers started, before the capabilities go,
// while the system's limit on receive buffers may still be lifted; a failure to open them is told
// after, as every command's is.
int sweep(const std::vector<std::string> &rest)
{
    return CommandRun::reporting(
        [&] {
            SweepArguments arguments(
                CommandLine(rest, SweepArguments::Options, SweepArguments::Flags, SweepArguments::Lists));
            arguments.command = "tozelo-cli sweep";
            for (const std::string &arg : rest)
                arguments.command += " " + arg;
            SweepCommand command(std::move(arguments));
            std::exception_ptr failure;
            try {
                command.open();
            } catch (const TICMPException &) {
                failure = std::current_exception();
            }
            Privileges::dropEveryCapability(Privileges::Starts::Nothing);
            if (failure)
                std::rethrow_exception(failure);
            return command.run(std::cerr, isatty(STDERR_FILENO));
        },
        SweepStatus::CannotSweep);
}

int history(const std::vector<std::string> &rest)
{
    return CommandRun::reporting([&] {
        return HistoryCommand(CommandLine(rest, HistoryCommand::Options), WallClock::system().nowMs()).run(std::cout);
    });
}

// A standard stream that was closed would be the number of the first file or socket opened, and the
// output would go there: it is held by /dev/null opened for reading, so that writes to it fail.
void holdClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDONLY);
}

} // namespace

// A sweep's arguments are checked before anything else happens, so that a wrong one is a usage error
// whatever this user may do; its sockets are opened, or its helpers started, before every capability
// is given up, and no library is loaded by name before that. Nothing of Qt is part of this program: the commands that
// need it check their arguments in their library, when nothing is held any more, and have the
// privileged helper hold their raw sockets where they need them.
int main(int argc, char *argv[])
{
    holdClosedStandardStreams();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "tozelo-cli: no command given (try tozelo-cli --help)\n";
        return 2;
    }
    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help") {
        if (args.size() == 1) {
            std::cout << Usage;
            return 0;
        }
        args.erase(args.begin());
        args.push_back("--help");
    }
    if (asksForHelp(args) && !commandHelp(args.front()).empty()) {
        std::cout << commandHelp(args.front());
        return 0;
    }
    if (args.front() == "--version") {
        std::cout << Version;
        return 0;
    }
    if (args.front() == "sweep")
        return sweep(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.front() == "history")
        return history(std::vector<std::string>(args.begin() + 1, args.end()));
    if (runsInEventLoop(args.front()))
        return runInEventLoop(argc, argv);
    std::cerr << "tozelo-cli: unknown command '" << args.front() << "' (try tozelo-cli --help)\n";
    return 2;
}
