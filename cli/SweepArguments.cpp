#include "SweepArguments.h"

#include "TargetFile.h"
#include "ping/icmp.h"

#include <stdexcept>

namespace {

int boundedOption(const CommandLine &args, const std::string &name, int fallback, int low, int high)
{
    const int value = args.integer(name, fallback);
    if (value < low || value > high)
        throw CommandLine::UsageError("--" + name + " must be " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

Sweep::Settings settingsOf(const CommandLine &args)
{
    using Limits = Sweep::Settings;
    Sweep::Settings settings;
    settings.rate = boundedOption(args, "rate", settings.rate, 1, Limits::MaxRate);
    settings.timeoutMs = boundedOption(args, "timeout", settings.timeoutMs, 1, Limits::MaxTimeoutMs);
    settings.retries = boundedOption(args, "retries", settings.retries, 0, Limits::MaxRetries);
    settings.size = boundedOption(args, "size", settings.size, 0, TICMP::MaxSize);
    settings.ttl = boundedOption(args, "ttl", settings.ttl, 1, 255);
    return settings;
}

std::string formatOf(const CommandLine &args)
{
    const std::string format = args.text("format", "text");
    if (format != "text" && format != "csv" && format != "json" && format != "xml")
        throw CommandLine::UsageError("--format must be text, csv, json or xml, not '" + format + "'");
    return format;
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

// Standard input can be read once.
void checkFiles(const CommandLine &args)
{
    int fromInput = 0;
    for (const char *option : {"f", "exclude-file"})
        for (const std::string &name : args.texts(option))
            fromInput += name == "-" ? 1 : 0;
    if (fromInput > 1)
        throw CommandLine::UsageError("standard input (-) can be read for one file only");
}

// Exclusions first, so that what they take out never counts against the largest sweep. A target file
// with no target in it is most likely a mistake (an empty pipe), never a sweep of nothing.
SweepTargets targetsOf(const CommandLine &args, std::FILE *standardInput)
{
    if (args.positional().empty() && !args.has("f"))
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
    for (const std::string &file : args.texts("f"))
        if (TargetFile::read(file, add, standardInput) == 0)
            throw TargetFile::Error(TargetFile::shownName(file) + ": no target in it");
    if (targets.count() == 0)
        throw std::runtime_error("sweep: every target is excluded");
    return targets;
}

} // namespace

const std::vector<std::string> SweepArguments::Options = {"rate", "timeout", "retries", "size",    "ttl",
                                                          "save", "format",  "f",       "exclude", "exclude-file"};
const std::vector<std::string> SweepArguments::Flags = {"names", "progress"};

SweepArguments::SweepArguments(const CommandLine &args, std::FILE *standardInput)
    : settings(settingsOf(args)), format(formatOf(args)), saveFile(args.writableFile("save")), names(args.has("names")),
      progress(args.has("progress"))
{
    targets = targetsOf(args, standardInput);
}
