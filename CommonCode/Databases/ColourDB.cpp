#include "Databases/ColourDB.h"
#include "Databases/BuiltInThreads.h"
#include "Databases/SqliteStatement.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace Brodix::Databases {

namespace {

constexpr char kManufacturersTable[] = "Cdb_Manufacturers";
constexpr char kThreadsTable[] = "Cdb_ThreadData";
// "???" stands for the quoted table name.
constexpr char kCreateManufacturers[] = "CREATE TABLE IF NOT EXISTS ???    ('ManufacturerID' INTEGER PRIMARY KEY, "
                                        "    'ManufacturerName' TEXT,     'ManufacturerCollectionID' INTEGER NOT NULL) ";
constexpr char kCreateThreads[] =
    "CREATE TABLE IF NOT EXISTS ???     ('ManufacturerID' INTEGER NOT NULL, 'SerialNumber' TEXT,      "
    "'ThreadName' TEXT, 'MaterialType' INTEGER, 'ThreadWeight' INTEGER, 'NumberColours' INTEGER,      "
    "'ColourID' INTEGER, 'InsertionID' INTEGER PRIMARY KEY NOT NULL,      "
    "'VariegationData' TEXT, 'DisplayOrder' INTEGER, 'UUID' TEXT NOT NULL, 'SysUUID' TEXT)";
constexpr char kSelectManufacturers[] = "SELECT ManufacturerID, ManufacturerCollectionID, ManufacturerName \n"
                                        "FROM 'main'.'Cdb_Manufacturers' \nORDER BY ManufacturerID \n";
constexpr char kFindManufacturer[] =
    "SELECT ManufacturerName, ManufacturerID FROM 'main'.'Cdb_Manufacturers' WHERE ManufacturerName = %Q";
constexpr char kSelectThreads[] = "SELECT InsertionID, ManufacturerID, SerialNumber, ThreadName, MaterialType,   "
                                  "ThreadWeight, NumberColours, ColourID, VariegationData FROM Cdb_ThreadData as tT "
                                  "WHERE ManufacturerID = ? ORDER BY DisplayOrder;";

constexpr char kWin1252Replacement = '?';
// Every segment of a variegated thread starts out this long.
constexpr uint32_t kDefaultSegmentLength = 10;

bool CreateTable(sqlite3* db, char const* table, std::string statement)
{
    SqliteText const quoted(sqlite3_mprintf("%Q", table));
    if (!quoted)
        return false;
    statement.replace(statement.find("???"), 3, quoted.get());
    return sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool IsSchemaEmpty(sqlite3* db)
{
    SqliteStatement count(db, "SELECT Count(*) FROM sqlite_master");
    return count.Step() && count.Integer(0) == 0;
}

// UTF-8 from the database to the Windows-1252 of the thread record, cut to the field.
template <std::size_t N>
void CopyDatabaseText(char (&field)[N], std::string const& utf8)
{
    std::wstring const wide = ExpandUtf8(utf8);
    ColourDataEx::Copy(field, UnicodeToWin1252(wide.c_str(), kWin1252Replacement).c_str());
}

bool ParseHex(std::string_view token, uint32_t& value)
{
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    if (token.empty() || token.size() > 8)
        return false;
    value = 0;
    for (char c : token) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

struct ThreadRow {
    int64_t insertionId;
    ColourData colour;
};

// The rows of one range in one database, in display order; the query ends with what it read.
void ReadThreads(sqlite3* db, char const* manufacturerName, std::vector<ThreadRow>& rows)
{
    SqliteText const findSql(sqlite3_mprintf(kFindManufacturer, manufacturerName));
    if (!findSql)
        return;
    SqliteStatement find(db, findSql.get());
    if (!find.Step() || find.IsNull(1))
        return;
    int64_t const manufacturerId = find.Integer(1);

    SqliteStatement threads(db, kSelectThreads);
    if (!threads.Bind(1, manufacturerId))
        return;
    while (threads.Step()) {
        ColourData c = ColourData::Default();
        // A record holds at most ten colours, whatever the row claims.
        c.numberColours = static_cast<uint32_t>(std::clamp<int64_t>(threads.Integer(6), 0, ColourData::kMaxColours));
        c.materialType = static_cast<uint32_t>(threads.Integer(4));
        c.threadWeight = static_cast<uint32_t>(threads.Integer(5));
        c.colours[0] = static_cast<uint32_t>(threads.Integer(7));
        c.variegated = false;
        CopyDatabaseText(c.manufacturerName, manufacturerName);
        CopyDatabaseText(c.threadName, threads.Text(3));
        CopyDatabaseText(c.serialNumber, threads.Text(2));
        ApplyVariegationText(c, c.numberColours >= 2 ? threads.Text(8) : std::string());
        rows.push_back({threads.Integer(0), c});
    }
}

} // namespace

void ApplyVariegationText(ColourData& colour, std::string_view text)
{
    for (int i = 1; i < ColourData::kMaxColours; ++i)
        colour.colours[i] = 0;
    for (uint32_t& length : colour.lengths)
        length = kDefaultSegmentLength;

    // The numbers in order: flag, length 0, colour 1, length 1, colour 2, ...
    int number = 0;
    int lengthsRead = 0;
    while (!text.empty() && lengthsRead < ColourData::kMaxColours) {
        std::size_t const comma = text.find(',');
        uint32_t value = 0;
        if (!ParseHex(text.substr(0, comma), value))
            return;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (number == 0) {
            colour.variegated = value != 0;
        } else if (number % 2 == 1) {
            colour.lengths[lengthsRead++] = value;
        } else {
            colour.colours[number / 2] = value;
        }
        ++number;
    }
}

bool CColourDBEx::TablesExistOrCreate(sqlite3* db, bool& created)
{
    created = false;
    m_openingEmptyFile = IsSchemaEmpty(db);
    struct Table {
        char const* name;
        char const* statement;
    };
    for (Table const table : {Table{kManufacturersTable, kCreateManufacturers}, Table{kThreadsTable, kCreateThreads}}) {
        if (TableExists(db, table.name))
            continue;
        if (!CreateTable(db, table.name, table.statement))
            return false;
        created = true;
    }
    return true;
}

bool CColourDBEx::PerformFirstTimeInitialisation(unsigned index, std::string name)
{
    // Only a file that held nothing at all is a new system database; a file of
    // someone else's that merely lacked these tables is left empty.
    if (name != kSystemDbName || !m_openingEmptyFile || index >= m_databases.size())
        return true;
    return InsertBuiltInThreads(m_databases[index]);
}

namespace {

bool OpenBySetting(CColourDBEx& database, char const* key, char const* name)
{
    std::wstring path;
    {
        SettingsProvider::Singleton::Lock lock;
        SettingsProvider::ISettingsProvider* provider = lock.get();
        wchar_t const* found = provider != nullptr ? provider->GetSystemFilePathW(key) : nullptr;
        if (found == nullptr)
            return false;
        path = found;
    }
    return database.OpenDb(path.c_str(), name);
}

} // namespace

bool CColourDBEx::OpenSystemDb() { return OpenBySetting(*this, "SystemThreadsDb", kSystemDbName); }
bool CColourDBEx::OpenUserDb() { return OpenBySetting(*this, "UserThreadsDb", kUserDbName); }

char* CColourDBEx::EnumerateManufacturers(char const* databaseName)
{
    std::string lines;
    for (unsigned index = 0; index < m_databases.size(); ++index) {
        if (!PassesFilter(index, databaseName))
            continue;
        SqliteStatement query(m_databases[index], kSelectManufacturers);
        while (query.Step()) {
            lines += std::to_string(index);
            lines += ';';
            lines += query.Text(0);
            lines += ';';
            lines += query.Text(1);
            lines += ';';
            lines += query.Text(2);
            lines += '\n';
        }
    }
    char* buffer = new char[lines.size() + 1];
    std::memcpy(buffer, lines.c_str(), lines.size() + 1);
    return buffer;
}

int CColourDBEx::EnumerateThreads(char const* manufacturerName, ColourData const** out, char const* databaseName)
{
    std::vector<ThreadRow> rows;
    if (manufacturerName != nullptr) {
        for (unsigned index = 0; index < m_databases.size(); ++index) {
            if (!PassesFilter(index, databaseName))
                continue;
            ReadThreads(m_databases[index], manufacturerName, rows);
            std::stable_sort(rows.begin(), rows.end(),
                             [](ThreadRow const& a, ThreadRow const& b) { return a.insertionId < b.insertionId; });
        }
    }
    auto* threads = new ColourData[rows.size()];
    for (std::size_t i = 0; i < rows.size(); ++i)
        threads[i] = rows[i].colour;
    if (out != nullptr)
        *out = threads;
    else
        delete[] threads;
    return static_cast<int>(rows.size());
}

} // namespace Brodix::Databases

using Brodix::ColourData;

ColourDB* CreateColourDBs() { return new ColourDB(); }

void FreeColourDBs(ColourDB* handle) { delete handle; }

bool OpenSystemDb(ColourDB* handle) { return handle != nullptr && handle->OpenSystemDb(); }

bool OpenUserDb(ColourDB* handle) { return handle != nullptr && handle->OpenUserDb(); }

bool OpenDb(ColourDB* handle, wchar_t const* path, char const* name)
{
    return handle != nullptr && name != nullptr && handle->OpenDb(path, name);
}

char* EnumerateManufacturers(ColourDB* handle, char const* databaseName)
{
    return handle != nullptr ? handle->EnumerateManufacturers(databaseName) : nullptr;
}

void FreeManufacturers(char* manufacturers) { delete[] manufacturers; }

int EnumerateThreads(ColourDB* handle, char const* manufacturerName, ColourData const** out, char const* databaseName)
{
    if (out != nullptr)
        *out = nullptr;
    return handle != nullptr ? handle->EnumerateThreads(manufacturerName, out, databaseName) : 0;
}

void FreeThreads(ColourData const* threads) { delete[] threads; }
