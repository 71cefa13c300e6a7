#include "SweepArguments.h"

#include "TargetFile.h"
#include "echo/EchoTerms.h"
#include "history/HistoryLocation.h"
#include "sweep/ReverseNames.h"
#include "sweep/SweepSignature.h"
#include "sweep/TcpPorts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace {

constexpr uint64_t MaxShards = 65536;

int bounded(const std::string &name, int value, int low, int high, const std::string &why = "")
{
    if (value < low || value > high)
        throw CommandLine::UsageError("--" + name + " must be " + std::to_string(low) + " to " + std::to_string(high) +
                                      why);
    return value;
}

// A whole decimal number from 0 to high, as typed, for a number too large for an int.
bool unsignedOf(const std::string &text, uint64_t high, uint64_t &value)
{
    if (text.empty() || text.size() > 20 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= high;
}

// The order of the targets, and the shard I of N (from 1) as the engine counts it (from 0).
void orderAndShardOf(const CommandLine &args, Sweep::Settings &settings)
{
    const std::string order = args.text("order", "address");
    if (order != "address" && order != "random")
        throw CommandLine::UsageError("--order must be address or random, not '" + order + "'");
    settings.randomOrder = order == "random";
    if (args.has("seed") && !settings.randomOrder)
        throw CommandLine::UsageError("--seed goes with --order random");
    if (args.has("seed") && !unsignedOf(args.text("seed", ""), UINT64_MAX, settings.seed))
        throw CommandLine::UsageError("--seed needs a whole number from 0 to " + std::to_string(UINT64_MAX) +
                                      ", not '" + args.text("seed", "") + "'");
    if (settings.randomOrder && !args.has("seed"))
        settings.seed = uint64_t(std::random_device()()) << 32 | std::random_device()();
    if (!args.has("shard"))
        return;
    const std::string shard = args.text("shard", "");
    const size_t slash = shard.find('/');
    uint64_t index = 0;
    uint64_t count = 0;
    if (slash == std::string::npos || !unsignedOf(shard.substr(0, slash), MaxShards, index) ||
        !unsignedOf(shard.substr(slash + 1), MaxShards, count) || index < 1 || index > count)
        throw CommandLine::UsageError("--shard needs I/N, the I-th of N shards (1 <= I <= N <= " +
                                      std::to_string(MaxShards) + "), not '" + shard + "'");
    settings.shardIndex = uint32_t(index - 1);
    settings.shardCount = uint32_t(count);
}

Sweep::Settings settingsOf(const CommandLine &args)
{
    using Limits = Sweep::Settings;
    Sweep::Settings settings;
    settings.rate = bounded("rate", args.perSecond("rate", settings.rate), 1, Limits::MaxRate);
    settings.timeoutMs = bounded("timeout", args.milliseconds("timeout", settings.timeoutMs), 1, Limits::MaxTimeoutMs);
    settings.retries = bounded("retries", args.integer("retries", settings.retries), 0, Limits::MaxRetries);
    // A shorter payload would carry part of the keyed check, and a forged answer would pass more often.
    settings.size = bounded("size", args.integer("size", settings.size), int(SweepSignature::Size), EchoTerms::MaxSize,
                            ": each request carries a check of " + std::to_string(SweepSignature::Size) + " bytes");
    settings.ttl = bounded("ttl", args.integer("ttl", settings.ttl), 1, 255);
    orderAndShardOf(args, settings);
    settings.frames = args.has("frames");
    return settings;
}

void namesOf(const CommandLine &args, SweepArguments &arguments)
{
    arguments.names = args.has("names");
    for (const char *option : {"names-timeout", "names-parallel"})
        if (args.has(option) && !arguments.names)
            throw CommandLine::UsageError(std::string("--") + option + " goes with --names");
    arguments.namesTimeoutMs =
        bounded("names-timeout", args.milliseconds("names-timeout", ReverseNames::DefaultTimeoutMs), 1,
                Sweep::Settings::MaxTimeoutMs);
    arguments.namesParallel =
        bounded("names-parallel", args.integer("names-parallel", ReverseNames::DefaultConcurrency), 1,
                ReverseNames::MaxConcurrency);
}

// Either of a flag's two names.
bool flagged(const CommandLine &args, const std::string &letter, const std::string &name)
{
    return args.has(letter) || args.has(name);
}

// -a and -u list bare addresses, one a line, in place of a format.
std::string listingOf(const CommandLine &args)
{
    const bool answered = flagged(args, "a", "answered");
    const bool unanswered = flagged(args, "u", "unanswered");
    if (answered && unanswered)
        throw CommandLine::UsageError("-a and -u exclude each other");
    if ((answered || unanswered) &&
        (args.has("format") || args.has("names") || args.has("neighbours") || args.has("tcp")))
        throw CommandLine::UsageError(
            "-a and -u list bare addresses, without --format, --names, --neighbours or --tcp");
    return answered ? "answered" : unanswered ? "unanswered" : "";
}

bool quietOf(const CommandLine &args)
{
    const bool quiet = flagged(args, "q", "quiet");
    if (quiet && args.has("progress"))
        throw CommandLine::UsageError("-q and --progress exclude each other");
    return quiet;
}

std::string formatOf(const CommandLine &args)
{
    const std::string format = args.text("format", "text");
    if (format != "text" && format != "csv" && format != "json" && format != "jsonl" && format != "xml")
        throw CommandLine::UsageError("--format must be text, csv, json, jsonl or xml, not '" + format + "'");
    return format;
}

// The history of the answers is kept only when asked: a sweep's targets are many.
std::string historyFileOf(const CommandLine &args)
{
    if (!args.has("record")) {
        if (args.has("history"))
            throw CommandLine::UsageError("--history goes with --record");
        return "";
    }
    const std::string file = args.text("history", HistoryLocation::defaultFile());
    if (file.empty())
        throw CommandLine::UsageError("--record needs --history FILE where no data folder is known");
    return file;
}

// -o and --output are one option.
std::string outputFileOf(const CommandLine &args)
{
    if (args.has("o") && args.has("output"))
        throw CommandLine::UsageError("-o and --output are the same option: give one");
    return args.writableFile(args.has("o") ? "o" : "output");
}

// A target that is none of the forms is a usage error when typed on the command line.
template <typename Use> void typed(const std::string &target, Use use)
{
    try {
        use(target);
    } catch (const std::invalid_argument &e) {
        throw CommandLine::UsageError(e.what());
    }
}

// -iL, as port scanners name it, is -f.
std::vector<std::string> targetFilesOf(const CommandLine &args)
{
    std::vector<std::string> files = args.texts("f");
    for (const std::string &file : args.texts("iL"))
        files.push_back(file);
    return files;
}

// Standard input can be read once.
void checkFiles(const CommandLine &args)
{
    int fromInput = 0;
    for (const char *option : {"f", "iL", "exclude-file"})
        for (const std::string &name : args.texts(option))
            fromInput += name == "-" ? 1 : 0;
    if (fromInput > 1)
        throw CommandLine::UsageError("standard input (-) can be read for one file only");
}

// A target file with no target in it is most likely a mistake (an empty pipe), never a sweep of nothing.
SweepTargets targetsOf(const CommandLine &args, std::FILE *standardInput)
{
    const std::vector<std::string> files = targetFilesOf(args);
    if (args.positional().empty() && files.empty())
        throw CommandLine::UsageError("sweep needs at least one TARGET or -f FILE");
    checkFiles(args);
    SweepTargets targets;
    const auto exclude = [&targets](const std::string &target) { targets.exclude(target); };
    const auto add = [&targets](const std::string &target) { targets.add(target); };
    for (const std::string &list : args.texts("exclude"))
        for (const std::string &target : SweepTargets::wordsOf(list))
            typed(target, exclude);
    for (const std::string &file : args.texts("exclude-file"))
        TargetFile::read(file, exclude, standardInput);
    for (const std::string &target : args.positional())
        typed(target, add);
    for (const std::string &file : files)
        if (TargetFile::read(file, add, standardInput) == 0)
            throw TargetFile::Error(TargetFile::shownName(file) + ": no target in it");
    if (targets.count() == 0)
        throw std::runtime_error("sweep: every target is excluded");
    return targets;
}

// Bare, the ports that most hosts listen on.
std::vector<uint16_t> tcpPortsOf(const CommandLine &args)
{
    if (!args.has("tcp"))
        return {};
    const std::string ports = args.text("tcp", "");
    if (ports.empty())
        return TcpPorts::defaults();
    try {
        return TcpPorts::parse(ports);
    } catch (const std::invalid_argument &e) {
        throw CommandLine::UsageError(std::string("--tcp: ") + e.what());
    }
}
} // namespace

const std::vector<std::string> SweepArguments::Options = {
    "rate", "timeout", "retries",       "size",           "ttl",    "save", "format",
    "f",    "iL",      "exclude",       "exclude-file",   "order",  "seed", "shard",
    "o",    "output",  "names-timeout", "names-parallel", "history"};
const std::vector<std::string> SweepArguments::Flags = {
    "names", "progress", "frames", "q", "quiet", "a", "answered", "u", "unanswered", "record", "neighbours"};
const std::vector<std::string> SweepArguments::Lists = {"tcp"};

SweepArguments::SweepArguments(const CommandLine &args, std::FILE *standardInput)
    : settings(settingsOf(args)), format(formatOf(args)), saveFile(args.writableFile("save")),
      outputFile(outputFileOf(args)), neighbours(args.has("neighbours")), tcpPorts(tcpPortsOf(args)),
      progress(args.has("progress")), quiet(quietOf(args)), listing(listingOf(args)), historyFile(historyFileOf(args))
{
    namesOf(args, *this);
    targets = targetsOf(args, standardInput);
    Sweep::checkSize(targets, settings);
}
