// The commands that use the thread databases and edit or measure designs:
// threads, the editing options of convert, and fits.
#include "RunTool.h"
#include "../../Services/TestFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using QelStitchTesting::Result;
using QelStitchTesting::RunTool;
namespace fs = std::filesystem;

constexpr char kCake[] = "../shared/corpus/jef/Cake_3.jef";   // has long stitches inside colours

// A machine with no suite installed and a fresh user folder; the old environment comes back afterwards.
class FreshMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        Save("QEL_COMMONCODE_TESTFILES");
        Save("XDG_DATA_DIRS");
        Save("XDG_DATA_HOME");
        unsetenv("QEL_COMMONCODE_TESTFILES");
        setenv("XDG_DATA_DIRS", (m_folder.Path() + "/nowhere").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_folder.Path() + "/home").c_str(), 1);
    }
    void TearDown() override
    {
        for (auto const& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void Save(char const* name)
    {
        char const* value = std::getenv(name);
        m_saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    std::string UserDatabase() const { return m_folder.Path() + "/home/Brodix/Orvo3/System/user.sqlite"; }

    QelTest::TestFolder m_folder;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

std::vector<std::string> Lines(std::string const& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

int ChartRows(std::string const& file)
{
    std::ifstream in("../shared/threads/" + file);
    int rows = -1;   // the header
    for (std::string line; std::getline(in, line);)
        rows += !line.empty();
    return rows;
}

void Sql(std::string const& path, char const* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

std::string ReadFile(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

nlohmann::json Dump(std::string const& path)
{
    Result const r = RunTool({"dump", path});
    EXPECT_EQ(r.status, 0) << r.err;
    return nlohmann::json::parse(r.out);
}

TEST_F(FreshMachine, ThreadsListsTheRangesOfBothDatabases)
{
    Result const ranges = RunTool({"threads"});
    ASSERT_EQ(ranges.status, 0) << ranges.err;
    EXPECT_EQ(ranges.err, "");
    std::vector<std::string> lines = Lines(ranges.out);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Madeira Rayon 40\tsystem\t" + std::to_string(ChartRows("0-madeira-rayon-40.csv")) + " threads");
    EXPECT_EQ(lines[8], "Coats-Alcazar Rayon 40\tsystem\t" + std::to_string(ChartRows("8-coats-alcazar-rayon-40.csv"))
                            + " threads");

    // A range of the user's own is listed after the system's.
    Sql(UserDatabase(), "INSERT INTO Cdb_Manufacturers VALUES (1, 'Mine ''n'' yours', 0);"
                        "INSERT INTO Cdb_ThreadData (ManufacturerID, SerialNumber, ThreadName, NumberColours, "
                        "ColourID, DisplayOrder, UUID) VALUES (1, 'M1', 'Teal', 1, 8421376, 0, 'u');");
    Result const both = RunTool({"threads", "--json"});
    ASSERT_EQ(both.status, 0) << both.err;
    nlohmann::json const j = nlohmann::json::parse(both.out);
    ASSERT_EQ(j.size(), 10u);
    EXPECT_EQ(j[9]["name"], "Mine 'n' yours");
    EXPECT_EQ(j[9]["database"], "user");
    EXPECT_EQ(j[9]["threads"], 1);
    EXPECT_EQ(j[2]["database"], "system");

    Result const mine = RunTool({"threads", "Mine 'n' yours"});
    EXPECT_EQ(mine.out, "M1\tTeal\t#008080\n");
}

TEST_F(FreshMachine, ThreadsOfOneRange)
{
    Result const r = RunTool({"threads", "Madeira Rayon 40"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> const lines = Lines(r.out);
    EXPECT_EQ(static_cast<int>(lines.size()), ChartRows("0-madeira-rayon-40.csv"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "1022\tLemonade\t#FFF989");   // the chart's first row

    Result const j = RunTool({"--json", "threads", "Madeira Rayon 40"});
    ASSERT_EQ(j.status, 0) << j.err;
    nlohmann::json const list = nlohmann::json::parse(j.out);
    EXPECT_EQ(list.size(), lines.size());
    EXPECT_EQ(list[0], (nlohmann::json{{"code", "1022"}, {"name", "Lemonade"}, {"colour", "#FFF989"}}));

    Result const unknown = RunTool({"threads", "Madeira Rayon 41"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("unknown thread range 'Madeira Rayon 41'"), std::string::npos);
    EXPECT_NE(unknown.err.find("\n  Madeira Rayon 40\n"), std::string::npos) << unknown.err;
}

TEST_F(FreshMachine, DatabasesThatCannotBeOpenedAreNamedAndLeftAlone)
{
    // A system folder without the database and without room for one.
    fs::create_directories(m_folder.Path() + "/machine");
    setenv("QEL_COMMONCODE_TESTFILES", (m_folder.Path() + "/machine").c_str(), 1);
    // A user database that another program wrote, and one that is no database at all.
    fs::create_directories(fs::path(UserDatabase()).parent_path());
    QelTest::TestFolder::WriteFile(UserDatabase(), std::string(2048, 'u'));

    Result const r = RunTool({"threads"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qel-stitch: cannot open the system thread database " + m_folder.Path()
                         + "/machine/System/system_cdb2.sqlite\nqel-stitch: cannot open the user thread database "
                         + UserDatabase() + "\n");
    EXPECT_EQ(ReadFile(UserDatabase()), std::string(2048, 'u'));
    EXPECT_FALSE(fs::exists(m_folder.Path() + "/machine/System"));

    fs::remove(UserDatabase());
    Sql(UserDatabase(), "CREATE TABLE Fills (Name TEXT); INSERT INTO Fills VALUES ('keep');");
    Result const withUser = RunTool({"threads"});
    EXPECT_EQ(withUser.status, 0);
    EXPECT_EQ(Lines(withUser.err).size(), 1u) << withUser.err;
    EXPECT_EQ(withUser.out, "");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(UserDatabase().c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT Name FROM Fills", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<char const*>(sqlite3_column_text(statement, 0)), "keep");
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST_F(FreshMachine, ConvertAppliesTrimsThreadRangeAndNote)
{
    std::string const plain = m_folder.Path() + "/plain.vp3";
    std::string const edited = m_folder.Path() + "/edited.vp3";
    ASSERT_EQ(RunTool({"convert", kCake, plain}).status, 0);
    Result const r = RunTool({"convert", "--add-trims", "--thread-range", "Sulky Rayon 40", "--note=For Ann's cake",
                              kCake, edited});
    ASSERT_EQ(r.status, 0) << r.err;

    auto countTrims = [](nlohmann::json const& design) {
        int trims = 0;
        for (auto const& s : design["stitches"])
            trims += s[0] == 4;
        return trims;
    };
    nlohmann::json const before = Dump(plain);
    nlohmann::json const after = Dump(edited);
    EXPECT_GT(countTrims(after), countTrims(before));
    ASSERT_EQ(after["colours"].size(), before["colours"].size());
    for (auto const& colour : after["colours"])
        EXPECT_EQ(colour["manufacturer"], "Sulky Rayon 40");
    EXPECT_NE(before["colours"][0]["manufacturer"], "Sulky Rayon 40");
    EXPECT_EQ(after["notes"], "For Ann's cakeSettings:");

    // An unknown range writes nothing and names the ranges there are.
    std::string const refused = m_folder.Path() + "/refused.vp3";
    Result const unknown = RunTool({"convert", "--thread-range", "Nope", kCake, refused});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("unknown thread range 'Nope'; the known ranges are:\n  Madeira Rayon 40\n"),
              std::string::npos)
        << unknown.err;
    EXPECT_FALSE(fs::exists(refused));
}

TEST(QelStitchFits, SaysWhetherTheDesignFits)
{
    // Cake_3.jef needs 84.8 x 134.8 mm about the hoop's centre.
    struct Case {
        std::vector<std::string> args;
        char const* first;
    } const cases[] = {
        {{"fits", kCake, "85x135"}, "fits: "},
        {{"fits", kCake, "84.5x135"}, "does not fit: "},
        {{"fits", kCake, "85X134"}, "does not fit: "},
        {{"fits", kCake, "135x85"}, "does not fit: "},
        {{"fits", kCake, "135x85", "--rotate"}, "fits: "},
        {{"fits", "--rotate", kCake, "85x135"}, "does not fit: "},
    };
    for (Case const& c : cases) {
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind(c.first, 0), 0u) << c.args[2] << ": " << r.out;
        EXPECT_NE(r.out.find("design 83.9 x 133.9 mm, 84.8 x 134.8 mm about the hoop's centre"), std::string::npos)
            << r.out;
    }

    EXPECT_EQ(RunTool({"fits", "../shared/corpus/dst/no-such-file.dst", "100x100"}).status, 1);
    for (char const* size : {"100", "x100", "100x", "0x100", "5x-100", "100x100x3", "ax100", "1e999x5"}) {
        Result const r = RunTool({"fits", kCake, size});
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_NE(r.err.find("no hoop size"), std::string::npos) << size;
    }
    EXPECT_EQ(RunTool({"info", "--rotate", kCake}).status, 2);
    EXPECT_EQ(RunTool({"fits", "--add-trims", kCake, "1x1"}).status, 2);
    EXPECT_EQ(RunTool({"convert", kCake, "out.vp3", "--note"}).status, 2);
}

} // namespace
