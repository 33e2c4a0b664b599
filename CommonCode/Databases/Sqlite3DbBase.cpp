#include "Databases/Sqlite3DbBase.h"
#include "Databases/SqliteStatement.h"
#include <sqlite3.h>
#include <string>

namespace Brodix::Databases {

namespace {

// sqlite3_open16 wants UTF-16; code points above U+FFFF become surrogate pairs.
bool ToUtf16(wchar_t const* path, std::u16string& out)
{
    out.clear();
    for (; *path != L'\0'; ++path) {
        auto const c = static_cast<uint32_t>(*path);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (c > 0xFFFF) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return true;
}

} // namespace

CSqlite3DbBase::~CSqlite3DbBase()
{
    for (auto db = m_databases.rbegin(); db != m_databases.rend(); ++db)
        sqlite3_close_v2(*db);
}

bool CSqlite3DbBase::PerformFirstTimeInitialisation(unsigned, std::string) { return true; }

bool CSqlite3DbBase::OpenDb(wchar_t const* path, std::string name)
{
    std::u16string path16;
    if (path == nullptr || !ToUtf16(path, path16))
        return false;
    sqlite3* db = nullptr;
    if (sqlite3_open16(path16.c_str(), &db) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_exec(db, "PRAGMA encoding = \"UTF-8\"", nullptr, nullptr, nullptr);

    // The tables and whatever a first-time set-up writes form one transaction,
    // so a set-up that fails half way leaves the file as it was. A deferred
    // transaction takes no write lock, so a read-only file still opens.
    bool const inTransaction = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    bool created = false;
    if (!inTransaction || !TablesExistOrCreate(db, created)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        return false;
    }

    auto const index = static_cast<unsigned>(m_databases.size());
    m_databases.push_back(db);
    bool const initialised = !created || PerformFirstTimeInitialisation(index, name);
    if (!initialised || sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_databases.pop_back();
        sqlite3_close_v2(db);
        return false;
    }
    m_nameToIndex[name] = index;
    m_indexToName[index] = std::move(name);
    return true;
}

bool CSqlite3DbBase::PassesFilter(unsigned index, char const* databaseName) const
{
    if (databaseName == nullptr)
        return true;
    auto const entry = m_nameToIndex.find(databaseName);
    return entry != m_nameToIndex.end() && entry->second == index;
}

bool CSqlite3DbBase::TableExists(sqlite3* db, char const* name)
{
    SqliteText const quoted(sqlite3_mprintf("%Q", name));
    if (!quoted)
        return false;
    std::string const sql =
        std::string("SELECT Count(*) FROM sqlite_master WHERE type='table' AND name=") + quoted.get();
    SqliteStatement query(db, sql.c_str());
    return query.Step() && sqlite3_column_int64(query.get(), 0) == 1;
}

} // namespace Brodix::Databases
