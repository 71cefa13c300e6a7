#include "HistoryCommand.h"

#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "history/HistoryTime.h"

#include <limits>

const std::vector<std::string> HistoryCommand::Options = {"since", "until", "format", "history"};

namespace {
HistoryExport::Format formatOf(const CommandLine &args)
{
    const std::string name = args.text("format", "csv");
    const auto format = HistoryExport::formatNamed(name);
    if (!format)
        throw CommandLine::UsageError("--format must be csv or json, not '" + name + "'");
    return *format;
}
} // namespace

HistoryCommand::HistoryCommand(const CommandLine &args, int64_t nowMs)
    : m_machines(args.positional()), m_since(timeOf(args, "since", std::numeric_limits<int64_t>::min() / 2, nowMs)),
      m_until(timeOf(args, "until", std::numeric_limits<int64_t>::max() / 2, nowMs)), m_format(formatOf(args)),
      m_file(args.text("history", HistoryLocation::defaultFile()))
{
}

int HistoryCommand::run(std::ostream &out) const
{
    const HistoryStore store(m_file, HistoryStore::Mode::Read);
    HistoryExport::write(store, m_machines, m_since, m_until, m_format, out);
    return 0;
}

int64_t HistoryCommand::timeOf(const CommandLine &args, const std::string &name, int64_t fallback, int64_t nowMs)
{
    if (!args.has(name))
        return fallback;
    const std::string text = args.text(name, "");
    const auto time = HistoryTime::parse(text, nowMs);
    if (!time)
        throw CommandLine::UsageError("--" + name + " takes a time such as 2024-05-01T12:00:00Z or 2h, not '" + text +
                                      "'");
    return *time;
}
