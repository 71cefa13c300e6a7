#pragma once
#include "HistoryAnswer.h"
#include "HistoryFigures.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

// The history's database (SQLite, in WAL mode, so that readers never stop the writer and a killed
// writer loses nothing committed): every answer of the last day packed by machine and minute, and
// the figures of older minutes and hours. Times are wall-clock milliseconds since the epoch; spans
// are [from, to). Used from one thread at a time; set-up and every later failure are HistoryError.
class HistoryStore {
public:
    static constexpr int64_t MinuteMs = 60000;
    static constexpr int64_t HourMs = 60 * MinuteMs;
    enum class Mode { Write, Read };

    // Opens the file, or makes it (and its folder) to write. A file nobody may write is refused for
    // writing even to root, who could; a file that is not there is refused for reading.
    explicit HistoryStore(const std::string &file, Mode mode = Mode::Write);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    const std::string &file() const { return m_file; }

    // The whole batch, or nothing of it.
    void append(const std::vector<HistoryAnswer> &batch);

    // Every machine heard of, in the order of their names.
    std::vector<std::string> machines() const;
    // A machine's answers kept whole, in time order.
    std::vector<HistoryAnswer> answers(const std::string &machine, int64_t fromMs, int64_t toMs) const;
    std::optional<HistoryAnswer> lastAnswer(const std::string &machine) const;
    // The figures kept for periods of spanMs (MinuteMs or HourMs) that start within the span.
    std::vector<HistoryFigures> figures(const std::string &machine, int64_t spanMs, int64_t fromMs, int64_t toMs) const;

    // What ageing needs: figures added to those of their period, and what they stand for taken away.
    void addFigures(const std::string &machine, int64_t spanMs, const std::vector<HistoryFigures> &periods);
    void dropAnswers(const std::string &machine, int64_t beforeMs);
    void dropFigures(int64_t spanMs, int64_t beforeMs);
    void dropFigures(const std::string &machine, int64_t spanMs, int64_t beforeMs);
    // Runs work in one transaction: all of it is kept, or none when it throws.
    void transaction(const std::function<void()> &work);

private:
    void open(Mode mode);
    void createTables();
    int64_t machineId(const std::string &machine);
    std::optional<int64_t> knownMachine(const std::string &machine) const;
    int64_t statusId(const std::string &status);
    const std::string &statusText(int64_t id) const;
    std::vector<HistoryAnswer> unpack(const std::string &machine, int64_t minuteMs,
                                      const std::vector<uint8_t> &blob) const;

    const std::string m_file;
    sqlite3 *m_db = nullptr;
    std::map<std::string, int64_t> m_machineIds;
    std::map<std::string, int64_t> m_statusIds;
    mutable std::map<int64_t, std::string> m_statusTexts;
};
