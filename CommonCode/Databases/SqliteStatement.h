// Scope guards for SQLite's C objects: a prepared statement that finalises
// itself, and text from sqlite3_mprintf that frees itself.
#pragma once
#include <cstdint>
#include <memory>
#include <sqlite3.h>
#include <string>

namespace Brodix::Databases {

struct SqliteFree {
    void operator()(char* text) const { sqlite3_free(text); }
};
using SqliteText = std::unique_ptr<char, SqliteFree>;

class SqliteStatement {
public:
    // A statement that failed to prepare steps to nothing.
    SqliteStatement(sqlite3* db, char const* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~SqliteStatement() { sqlite3_finalize(m_statement); }
    SqliteStatement(SqliteStatement const&) = delete;
    SqliteStatement& operator=(SqliteStatement const&) = delete;

    bool Prepared() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }

    // True while there is a row; false at the end and on any failure.
    bool Step() { return m_statement != nullptr && sqlite3_step(m_statement) == SQLITE_ROW; }
    // Runs a statement that returns no rows.
    bool Execute() { return m_statement != nullptr && sqlite3_step(m_statement) == SQLITE_DONE; }
    void Reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

    // Parameters count from 1; a failed bind makes the next step fail too.
    bool Bind(int parameter, int64_t value) { return sqlite3_bind_int64(m_statement, parameter, value) == SQLITE_OK; }
    bool Bind(int parameter, std::string const& utf8)
    {
        return sqlite3_bind_text(m_statement, parameter, utf8.data(), static_cast<int>(utf8.size()),
                                 SQLITE_TRANSIENT)
            == SQLITE_OK;
    }
    bool BindNull(int parameter) { return sqlite3_bind_null(m_statement, parameter) == SQLITE_OK; }

    // A NULL column gives the empty text.
    std::string Text(int column) const
    {
        auto const* text = reinterpret_cast<char const*>(sqlite3_column_text(m_statement, column));
        return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                               : std::string();
    }
    int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace Brodix::Databases
