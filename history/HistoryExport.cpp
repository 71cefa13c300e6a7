#include "HistoryExport.h"

#include "HistoryStore.h"
#include "HistoryTime.h"

#include "echo/TextFields.h"

#include <algorithm>

namespace {
// One row: an answer kept whole, or the figures of an older minute or hour (periodMs not 0).
struct Row {
    int64_t atMs = 0;
    int64_t periodMs = 0;
    const HistoryAnswer *answer = nullptr;
    HistoryFigures figures;
};

void writeCsv(const std::string &machine, const Row &row, std::ostream &out)
{
    out << TextFields::csv(machine) << ',' << HistoryTime::text(row.atMs) << ',' << row.atMs << ',';
    if (row.answer) {
        if (row.answer->answered)
            out << row.answer->rttMs << ",,,,,,,";
        else
            out << ',' << TextFields::csv(row.answer->status) << ",,,,,,";
    } else {
        const HistoryFigures &f = row.figures;
        out << ",," << row.periodMs / 1000 << ',' << f.count << ',' << f.lost << ',';
        if (f.answered() > 0)
            out << f.minMs << ',' << f.medianMs << ',' << f.maxMs;
        else
            out << ",,";
    }
    out << '\n';
}

// Keys in alphabetical order, as the sweep's JSON has them.
void writeJson(const std::string &machine, const Row &row, bool first, std::ostream &out)
{
    out << (first ? "\n{" : ",\n{");
    if (row.answer) {
        out << "\"machine\":" << TextFields::json(machine);
        if (row.answer->answered)
            out << ",\"rtt_ms\":" << row.answer->rttMs;
        else
            out << ",\"status\":" << TextFields::json(row.answer->status);
    } else {
        const HistoryFigures &f = row.figures;
        out << "\"count\":" << f.count << ",\"lost\":" << f.lost << ",\"machine\":" << TextFields::json(machine);
        if (f.answered() > 0)
            out << ",\"max_ms\":" << f.maxMs << ",\"median_ms\":" << f.medianMs << ",\"min_ms\":" << f.minMs;
        out << ",\"period_s\":" << row.periodMs / 1000;
    }
    out << ",\"time\":\"" << HistoryTime::text(row.atMs) << "\",\"time_ms\":" << row.atMs << '}';
}

// Hours older than a week, minutes older than a day, answers of the last day: in time order.
std::vector<Row> rowsOf(const std::vector<HistoryAnswer> &answers, const HistoryStore &store,
                        const std::string &machine, int64_t fromMs, int64_t toMs)
{
    std::vector<Row> rows;
    for (const int64_t period : {HistoryStore::HourMs, HistoryStore::MinuteMs})
        for (const HistoryFigures &figures : store.figures(machine, period, fromMs, toMs))
            rows.push_back({figures.startMs, period, nullptr, figures});
    for (const HistoryAnswer &answer : answers)
        rows.push_back({answer.atMs, 0, &answer, {}});
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.atMs < b.atMs; });
    return rows;
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
    out << (format == Format::Csv ? "machine,time,time_ms,rtt_ms,status,period_s,count,lost,min_ms,median_ms,max_ms\n"
                                  : "[");
    for (const std::string &machine : machines) {
        const std::vector<HistoryAnswer> answers = store.answers(machine, fromMs, toMs);
        for (const Row &row : rowsOf(answers, store, machine, fromMs, toMs)) {
            if (format == Format::Csv)
                writeCsv(machine, row, out);
            else
                writeJson(machine, row, first, out);
            first = false;
        }
    }
    if (format == Format::Json)
        out << (first ? "]\n" : "\n]\n");
}
