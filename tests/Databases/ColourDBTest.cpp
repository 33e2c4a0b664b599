#include "../Services/TestFolder.h"
#include "Databases/ColourDB.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sqlite3.h>
#include <sstream>
#include <unistd.h>
#include <string>
#include <vector>

using namespace Brodix;
using Brodix::Databases::CColourDBEx;
namespace fs = std::filesystem;

namespace {

// Runs SQL on a file directly, the way another program of the suite would.
void Sql(std::string const& path, std::string const& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    int const rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string const message = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

int64_t Count(std::string const& path, std::string const& sql)
{
    sqlite3* db = nullptr;
    int64_t count = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

std::string ReadFile(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring Wide(std::string const& path) { return makeWString(path); }

std::string Manufacturers(CColourDBEx& db, char const* filter = nullptr)
{
    char* text = db.EnumerateManufacturers(filter);
    std::string out = text;
    FreeManufacturers(text);
    return out;
}

std::vector<ColourData> Threads(CColourDBEx& db, char const* range, char const* filter = nullptr)
{
    ColourData const* table = nullptr;
    int const count = db.EnumerateThreads(range, &table, filter);
    std::vector<ColourData> out(table, table + count);
    FreeThreads(table);
    return out;
}

// Creates the tables (through an open as a user database) and adds one range with the given threads.
struct Row {
    int64_t insertionId;
    char const* code;
    int displayOrder;
};
void MakeRange(std::string const& path, char const* range, std::vector<Row> const& rows)
{
    {
        CColourDBEx db;
        ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kUserDbName));
    }
    char* insert = sqlite3_mprintf("INSERT INTO Cdb_Manufacturers VALUES (7, %Q, 0);", range);
    std::string sql = insert;
    sqlite3_free(insert);
    for (Row const& r : rows) {
        char* thread = sqlite3_mprintf("INSERT INTO Cdb_ThreadData VALUES (7, %Q, 'n', 8, 5, 1, %lld, %lld, NULL, %d, "
                                       "'u', NULL);",
                                       r.code, static_cast<long long>(r.insertionId),
                                       static_cast<long long>(r.insertionId), r.displayOrder);
        sql += thread;
        sqlite3_free(thread);
    }
    Sql(path, sql);
}

std::vector<std::string> Codes(std::vector<ColourData> const& threads)
{
    std::vector<std::string> codes;
    for (ColourData const& t : threads)
        codes.push_back(t.serialNumber);
    return codes;
}

// Counts the open's first-time set-ups.
class CountingColourDB : public CColourDBEx {
public:
    int initialisations = 0;

protected:
    bool PerformFirstTimeInitialisation(unsigned index, std::string name) override
    {
        ++initialisations;
        return CColourDBEx::PerformFirstTimeInitialisation(index, name);
    }
};

int ChartRows(std::string const& path)
{
    std::ifstream in(path);
    std::string line;
    int rows = -1;   // the header
    while (std::getline(in, line))
        if (!line.empty() && line != "\r")
            ++rows;
    return rows;
}

} // namespace

TEST(ColourDB, NewFileGetsBothTablesAndOneFirstTimeSetUp)
{
    QelTest::TestFolder folder;
    std::string const path = folder.Path() + "/user.sqlite";
    {
        CountingColourDB db;
        ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kUserDbName));
        EXPECT_EQ(db.initialisations, 1);
        EXPECT_EQ(Manufacturers(db), "");
    }
    EXPECT_EQ(Count(path, "SELECT Count(*) FROM sqlite_master WHERE type='table' AND name IN "
                          "('Cdb_Manufacturers', 'Cdb_ThreadData')"),
              2);
    EXPECT_EQ(Count(path, "SELECT Count(*) FROM Cdb_ThreadData"), 0);   // a new user database stays empty
    {
        CountingColourDB db;
        ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kUserDbName));
        EXPECT_EQ(db.initialisations, 0);
    }
}

TEST(ColourDB, FreshSystemDatabaseHoldsTheNineBuiltInRanges)
{
    QelTest::TestFolder folder;
    std::string const path = folder.Path() + "/system_cdb2.sqlite";
    CColourDBEx db;
    ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kSystemDbName));

    struct Chart {
        char const* range;
        char const* file;
    };
    Chart const charts[] = {
        {"Madeira Rayon 40", "0-madeira-rayon-40.csv"},
        {"Sulky Rayon 40", "1-sulky-rayon-40.csv"},
        {"Isafil Rayon 40", "2-isafil-rayon-40.csv"},
        {"Robison-Anton Rayon 40", "3-robison-anton-rayon-40.csv"},
        {"Robison-Anton Poly 40", "4-robison-anton-poly-40.csv"},
        {"Sulky Poly Stickma 40", "5-sulky-poly-stickma-40.csv"},
        {"Madeira Poly Neon 40", "6-madeira-poly-neon-40.csv"},
        {"Icord Poly 40", "7-icord-poly-40.csv"},
        {"Coats-Alcazar Rayon 40", "8-coats-alcazar-rayon-40.csv"},
    };
    std::istringstream lines(Manufacturers(db));
    std::string line;
    std::vector<std::string> listed;
    while (std::getline(lines, line))
        listed.push_back(line);
    ASSERT_EQ(listed.size(), std::size(charts));
    for (std::size_t i = 0; i < std::size(charts); ++i) {
        EXPECT_EQ(listed[i], "0;" + std::to_string(i + 1) + ";0;" + charts[i].range);
        std::vector<ColourData> const threads = Threads(db, charts[i].range);
        EXPECT_EQ(static_cast<int>(threads.size()), ChartRows("../shared/threads/" + std::string(charts[i].file)))
            << charts[i].range;
    }

    // The first Madeira row of the chart, as a thread record.
    std::vector<ColourData> const madeira = Threads(db, "Madeira Rayon 40");
    ASSERT_FALSE(madeira.empty());
    EXPECT_STREQ(madeira[0].serialNumber, "1022");
    EXPECT_STREQ(madeira[0].threadName, "Lemonade");
    EXPECT_STREQ(madeira[0].manufacturerName, "Madeira Rayon 40");
    EXPECT_EQ(madeira[0].colours[0], 0x89F9FFu);
    EXPECT_EQ(madeira[0].numberColours, 1u);
    EXPECT_EQ(madeira[0].materialType, 8u);
    EXPECT_EQ(madeira[0].threadWeight, 5u);

    // Every row has its own version 4 UUID.
    auto const isUuidV4 = [](std::string const& text) {
        if (text.size() != 36 || text[14] != '4' || std::string("89ab").find(text[19]) == std::string::npos)
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            bool const dash = i == 8 || i == 13 || i == 18 || i == 23;
            if (dash ? text[i] != '-' : std::string("0123456789abcdef").find(text[i]) == std::string::npos)
                return false;
        }
        return true;
    };
    EXPECT_EQ(Count(path, "SELECT Count(DISTINCT UUID) FROM Cdb_ThreadData"),
              Count(path, "SELECT Count(*) FROM Cdb_ThreadData"));
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT UUID FROM Cdb_ThreadData LIMIT 50", -1, &statement, nullptr), SQLITE_OK);
    while (sqlite3_step(statement) == SQLITE_ROW)
        EXPECT_TRUE(isUuidV4(reinterpret_cast<char const*>(sqlite3_column_text(statement, 0))));
    sqlite3_finalize(statement);
    sqlite3_close(raw);
}

TEST(ColourDB, ThreadsOfTwoDatabasesAreSortedByInsertionId)
{
    QelTest::TestFolder folder;
    std::string const a = folder.Path() + "/a.sqlite";
    std::string const b = folder.Path() + "/b.sqlite";
    // Display order runs against the row keys, to show which one decides.
    MakeRange(a, "Range", {{1, "a1", 9}, {4, "a4", 1}});
    MakeRange(b, "Range", {{3, "b3", 2}, {2, "b2", 5}, {5, "b5", 0}});
    CColourDBEx db;
    ASSERT_TRUE(db.OpenDb(Wide(a).c_str(), Databases::kSystemDbName));
    ASSERT_TRUE(db.OpenDb(Wide(b).c_str(), Databases::kUserDbName));

    EXPECT_EQ(Codes(Threads(db, "Range")), (std::vector<std::string>{"a1", "b2", "b3", "a4", "b5"}));
    // The row key decides within one database too.
    EXPECT_EQ(Codes(Threads(db, "Range", Databases::kUserDbName)), (std::vector<std::string>{"b2", "b3", "b5"}));
    EXPECT_TRUE(Threads(db, "Range", "NoSuchDb").empty());
    EXPECT_TRUE(Threads(db, "No such range").empty());
    EXPECT_EQ(Manufacturers(db), "0;7;0;Range\n1;7;0;Range\n");
    EXPECT_EQ(Manufacturers(db, Databases::kUserDbName), "1;7;0;Range\n");
}

TEST(ColourDB, ThreadRecordsFromRows)
{
    QelTest::TestFolder folder;
    std::string const path = folder.Path() + "/user.sqlite";
    MakeRange(path, "O'Brien \xE2\x80\x99s \xE2\x98\x83", {});
    Sql(path, "INSERT INTO Cdb_ThreadData VALUES (7, '1 2', 'Plain', 3, 4, 1, 255, 1, '1,a,ff0000', 0, 'u', NULL);"
              "INSERT INTO Cdb_ThreadData VALUES (7, 'V', 'Gr\xC3\xBCn \xE2\x98\x83', 8, 5, 3, 16777215, 2, "
              "'1,a,ff0000,14,ff00', 1, 'u', NULL);"
              "INSERT INTO Cdb_ThreadData VALUES (7, NULL, NULL, NULL, NULL, 99, NULL, 3, NULL, 2, 'u', NULL);"
              "INSERT INTO Cdb_ThreadData VALUES (7, 'W', 'a-name-longer-than-thirty-characters', 8, 5, -4, 0, 4,"
              " '1,zz,5', 3, 'u', NULL);");
    CColourDBEx db;
    ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kUserDbName));
    std::vector<ColourData> const threads = Threads(db, "O'Brien \xE2\x80\x99s \xE2\x98\x83");
    ASSERT_EQ(threads.size(), 4u);

    // A plain thread ignores its variegation text: ten lengths of 10 and no second colours.
    ColourData const& plain = threads[0];
    EXPECT_STREQ(plain.serialNumber, "1 2");
    EXPECT_STREQ(plain.threadName, "Plain");
    EXPECT_STREQ(plain.manufacturerName, "O'Brien \x92s ?");   // Windows-1252, "?" for the snowman
    EXPECT_EQ(plain.materialType, 3u);
    EXPECT_EQ(plain.threadWeight, 4u);
    EXPECT_EQ(plain.colours[0], 255u);
    EXPECT_FALSE(plain.variegated);
    for (int i = 0; i < ColourData::kMaxColours; ++i) {
        EXPECT_EQ(plain.lengths[i], 10u);
        if (i > 0) {
            EXPECT_EQ(plain.colours[i], 0u);
        }
    }

    ColourData const& variegated = threads[1];
    EXPECT_STREQ(variegated.threadName, "Gr\xFCn ?");
    EXPECT_EQ(variegated.numberColours, 3u);
    EXPECT_TRUE(variegated.variegated);
    EXPECT_EQ(variegated.colours[0], 0xFFFFFFu);
    EXPECT_EQ(variegated.colours[1], 0xFF0000u);
    EXPECT_EQ(variegated.colours[2], 0x00FF00u);
    EXPECT_EQ(variegated.lengths[0], 10u);
    EXPECT_EQ(variegated.lengths[1], 20u);
    EXPECT_EQ(variegated.lengths[2], 10u);

    // NULL columns give empty fields; no record claims more colours than it holds.
    ColourData const& empty = threads[2];
    EXPECT_STREQ(empty.serialNumber, "");
    EXPECT_STREQ(empty.threadName, "");
    EXPECT_EQ(empty.numberColours, 10u);
    EXPECT_EQ(empty.colours[0], 0u);

    ColourData const& odd = threads[3];
    EXPECT_STREQ(odd.threadName, "a-name-longer-than-thirty-cha");
    EXPECT_EQ(odd.numberColours, 0u);
    EXPECT_FALSE(odd.variegated);
}

TEST(ColourDB, VariegationText)
{
    struct Case {
        char const* text;
        bool variegated;
        std::vector<uint32_t> lengths;   // the first lengths; the rest stay 10
        std::vector<uint32_t> colours;   // colours 1, 2, ...; the rest stay 0
    };
    Case const cases[] = {
        {"1,a,ff0000,14,ff00", true, {10, 20}, {0xFF0000, 0x00FF00}},
        {"", false, {}, {}},
        {"0,5", false, {5}, {}},
        {"1,A, FF ,3", true, {10, 3}, {0xFF}},
        {"1,a,zz,14", true, {10}, {}},                 // reading stops at the first non-number
        {"1,,7", true, {}, {}},
        {"1,123456789,1", true, {}, {}},               // more than 32 bits is no number
        {"1,1,2,3,4,5,6,7,8,9,a,b,c,d,e,f,10,11,12,13,14,15,16", true,
         {1, 3, 5, 7, 9, 0xb, 0xd, 0xf, 0x11, 0x13}, {2, 4, 6, 8, 0xa, 0xc, 0xe, 0x10, 0x12}},
    };
    for (Case const& c : cases) {
        ColourData colour = ColourData::Default();
        colour.colours[0] = 0x123456;
        colour.colours[5] = 99;
        Databases::ApplyVariegationText(colour, c.text);
        EXPECT_EQ(colour.variegated, c.variegated) << c.text;
        EXPECT_EQ(colour.colours[0], 0x123456u) << c.text;
        for (std::size_t i = 0; i < ColourData::kMaxColours; ++i) {
            EXPECT_EQ(colour.lengths[i], i < c.lengths.size() ? c.lengths[i] : 10u) << c.text << " length " << i;
            if (i > 0) {
                EXPECT_EQ(colour.colours[i], i - 1 < c.colours.size() ? c.colours[i - 1] : 0u)
                    << c.text << " colour " << i;
            }
        }
    }
}

TEST(ColourDB, ForeignFilesAreLeftAlone)
{
    QelTest::TestFolder folder;
    // Not SQLite at all: the open fails and the bytes stay.
    std::string const text = folder.Write("notes.sqlite", std::string(4096, 'x'));
    // SQLite, but another program's tables: ours are added and nothing else is written.
    std::string const other = folder.Path() + "/other.sqlite";
    Sql(other, "CREATE TABLE Fills (Name TEXT); INSERT INTO Fills VALUES ('keep');");

    CountingColourDB db;
    EXPECT_FALSE(db.OpenDb(Wide(text).c_str(), Databases::kSystemDbName));
    EXPECT_EQ(ReadFile(text), std::string(4096, 'x'));
    EXPECT_EQ(db.DatabaseCount(), 0u);
    EXPECT_EQ(Manufacturers(db), "");

    EXPECT_FALSE(db.OpenDb(Wide(folder.Path() + "/no/such/folder/x.sqlite").c_str(), Databases::kSystemDbName));
    EXPECT_FALSE(fs::exists(folder.Path() + "/no"));
    EXPECT_EQ(db.DatabaseCount(), 0u);

    ASSERT_TRUE(db.OpenDb(Wide(other).c_str(), Databases::kSystemDbName));
    EXPECT_EQ(db.initialisations, 1);
    EXPECT_EQ(Manufacturers(db), "");
    EXPECT_EQ(Count(other, "SELECT Count(*) FROM Fills WHERE Name = 'keep'"), 1);
    EXPECT_EQ(Count(other, "SELECT Count(*) FROM Cdb_ThreadData"), 0);
}

TEST(ColourDB, ReadOnlySystemDatabaseStillOpens)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    QelTest::TestFolder folder;
    std::string const path = folder.Path() + "/system_cdb2.sqlite";
    {
        CColourDBEx db;
        ASSERT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kSystemDbName));
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    CColourDBEx db;
    EXPECT_TRUE(db.OpenDb(Wide(path).c_str(), Databases::kSystemDbName));
    EXPECT_EQ(static_cast<int>(Threads(db, "Sulky Rayon 40").size()), ChartRows("../shared/threads/1-sulky-rayon-40.csv"));
    fs::permissions(folder.Path(), fs::perms::owner_all);
}

namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnvironment {
public:
    void Set(char const* name, std::string const& value)
    {
        char const* old = std::getenv(name);
        m_saved.push_back({name, old != nullptr, old != nullptr ? old : ""});
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->wasSet)
                setenv(it->name, it->value.c_str(), 1);
            else
                unsetenv(it->name);
        }
    }

private:
    struct Saved {
        char const* name;
        bool wasSet;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

} // namespace

TEST(ColourDB, DatabasesNamedByTheSettingsProvider)
{
    QelTest::TestFolder folder;
    ScopedEnvironment environment;
    fs::create_directories(folder.Path() + "/machine/System");
    environment.Set("QEL_COMMONCODE_TESTFILES", folder.Path() + "/machine");
    environment.Set("XDG_DATA_HOME", folder.Path() + "/home");
    {
        SettingsProvider::Singleton::Lock lock;
        lock.set(SettingsProvider::DefaultSettingsProvider(true));
    }
    std::unique_ptr<ColourDB, void (*)(ColourDB*)> db(CreateColourDBs(), FreeColourDBs);
    EXPECT_TRUE(OpenSystemDb(db.get()));
    EXPECT_TRUE(OpenUserDb(db.get()));
    EXPECT_TRUE(fs::exists(folder.Path() + "/machine/System/system_cdb2.sqlite"));
    EXPECT_TRUE(fs::exists(folder.Path() + "/home/Brodix/Orvo3/System/user.sqlite"));

    ColourData const* table = reinterpret_cast<ColourData const*>(1);
    int const count = EnumerateThreads(db.get(), "Isafil Rayon 40", &table, Databases::kSystemDbName);
    EXPECT_EQ(count, ChartRows("../shared/threads/2-isafil-rayon-40.csv"));
    FreeThreads(table);
    EXPECT_EQ(EnumerateThreads(db.get(), "Isafil Rayon 40", &table, Databases::kUserDbName), 0);
    EXPECT_NE(table, nullptr);
    FreeThreads(table);
}

TEST(ColourDB, FreeFunctionsTakeNullHandles)
{
    ColourData const* table = reinterpret_cast<ColourData const*>(1);
    EXPECT_EQ(EnumerateThreads(nullptr, "x", &table, nullptr), 0);
    EXPECT_EQ(table, nullptr);
    EXPECT_FALSE(OpenSystemDb(nullptr));
    EXPECT_FALSE(OpenDb(nullptr, L"/tmp/x", "n"));
    EXPECT_EQ(EnumerateManufacturers(nullptr, nullptr), nullptr);
    FreeColourDBs(nullptr);
    FreeManufacturers(nullptr);
    FreeThreads(nullptr);
}
