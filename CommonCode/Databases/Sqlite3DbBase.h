// A set of open SQLite database files, each registered under a name. A derived
// class makes sure its tables exist whenever a file is opened, and may fill a
// file whose tables it has just created. Every SQLite failure is silent: an
// open that fails leaves nothing registered.
#pragma once
#include <map>
#include <string>
#include <vector>

struct sqlite3;

namespace Brodix::Databases {

class CSqlite3DbBase {
public:
    CSqlite3DbBase() = default;
    virtual ~CSqlite3DbBase();
    CSqlite3DbBase(CSqlite3DbBase const&) = delete;
    CSqlite3DbBase& operator=(CSqlite3DbBase const&) = delete;

    // Opens (creating when missing) the file at path and registers it under name.
    bool OpenDb(wchar_t const* path, std::string name);

    // True when the database with this index passes a name filter (null passes all).
    bool PassesFilter(unsigned index, char const* databaseName) const;
    std::size_t DatabaseCount() const { return m_databases.size(); }

    // True only when the table exists; a failed query counts as absent.
    static bool TableExists(sqlite3* db, char const* name);

protected:
    virtual bool TablesExistOrCreate(sqlite3* db, bool& created) = 0;
    virtual bool PerformFirstTimeInitialisation(unsigned index, std::string name);

    std::vector<sqlite3*> m_databases;
    std::map<std::string, unsigned> m_nameToIndex;
    std::map<unsigned, std::string> m_indexToName;
};

} // namespace Brodix::Databases
