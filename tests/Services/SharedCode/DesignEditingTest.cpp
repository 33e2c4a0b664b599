#include "Databases/ColourDB.h"
#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/TextConversion.h"
#include "Platform/FileManager.h"
#include "SharedCode/DesignEditing.h"
#include "SharedCode/QELDesignFile.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <vector>

using namespace Brodix;
using namespace Brodix::SendService;
namespace DE = Brodix::DesignEditing;

namespace {

using ColourDBPtr = std::unique_ptr<ColourDB, void (*)(ColourDB*)>;

ColourData Thread(uint32_t rgb, uint32_t numberColours = 1, uint32_t second = 0)
{
    ColourData c = ColourData::Default();
    c.colours[0] = rgb;
    c.colours[1] = second;
    c.numberColours = numberColours;
    ColourDataEx::Copy(c.manufacturerName, "Before");
    return c;
}

CSimpleDesign DesignWithColours(std::vector<ColourData> const& colours)
{
    CSimpleDesign design;
    int x = 0;
    for (ColourData const& c : colours) {
        design.AddColourStitch(c, {x, 0}, false);
        CAbsStitch s;
        s.position = {x + 10, 10};
        s.colourIndex = static_cast<int32_t>(design.GetColourCount() - 1);
        design.AddStitch(s);
        x += 20;
    }
    return design;
}

// A database holding one range "Test Range" with the given threads (RGB, colour count, second colour).
struct Row {
    uint32_t rgb;
    int colours;
    uint32_t second;
};
ColourDBPtr RangeDatabase(QelTest::TestFolder const& folder, std::vector<Row> const& rows)
{
    std::string const path = folder.Path() + "/threads.sqlite";
    ColourDBPtr db(CreateColourDBs(), FreeColourDBs);
    EXPECT_TRUE(OpenDb(db.get(), makeWString(path).c_str(), "QelEm2UsrDb"));
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    std::string sql = "INSERT INTO Cdb_Manufacturers VALUES (1, 'Test Range', 0);"
                      "INSERT INTO Cdb_Manufacturers VALUES (2, 'Empty Range', 0);";
    int order = 0;
    for (Row const& r : rows) {
        char* row = sqlite3_mprintf("INSERT INTO Cdb_ThreadData (ManufacturerID, SerialNumber, ThreadName, "
                                    "NumberColours, ColourID, VariegationData, DisplayOrder, UUID) "
                                    "VALUES (1, 'T%d', 'n', %d, %u, '1,a,%x', %d, 'u');",
                                    order, r.colours, r.rgb, r.second, order);
        sql += row;
        sqlite3_free(row);
        ++order;
    }
    EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    return db;
}

std::vector<ColourData> Colours(IDesign const& design)
{
    std::vector<ColourData> colours;
    CSimpleDesign::GrabColours(design, std::back_inserter(colours));
    return colours;
}

} // namespace

TEST(DesignEditing, ThreadRangeChangeIsAllOrNothing)
{
    QelTest::TestFolder folder;
    ColourDBPtr const db = RangeDatabase(folder, {{0x0000F0, 1, 0}, {0xF00000, 1, 0}, {0x00F000, 2, 0x0000FF}});

    // Every colour finds its nearest plain thread.
    CSimpleDesign design = DesignWithColours({Thread(0x0000FF), Thread(0xFF0000), Thread(0x0000EE)});
    EXPECT_TRUE(DE::ChangeThreadRange(design, "Test Range", db.get()));
    std::vector<std::string> codes;
    for (ColourData const& c : Colours(design)) {
        codes.push_back(c.serialNumber);
        EXPECT_STREQ(c.manufacturerName, "Test Range");
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"T0", "T1", "T0"}));
    // A variegated colour goes to the variegated thread.
    CSimpleDesign variegated = DesignWithColours({Thread(0x00FF00, 2, 0x0000FF)});
    EXPECT_TRUE(DE::ChangeThreadRange(variegated, "Test Range", db.get()));
    EXPECT_STREQ(variegated.GetColour(0).serialNumber, "T2");

    // One colour without a match leaves every colour as it was.
    QelTest::TestFolder other;
    ColourDBPtr const variegatedOnly = RangeDatabase(other, {{0x00F000, 2, 0x0000FF}});
    std::vector<ColourData> const before = {Thread(0x0000FF), Thread(0x00FF00, 0)};
    CSimpleDesign mixed = DesignWithColours(before);
    EXPECT_FALSE(DE::ChangeThreadRange(mixed, "Test Range", variegatedOnly.get()));
    EXPECT_EQ(Colours(mixed), before);

    for (char const* range : {"Empty Range", "No Such Range"}) {
        CSimpleDesign unchanged = DesignWithColours(before);
        EXPECT_FALSE(DE::ChangeThreadRange(unchanged, range, db.get())) << range;
        EXPECT_EQ(Colours(unchanged), before) << range;
    }
    EXPECT_FALSE(DE::ChangeThreadRange(mixed, "Test Range", nullptr));
}

TEST(DesignEditing, HoopTestMeasuresAboutTheCentre)
{
    struct Case {
        char const* name;
        CommonTypes::RectI rect;
        DE::CGSize hoop;
        bool rotate;
        bool fits;
    };
    Case const cases[] = {
        {"centred, exactly as wide as the hoop", {-500, -300, 500, 300}, {1000, 600}, false, true},
        {"centred, one unit too wide", {-500, -300, 501, 300}, {1000, 600}, false, false},
        {"off centre: small, but crosses the hoop's edge", {100, -50, 600, 50}, {1000, 600}, false, false},
        {"off centre, inside", {100, -50, 450, 50}, {1000, 600}, false, true},
        {"tall design, upright", {-200, -450, 200, 450}, {1000, 600}, false, false},
        {"tall design, turned", {-200, -450, 200, 450}, {1000, 600}, true, true},
        {"turned, too wide", {-500, -300, 500, 300}, {1000, 600}, true, false},
    };
    for (Case const& c : cases) {
        CSimpleDesign design;
        CAbsStitch corner;
        corner.position = {c.rect.left, c.rect.top};
        design.AddStitch(corner);
        corner.position = {c.rect.right, c.rect.bottom};
        design.AddStitch(corner);
        EXPECT_EQ(DE::IsFitIntoHoopSize(design, c.hoop, c.rotate), c.fits) << c.name;
    }
    CSimpleDesign empty;
    EXPECT_TRUE(DE::IsFitIntoHoopSize(empty, {10, 10}, false));
    CSimpleDesign extreme;
    CAbsStitch far;
    far.position = {INT32_MIN, INT32_MAX};
    extreme.AddStitch(far);
    DE::CGSize const size = DE::SizeAboutCentre(extreme);
    EXPECT_EQ(size.width, 2.0 * 2147483648.0);
    EXPECT_EQ(size.height, 2.0 * 2147483647.0);
}

TEST(DesignEditing, ExtraNoteKeepsTheSettings)
{
    CSimpleDesign design;
    DE::AddExtraNote(design, "Stitched for \xC3\x89lise");
    EXPECT_EQ(design.GetDesignNotes(), L"Stitched for \u00C9liseSettings:");
    design.SetDesignNotes(L"First\nSettings:Hoop=2");
    DE::AddExtraNote(design, "Second");
    EXPECT_EQ(design.GetDesignNotes(), L"First\n\nSecondSettings:Hoop=2");
    // A marker inside the note does not start the settings.
    design.SetDesignNotes(L"");
    DE::AddExtraNote(design, "Settings:none");
    EXPECT_EQ(design.GetDesignNotes(), L"Settings;noneSettings:");
}

TEST(QELDesignFile, EditingOperationsOnALoadedDesign)
{
    auto const data = Platform::ReadFileContents("../shared/corpus/jef/Cake_3.jef", kMaxDesignFileBytes);
    ASSERT_TRUE(data);
    std::string const type = "com.brodix.jef";
    QELDesignFile file(&*data, &type);
    ASSERT_TRUE(file.isValid());
    std::shared_ptr<IDesign> const design = file.innerDesign();
    std::unique_ptr<IDesign> const before(design->Clone());

    // Trims are only added: without them the records are the same apart from visibility.
    file.addTrimCommands();
    auto after = HoldIterator(static_cast<IDesign const&>(*design).GetStitchReader());
    auto original = HoldIterator(static_cast<IDesign const&>(*before).GetStitchReader());
    std::size_t added = 0;
    for (original->First(), after->First(); !after->IsDone(); after->Next()) {
        CAbsStitch const a = after->GetCurrentItem();
        ASSERT_FALSE(original->IsDone());
        CAbsStitch o = original->GetCurrentItem();
        if (a.type == CAbsStitch::Trim && o.type != CAbsStitch::Trim) {
            ++added;
            continue;
        }
        o.visible = a.visible;
        EXPECT_EQ(a, o);
        original->Next();
    }
    EXPECT_TRUE(original->IsDone());
    EXPECT_GT(added, 0u);

    QelTest::TestFolder folder;
    ColourDBPtr db(CreateColourDBs(), FreeColourDBs);
    ASSERT_TRUE(OpenDb(db.get(), makeWString(folder.Path() + "/system.sqlite").c_str(), "QelEm2SysDb"));
    file.changeThreadRange("Sulky Rayon 40", db.get());
    ASSERT_GT(design->GetColourCount(), 0u);
    for (ColourData const& c : Colours(*design))
        EXPECT_STREQ(c.manufacturerName, "Sulky Rayon 40");

    file.addExtraNote("note");
    EXPECT_NE(design->GetDesignNotes().find(L"note"), std::wstring::npos);
    EXPECT_TRUE(file.isFitIntoHoopSize({4000, 4000}, false));
    EXPECT_FALSE(file.isFitIntoHoopSize({10, 10}, true));

    // Without a design nothing happens and nothing fits.
    QELDesignFile empty(nullptr, nullptr);
    empty.addTrimCommands();
    empty.addExtraNote("x");
    empty.changeThreadRange("Sulky Rayon 40", db.get());
    EXPECT_FALSE(empty.isFitIntoHoopSize({1e9, 1e9}, false));
}
