#include "HistoryStore.h"

#include "AnswerBlob.h"
#include "HistoryError.h"
#include "HistoryLocation.h"
#include "SqliteStatement.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
// Another program writing the same history (the window and the command line at once) holds it for
// a batch's time; longer than this, it is taken as locked.
constexpr int BusyTimeoutMs = 1000;

const char *const Tables = R"(
CREATE TABLE IF NOT EXISTS machines(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS statuses(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS answers(machine INTEGER NOT NULL, minute INTEGER NOT NULL, data BLOB NOT NULL,
    PRIMARY KEY(machine, minute)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS figures(span INTEGER NOT NULL, machine INTEGER NOT NULL, start INTEGER NOT NULL,
    count INTEGER NOT NULL, lost INTEGER NOT NULL, min INTEGER NOT NULL, median INTEGER NOT NULL,
    max INTEGER NOT NULL, PRIMARY KEY(span, machine, start)) WITHOUT ROWID;
)";

// Root may write any file; a history whose file nobody may write is one its owner wants left alone.
bool nobodyMayWrite(const std::string &file)
{
    struct stat status;
    return stat(file.c_str(), &status) == 0 && (status.st_mode & 0222) == 0;
}

bool exists(const std::string &file)
{
    struct stat status;
    return stat(file.c_str(), &status) == 0;
}

HistoryFigures figuresOf(const SqliteStatement &row)
{
    HistoryFigures figures;
    figures.startMs = row.integer(0);
    figures.count = row.integer(1);
    figures.lost = row.integer(2);
    figures.minMs = static_cast<uint32_t>(row.integer(3));
    figures.medianMs = static_cast<uint32_t>(row.integer(4));
    figures.maxMs = static_cast<uint32_t>(row.integer(5));
    return figures;
}
} // namespace

HistoryStore::HistoryStore(const std::string &file, Mode mode) : m_file(file)
{
    try {
        open(mode);
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
}

HistoryStore::~HistoryStore()
{
    sqlite3_close(m_db);
}

void HistoryStore::open(Mode mode)
{
    if (m_file.empty())
        throw HistoryError("file", "no data folder is known (neither XDG_DATA_HOME nor HOME is set)");
    if (mode == Mode::Write && nobodyMayWrite(m_file))
        throw HistoryError(m_file, "the file is read-only");
    if (mode == Mode::Read && !exists(m_file))
        throw HistoryError(m_file, std::strerror(ENOENT));
    if (mode == Mode::Write)
        HistoryLocation::makeFolderOf(m_file);
    const int flags = mode == Mode::Write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(m_file.c_str(), &m_db, flags, nullptr) != SQLITE_OK)
        throw HistoryError(m_file, m_db ? SqliteStatement::reason(m_db) : "out of memory");
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);
    if (mode == Mode::Read) {
        SqliteStatement::execute(m_db, m_file, "SELECT count(*) FROM machines");
        return;
    }
    if (sqlite3_db_readonly(m_db, "main") == 1)
        throw HistoryError(m_file, "the file is read-only");
    createTables();
}

// Committed batches survive a killed process in WAL mode without a sync each; a power cut may take
// the last ones.
void HistoryStore::createTables()
{
    SqliteStatement::execute(m_db, m_file, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    SqliteStatement::execute(m_db, m_file, Tables);
}

void HistoryStore::append(const std::vector<HistoryAnswer> &batch)
{
    transaction([&] {
        SqliteStatement upsert(m_db, m_file,
                               "INSERT INTO answers(machine, minute, data) VALUES(?, ?, ?) ON CONFLICT(machine, "
                               "minute) DO UPDATE SET data = CAST(data || excluded.data AS BLOB)");
        std::vector<uint8_t> blob;
        for (const HistoryAnswer &answer : batch) {
            const int64_t minute = HistoryFigures::periodStart(answer.atMs, MinuteMs);
            AnswerBlob::Entry entry;
            entry.offsetMs = static_cast<uint16_t>(answer.atMs - minute);
            entry.answered = answer.answered;
            entry.value = answer.answered ? answer.rttMs : static_cast<uint32_t>(statusId(answer.status));
            blob.clear();
            AnswerBlob::append(blob, entry);
            upsert.bind(machineId(answer.machine)).bind(minute).bind(blob).run();
        }
    });
}

std::vector<std::string> HistoryStore::machines() const
{
    SqliteStatement select(m_db, m_file, "SELECT name FROM machines ORDER BY name");
    std::vector<std::string> names;
    while (select.step())
        names.push_back(select.text(0));
    return names;
}

std::vector<HistoryAnswer> HistoryStore::answers(const std::string &machine, int64_t fromMs, int64_t toMs) const
{
    std::vector<HistoryAnswer> found;
    const auto id = knownMachine(machine);
    if (!id)
        return found;
    SqliteStatement select(m_db, m_file,
                           "SELECT minute, data FROM answers WHERE machine = ? AND minute >= ? AND minute < ? "
                           "ORDER BY minute");
    select.bind(*id).bind(HistoryFigures::periodStart(fromMs, MinuteMs)).bind(toMs);
    while (select.step())
        for (HistoryAnswer &answer : unpack(machine, select.integer(0), select.blob(1)))
            if (answer.atMs >= fromMs && answer.atMs < toMs)
                found.push_back(std::move(answer));
    return found;
}

std::optional<HistoryAnswer> HistoryStore::lastAnswer(const std::string &machine) const
{
    const auto id = knownMachine(machine);
    if (!id)
        return std::nullopt;
    SqliteStatement select(m_db, m_file,
                           "SELECT minute, data FROM answers WHERE machine = ? ORDER BY minute DESC LIMIT 1");
    select.bind(*id);
    if (!select.step())
        return std::nullopt;
    std::vector<HistoryAnswer> minute = unpack(machine, select.integer(0), select.blob(1));
    if (minute.empty())
        return std::nullopt;
    return minute.back();
}

std::vector<HistoryFigures> HistoryStore::figures(const std::string &machine, int64_t spanMs, int64_t fromMs,
                                                  int64_t toMs) const
{
    std::vector<HistoryFigures> found;
    const auto id = knownMachine(machine);
    if (!id)
        return found;
    SqliteStatement select(m_db, m_file,
                           "SELECT start, count, lost, min, median, max FROM figures WHERE span = ? AND machine = ? "
                           "AND start >= ? AND start < ? ORDER BY start");
    select.bind(spanMs).bind(*id).bind(fromMs).bind(toMs);
    while (select.step())
        found.push_back(figuresOf(select));
    return found;
}

void HistoryStore::addFigures(const std::string &machine, int64_t spanMs, const std::vector<HistoryFigures> &periods)
{
    const int64_t id = machineId(machine);
    SqliteStatement replace(m_db, m_file, "INSERT OR REPLACE INTO figures VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    for (const HistoryFigures &period : periods) {
        std::vector<HistoryFigures> same = figures(machine, spanMs, period.startMs, period.startMs + 1);
        same.push_back(period);
        const HistoryFigures merged = HistoryFigures::combine(same);
        replace.bind(spanMs).bind(id).bind(period.startMs).bind(merged.count).bind(merged.lost);
        replace.bind(merged.minMs).bind(merged.medianMs).bind(merged.maxMs).run();
    }
}

void HistoryStore::dropAnswers(const std::string &machine, int64_t beforeMs)
{
    SqliteStatement(m_db, m_file, "DELETE FROM answers WHERE machine = ? AND minute < ?")
        .bind(machineId(machine))
        .bind(beforeMs)
        .run();
}

void HistoryStore::dropFigures(int64_t spanMs, int64_t beforeMs)
{
    SqliteStatement(m_db, m_file, "DELETE FROM figures WHERE span = ? AND start < ?").bind(spanMs).bind(beforeMs).run();
}

void HistoryStore::dropFigures(const std::string &machine, int64_t spanMs, int64_t beforeMs)
{
    SqliteStatement(m_db, m_file, "DELETE FROM figures WHERE span = ? AND machine = ? AND start < ?")
        .bind(spanMs)
        .bind(machineId(machine))
        .bind(beforeMs)
        .run();
}

void HistoryStore::transaction(const std::function<void()> &work)
{
    SqliteStatement::execute(m_db, m_file, "BEGIN IMMEDIATE");
    try {
        work();
        SqliteStatement::execute(m_db, m_file, "COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        // The names taken in the rolled-back work may not be in the file.
        m_machineIds.clear();
        m_statusIds.clear();
        throw;
    }
}

int64_t HistoryStore::machineId(const std::string &machine)
{
    const auto known = m_machineIds.find(machine);
    if (known != m_machineIds.end())
        return known->second;
    SqliteStatement(m_db, m_file, "INSERT OR IGNORE INTO machines(name) VALUES(?)").bind(machine).run();
    const int64_t id = *knownMachine(machine);
    m_machineIds.emplace(machine, id);
    return id;
}

std::optional<int64_t> HistoryStore::knownMachine(const std::string &machine) const
{
    SqliteStatement select(m_db, m_file, "SELECT id FROM machines WHERE name = ?");
    select.bind(machine);
    if (!select.step())
        return std::nullopt;
    return select.integer(0);
}

int64_t HistoryStore::statusId(const std::string &status)
{
    const auto known = m_statusIds.find(status);
    if (known != m_statusIds.end())
        return known->second;
    SqliteStatement(m_db, m_file, "INSERT OR IGNORE INTO statuses(text) VALUES(?)").bind(status).run();
    SqliteStatement select(m_db, m_file, "SELECT id FROM statuses WHERE text = ?");
    select.bind(status).step();
    return m_statusIds.emplace(status, select.integer(0)).first->second;
}

const std::string &HistoryStore::statusText(int64_t id) const
{
    const auto known = m_statusTexts.find(id);
    if (known != m_statusTexts.end())
        return known->second;
    SqliteStatement select(m_db, m_file, "SELECT text FROM statuses WHERE id = ?");
    select.bind(id);
    return m_statusTexts.emplace(id, select.step() ? select.text(0) : std::string()).first->second;
}

std::vector<HistoryAnswer> HistoryStore::unpack(const std::string &machine, int64_t minuteMs,
                                                const std::vector<uint8_t> &blob) const
{
    std::vector<HistoryAnswer> unpacked;
    for (const AnswerBlob::Entry &entry : AnswerBlob::read(blob.data(), blob.size())) {
        HistoryAnswer answer;
        answer.machine = machine;
        answer.atMs = minuteMs + entry.offsetMs;
        answer.answered = entry.answered;
        answer.rttMs = entry.answered ? entry.value : 0;
        answer.status = entry.answered ? std::string() : statusText(entry.value);
        unpacked.push_back(std::move(answer));
    }
    std::stable_sort(unpacked.begin(), unpacked.end(),
                     [](const HistoryAnswer &a, const HistoryAnswer &b) { return a.atMs < b.atMs; });
    return unpacked;
}
