#include "SqliteStatement.h"

#include "HistoryError.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3 *db, const std::string &file, const char *sql) : m_db(db), m_file(file)
{
    check(sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement &SqliteStatement::bind(int64_t value)
{
    reset();
    check(sqlite3_bind_int64(m_statement, m_next++, value));
    return *this;
}

SqliteStatement &SqliteStatement::bind(const std::string &text)
{
    reset();
    check(sqlite3_bind_text(m_statement, m_next++, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

SqliteStatement &SqliteStatement::bind(const std::vector<uint8_t> &blob)
{
    reset();
    check(sqlite3_bind_blob(m_statement, m_next++, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT));
    return *this;
}

bool SqliteStatement::step()
{
    if (m_done) {
        sqlite3_reset(m_statement);
        m_done = false;
    }
    m_started = true;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    m_done = true;
    if (result != SQLITE_DONE)
        check(result);
    return false;
}

void SqliteStatement::run()
{
    while (step()) {
    }
}

int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::string SqliteStatement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column))) : std::string();
}

std::vector<uint8_t> SqliteStatement::blob(int column) const
{
    const auto *bytes = static_cast<const uint8_t *>(sqlite3_column_blob(m_statement, column));
    return bytes ? std::vector<uint8_t>(bytes, bytes + sqlite3_column_bytes(m_statement, column))
                 : std::vector<uint8_t>();
}

void SqliteStatement::execute(sqlite3 *db, const std::string &file, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw HistoryError(file, reason(db));
}

std::string SqliteStatement::reason(sqlite3 *db)
{
    return sqlite3_errmsg(db);
}

void SqliteStatement::check(int result) const
{
    if (result != SQLITE_OK)
        throw HistoryError(m_file, reason(m_db));
}

// Values bound after a run start a new one, from the first parameter.
void SqliteStatement::reset()
{
    if (!m_started)
        return;
    sqlite3_reset(m_statement);
    m_started = false;
    m_done = false;
    m_next = 1;
}
