#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement of the history's database; a failure is a HistoryError naming the file.
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *db, const std::string &file, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Binds in order, from the first parameter; step() makes the statement ready for new values.
    SqliteStatement &bind(int64_t value);
    SqliteStatement &bind(const std::string &text);
    SqliteStatement &bind(const std::vector<uint8_t> &blob);
    // True while there is a row to read.
    bool step();
    // step() for a statement that returns no row.
    void run();

    int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<uint8_t> blob(int column) const;

    // Runs statements that take no value, several allowed.
    static void execute(sqlite3 *db, const std::string &file, const char *sql);
    // The database's words for its last error.
    static std::string reason(sqlite3 *db);

private:
    void check(int result) const;
    void reset();

    sqlite3 *m_db;
    const std::string &m_file;
    sqlite3_stmt *m_statement = nullptr;
    int m_next = 1;
    bool m_started = false; // stepped since values were bound
    bool m_done = false;    // ran to its end, or failed
};
