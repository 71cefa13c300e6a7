#include "SweepCommand.h"

#include "ping/MachineListFile.h"
#include "ping/Sweep.h"
#include "ping/SweepReport.h"
#include "ping/icmp.h"
#include "platform/IcmpTypes.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Answer = Sweep::Answer;

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
    if (format != "text" && format != "csv" && format != "json")
        throw CommandLine::UsageError("--format must be text, csv or json, not '" + format + "'");
    return format;
}

SweepTargets targetsOf(const CommandLine &args)
{
    if (args.positional().empty())
        throw CommandLine::UsageError("sweep needs at least one TARGET");
    SweepTargets targets;
    for (const std::string &target : args.positional()) {
        try {
            targets.add(target);
        } catch (const std::invalid_argument &e) {
            throw CommandLine::UsageError(e.what());
        }
    }
    return targets;
}

bool answered(const Answer &answer)
{
    return answer.status == IP_SUCCESS;
}

// The machines that answered, as the window's "Salvar IPs" writes them, so that it can load them.
void save(const Sweep &sweep, const std::string &fileName)
{
    MachineListFile file;
    for (const Answer &answer : sweep.answers())
        if (answered(answer))
            file.addLine(QString::fromStdString(answer.address.toString()));
    file.write(QString::fromLocal8Bit(fileName.c_str()));
}

void printProgress(std::ostream &progress, const Sweep::Progress &now)
{
    progress << "\rsweep: " << now.sent << " requests for " << now.addresses << " addresses, " << now.replies
             << " answered, " << now.errors << " errors, " << now.unsent << " not sent\x1b[K" << std::flush;
}

// One line per reason the system gave for not sending: how many, and the first few addresses.
void reportUnsent(const Sweep &sweep, std::ostream &err)
{
    for (const Sweep::Unsent &each : sweep.unsent()) {
        err << "tozelo-cli: sweep: " << TICMP::ErrorTextOf(int(each.status)) << ": " << each.count
            << (each.count == 1 ? " request" : " requests") << " not sent (";
        for (size_t i = 0; i < each.first.size(); ++i)
            err << (i == 0 ? "" : ", ") << each.first[i].toString();
        if (each.count > each.first.size())
            err << " and " << each.count - each.first.size() << " more";
        err << ")\n";
    }
}

} // namespace

SweepCommand::SweepCommand(const CommandLine &args)
    : m_targets(targetsOf(args)), m_settings(settingsOf(args)), m_format(formatOf(args)),
      m_saveFile(args.writableFile("save"))
{
}

SweepCommand::~SweepCommand() = default;

void SweepCommand::open()
{
    m_sweep = std::make_unique<Sweep>(m_targets, m_settings);
    m_sweep->open();
}

int SweepCommand::run(std::ostream &out, std::ostream &err, bool showProgress)
{
    Sweep &sweep = *m_sweep;
    if (sweep.effectiveRate() < m_settings.rate)
        err << "tozelo-cli: sweep: sending at most " << sweep.effectiveRate() << " requests a second: at --rate "
            << m_settings.rate << " more requests would wait out a time-out of " << m_settings.timeoutMs
            << " ms than a sweep holds\n"
            << std::flush;
    if (showProgress)
        sweep.onProgress = [&err](const Sweep::Progress &now) { printProgress(err, now); };
    sweep.run();
    if (showProgress)
        err << "\r\x1b[K" << std::flush;
    reportUnsent(sweep, err);

    const SweepReport report = SweepReport::of(sweep);
    if (m_format == "csv")
        report.writeCsv(out);
    else if (m_format == "json")
        report.writeJson(out);
    else
        report.writeText(out);
    out << std::flush;
    if (!m_saveFile.empty())
        save(sweep, m_saveFile);
    if (sweep.droppedInLastPass() != 0) {
        err << "tozelo-cli: sweep: the system dropped " << sweep.droppedInLastPass()
            << " answers for want of room, even when asked again: hosts that answered may be missing (try a "
               "lower --rate)\n";
        return SweepIncomplete;
    }
    return sweep.progress().replies > 0 ? 0 : 1;
}
