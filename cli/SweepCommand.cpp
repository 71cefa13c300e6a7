#include "SweepCommand.h"

#include "CommandRun.h"
#include "StopSignals.h"
#include "SweepOutput.h"
#include "SweepProgress.h"
#include "echo/EchoTerms.h"
#include "echo/MachineListWriter.h"
#include "history/HistoryRecorder.h"
#include "history/SweepRecording.h"
#include "history/WallClock.h"
#include "platform/IcmpTypes.h"
#include "sweep/NeighbourPresence.h"
#include "sweep/ReverseNames.h"
#include "sweep/Sweep.h"
#include "sweep/SweepReport.h"
#include "sweep/TcpPresence.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Answer = Sweep::Answer;

// How often the progress of the lookups is looked at.
constexpr int NamesTickMs = 50;

bool answered(const Answer &answer)
{
    return answer.status == IP_SUCCESS;
}

// The machines that answered, as the window's "Salvar IPs" writes them, so that it can load them.
void save(const Sweep &sweep, const std::string &fileName)
{
    std::vector<std::string> lines;
    for (const Answer &answer : sweep.answers())
        if (answered(answer))
            lines.push_back(answer.address.toString());
    try {
        MachineListWriter::write(fileName, lines);
    } catch (const std::runtime_error &e) {
        throw CommandRun::Failure(SweepStatus::OutputFailed, e.what());
    }
}

// Most likely a link without carrier, whose queue stays full for as long as it is gone.
std::string reasonOf(uint32_t status)
{
    const std::string text = EchoTerms::errorText(int(status));
    return status == IP_NO_RESOURCES ? text + " (no room to send for longer than the time-out)" : text;
}

// One line per reason the system gave for not sending: how many, and the first few addresses.
void reportUnsent(const Sweep &sweep, std::ostream &err)
{
    for (const Sweep::Unsent &each : sweep.unsent()) {
        err << "tozelo-cli: sweep: " << reasonOf(each.status) << ": " << each.count
            << (each.count == 1 ? " request" : " requests") << " not sent (";
        for (size_t i = 0; i < each.first.size(); ++i)
            err << (i == 0 ? "" : ", ") << each.first[i].toString();
        if (each.count > each.first.size())
            err << " and " << each.count - each.first.size() << " more";
        err << ")\n";
    }
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The names of the hosts that answered, looked up many at a time once the sweep is over, so that no
// lookup's traffic mixes with the sweep's. The counts are kept on the lookups' thread, read here. A
// signal ends the lookups with the names found so far.
void lookUpNames(SweepReport &report, const SweepArguments &args, SweepProgress *progress, StopSignals &signals)
{
    std::atomic<uint64_t> done{0};
    std::atomic<uint64_t> found{0};
    ReverseNames names(
        [&](const IpAddress &address, const std::string &name) {
            if (!name.empty()) {
                report.names[address] = name;
                ++found;
            }
            ++done;
        },
        args.namesParallel, args.namesTimeoutMs);
    signals.onStop([&names] { names.stop(); });
    const std::set<IpAddress> hosts = report.hostsFound();
    for (const IpAddress &host : hosts)
        names.lookUp(host);
    const uint64_t total = hosts.size();
    if (progress == nullptr) {
        names.wait();
    } else {
        do
            progress->updateNames(done, total, found, monotonicNs());
        while (!names.waitFor(NamesTickMs));
        progress->finish();
    }
    signals.onStop(nullptr);
}

// The hosts echo did not tell of, found once the sweep is over: on this host's links by ARP and ND,
// then those that answered none of these by TCP. A signal ends the search under way and skips the
// rest.
void findPresence(SweepReport &report, const Sweep &sweep, const std::vector<std::unique_ptr<PresenceSearch>> &searches,
                  StopSignals &signals, std::ostream &err)
{
    for (const std::unique_ptr<PresenceSearch> &search : searches) {
        if (signals.signal() != 0)
            return;
        signals.onStop([&search] { search->stop(); });
        search->run(sweep, report);
        signals.onStop(nullptr);
        for (const std::string &shortfall : search->shortfalls())
            err << "tozelo-cli: sweep: " << shortfall << "\n";
    }
}

// JSON lines have had their answers already.
std::string textOf(const SweepReport &report, const std::string &format)
{
    std::ostringstream out;
    if (format == "csv")
        report.writeCsv(out);
    else if (format == "json")
        report.writeJson(out);
    else if (format == "jsonl")
        report.writeJsonLinesEnd(out);
    else if (format == "xml")
        report.writeXml(out);
    else
        report.writeText(out);
    return out.str();
}

// The addresses that answered, or those of the shard that did not (silent, or an ICMP error), one a
// line: the first in address order, the others in the order of the targets. Written a part at a
// time, as the targets' addresses may be millions.
void list(const Sweep &sweep, const std::string &listing, SweepOutput &output)
{
    constexpr size_t Part = 1 << 16;
    std::string lines;
    const auto add = [&lines, &output](const IpAddress &address) {
        lines += address.toString() + '\n';
        if (lines.size() >= Part) {
            output.write(lines);
            lines.clear();
        }
    };
    std::set<IpAddress> heard;
    for (const Answer &answer : sweep.answers())
        if (answered(answer)) {
            if (listing == "answered")
                add(answer.address);
            else
                heard.insert(answer.address);
        }
    if (listing == "unanswered")
        sweep.eachAddress([&](const IpAddress &address) {
            if (heard.count(address) == 0)
                add(address);
        });
    output.write(lines);
}

// Each answer as soon as its time is final; a reader that went away, or a failed write, ends the
// sweep, as nothing more could reach the output.
void streamAnswers(Sweep &sweep, SweepOutput &output)
{
    sweep.onAnswers = [&sweep, &output](const Answer *answers, size_t count) {
        std::string lines;
        for (size_t i = 0; i < count; ++i)
            lines += SweepReport::jsonLineOf(answers[i]);
        if (!output.write(lines))
            sweep.stop();
    };
}

// Each answer goes to the history as soon as it is final.
void recordAnswers(Sweep &sweep, HistoryRecorder &recorder)
{
    sweep.onAnswers = [previous = std::move(sweep.onAnswers), &recorder](const Answer *answers, size_t count) {
        if (previous)
            previous(answers, count);
        const int64_t now = WallClock::system().nowMs();
        for (size_t i = 0; i < count; ++i)
            recorder.record(SweepRecording::answerOf(answers[i], now));
    };
}

// A history that cannot be kept is told; the sweep and its result stand.
void reportHistory(HistoryRecorder &recorder, std::ostream &err)
{
    recorder.flush();
    if (const std::optional<HistoryError> failure = recorder.takeFailure())
        err << "tozelo-cli: sweep: " << failure->what() << "; the answers are not recorded\n";
}

// The status of a sweep that ran to its end or was stopped, its result written.
int statusOf(const Sweep &sweep, int signal, std::ostream &err)
{
    if (signal != 0)
        err << "tozelo-cli: sweep: stopped by " << StopSignals::nameOf(signal)
            << ": the answers found so far are written, the others are missing\n";
    if (sweep.droppedInLastPass() != 0)
        err << "tozelo-cli: sweep: the system dropped " << sweep.droppedInLastPass()
            << " answers for want of room, even when asked again: hosts that answered may be missing (try a "
               "lower --rate)\n";
    // Not sent is told with the reasons, before the result.
    if (signal != 0 || sweep.droppedInLastPass() != 0 || !sweep.unsent().empty())
        return SweepStatus::Incomplete;
    return sweep.progress().replies > 0 ? SweepStatus::Answered : SweepStatus::NothingAnswered;
}

} // namespace

SweepCommand::SweepCommand(SweepArguments args) : m_args(std::move(args)) {}

SweepCommand::~SweepCommand() = default;

// The searches that follow the sweep are made ready with it, while a helper may still be given its
// capability.
void SweepCommand::open()
{
    m_sweep = std::make_unique<Sweep>(m_args.targets, m_args.settings);
    m_sweep->open();
    if (m_args.neighbours)
        m_searches.push_back(std::make_unique<NeighbourPresence>(m_args.settings.rate, m_args.settings.timeoutMs));
    if (!m_args.tcpPorts.empty())
        m_searches.push_back(
            std::make_unique<TcpPresence>(m_args.tcpPorts, m_args.settings.rate, m_args.settings.timeoutMs));
    for (const std::unique_ptr<PresenceSearch> &search : m_searches)
        search->prepare(*m_sweep);
}

int SweepCommand::run(std::ostream &err, bool terminal)
{
    const Sweep::Settings &settings = m_args.settings;
    Sweep &sweep = *m_sweep;
    StopSignals signals;
    SweepOutput output(m_args.outputFile);
    if (output.failed())
        throw CommandRun::Failure(SweepStatus::OutputFailed, output.failure());
    if (sweep.effectiveRate() < settings.rate && !m_args.quiet)
        err << "tozelo-cli: sweep: sending at most " << sweep.effectiveRate() << " requests a second: at --rate "
            << settings.rate << " more requests would wait out a time-out of " << settings.timeoutMs
            << " ms than a sweep holds\n"
            << std::flush;
    const bool showProgress = (terminal && !m_args.quiet) || m_args.progress;
    SweepProgress progress(err, terminal, settings.timeoutMs);
    if (showProgress)
        sweep.onProgress = [&progress](const Sweep::Progress &now) { progress.update(now, monotonicNs()); };
    if (m_args.format == "jsonl")
        streamAnswers(sweep, output);
    std::optional<HistoryRecorder> history;
    if (!m_args.historyFile.empty()) {
        history.emplace(m_args.historyFile, WallClock::system());
        recordAnswers(sweep, *history);
    }
    signals.onStop([&sweep] { sweep.stop(); });
    const int64_t startedMs = nowMs();
    sweep.run();
    const int64_t endedMs = nowMs();
    signals.onStop(nullptr);
    progress.finish();
    if (history)
        reportHistory(*history, err);
    reportUnsent(sweep, err);

    SweepReport report = SweepReport::of(sweep);
    report.command = m_args.command;
    report.startedMs = startedMs;
    report.endedMs = endedMs;
    report.timeoutMs = settings.timeoutMs;
    report.withNames = m_args.names;
    report.withPresence = m_args.neighbours || !m_args.tcpPorts.empty();
    findPresence(report, sweep, m_searches, signals, err);
    if (m_args.names && signals.signal() == 0) {
        SweepProgress namesProgress(err, terminal, 0);
        lookUpNames(report, m_args, showProgress ? &namesProgress : nullptr, signals);
    }
    const int signal = signals.signal();
    report.stoppedBy = signal != 0 ? StopSignals::nameOf(signal) : std::string();
    if (m_args.listing.empty())
        output.write(textOf(report, m_args.format));
    else
        list(sweep, m_args.listing, output);
    output.finish();
    if (!m_args.saveFile.empty())
        save(sweep, m_args.saveFile);
    int status = statusOf(sweep, signal, err);
    // A host found on a link or by TCP answered, if not echo.
    if (status == SweepStatus::NothingAnswered && !report.presence.empty())
        status = SweepStatus::Answered;
    if (output.failed())
        throw CommandRun::Failure(SweepStatus::OutputFailed, output.failure());
    return status;
}
