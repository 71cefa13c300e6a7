#include "HistoryExport.h"

#include "HistoryStore.h"
#include "HistoryTime.h"

#include "echo/TextFields.h"

namespace {
void writeCsv(const HistoryAnswer &answer, std::ostream &out)
{
    out << TextFields::csv(answer.machine) << ',' << HistoryTime::text(answer.atMs) << ',' << answer.atMs << ',';
    if (answer.answered)
        out << answer.rttMs << ",\n";
    else
        out << ',' << TextFields::csv(answer.status) << '\n';
}

// Keys in alphabetical order, as the sweep's JSON has them.
void writeJson(const HistoryAnswer &answer, bool first, std::ostream &out)
{
    out << (first ? "\n" : ",\n") << "{\"machine\":" << TextFields::json(answer.machine);
    if (answer.answered)
        out << ",\"rtt_ms\":" << answer.rttMs;
    else
        out << ",\"status\":" << TextFields::json(answer.status);
    out << ",\"time\":\"" << HistoryTime::text(answer.atMs) << "\",\"time_ms\":" << answer.atMs << '}';
}
} // namespace

std::optional<HistoryExport::Format> HistoryExport::formatNamed(const std::string &name)
{
    if (name == "csv")
        return Format::Csv;
    if (name == "json")
        return Format::Json;
    return std::nullopt;
}

void HistoryExport::write(const HistoryStore &store, std::vector<std::string> machines, int64_t fromMs, int64_t toMs,
                          Format format, std::ostream &out)
{
    if (machines.empty())
        machines = store.machines();
    bool first = true;
    out << (format == Format::Csv ? "machine,time,time_ms,rtt_ms,status\n" : "[");
    for (const std::string &machine : machines)
        for (const HistoryAnswer &answer : store.answers(machine, fromMs, toMs)) {
            if (format == Format::Csv)
                writeCsv(answer, out);
            else
                writeJson(answer, first, out);
            first = false;
        }
    if (format == Format::Json)
        out << (first ? "]\n" : "\n]\n");
}
