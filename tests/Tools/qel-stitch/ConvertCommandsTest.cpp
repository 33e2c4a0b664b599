// qel-stitch convert to every written format: the format from OUT's extension
// or --to, no replacing without --force, the label fields, and refusals that
// name what the format cannot hold and leave nothing behind.
#include "RunTool.h"
#include "../../Services/TestFolder.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using QelStitchTesting::Result;
using QelStitchTesting::RunTool;
using QelTest::FilesUnder;
using QelTest::TestFolder;
namespace fs = std::filesystem;

constexpr char kCrown[] = "../shared/corpus/dst/Crown.DST";   // 73.4 x 52.7 mm: every format holds it
constexpr char kCake[] = "../shared/corpus/jef/Cake_3.jef";   // 83.9 x 133.9 mm: too high for PCS

std::string Contents(std::string const& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A VP3 file of count colours, one stitch each, the colour i being colourOf(i).
std::string WriteColours(TestFolder const& folder, std::string const& name, int count, unsigned (*colourOf)(int))
{
    Brodix::CSimpleDesign design;
    for (int i = 0; i < count; ++i) {
        Brodix::ColourData colour = Brodix::ColourData::Default();
        colour.colours[0] = colourOf(i);
        design.AddColourStitch(colour, {i, 0}, false);
        design.AddStitch(Brodix::CAbsStitch{{i, 5}, i, Brodix::CAbsStitch::Normal, false, true});
    }
    auto const saved = Brodix::DesignFiles::SaveDesign(design, Brodix::DesignFiles::FileFormat::VP3, {});
    EXPECT_TRUE(saved.Saved());
    return folder.Write(name, std::string(saved.bytes.begin(), saved.bytes.end()));
}

int CountNeedlePoints(std::string const& path)
{
    Result const dumped = RunTool({"dump", path});
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    int points = 0;
    nlohmann::json const design = nlohmann::json::parse(dumped.out);
    for (auto const& s : design["stitches"])
        points += s[0] == 0 || s[0] == 2;
    return points;
}

TEST(QelStitchConvert, WritesEveryFormatFromTheExtension)
{
    TestFolder folder;
    int const expected = CountNeedlePoints(kCrown);
    struct Case {
        char const* name;   // the extension's case does not matter
        char const* format;
    } const cases[] = {
        {"crown.DsT", "DST"}, {"crown.exp", "EXP"}, {"crown.10O", "10o"}, {"crown.pcs", "PCS"},
        {"crown.tvk", "TVK"}, {"crown.VIP", "VIP"}, {"crown.vp3", "VP3"}, {"crown.Pes", "PES"},
        {"crown.pec", "PEC"}, {"crown.JEF", "JEF"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        std::string const out = folder.Path() + "/" + c.name;
        Result const r = RunTool({"convert", kCrown, out});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << r.err;
        Result const info = RunTool({"info", out});
        EXPECT_NE(info.out.find(std::string("format:         ") + c.format + "\n"), std::string::npos) << info.out;
        EXPECT_EQ(CountNeedlePoints(out), expected);
    }
    EXPECT_EQ(FilesUnder(folder.Path()).size(), std::size(cases));
    // The DST and PEC labels are the input's name.
    EXPECT_EQ(Contents(folder.Path() + "/crown.DsT").substr(0, 20), "LA:Crown           \r");
    EXPECT_EQ(Contents(folder.Path() + "/crown.pec").substr(0, 28), "#PEC0001LA:Crown           \r");
}

TEST(QelStitchConvert, ToChoosesTheFormatAndNotesTravel)
{
    TestFolder folder;
    std::string const out = folder.Path() + "/design.bin";
    Result const r = RunTool({"convert", "--to", "VIP", "--note", "For Ann", kCrown, out});
    ASSERT_EQ(r.status, 0) << r.err;
    Result const dumped = RunTool({"--format", "vip", "dump", out});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_EQ(nlohmann::json::parse(dumped.out)["notes"].get<std::string>().rfind("For Ann", 0), 0u) << dumped.out;

    // --to wins over the extension.
    std::string const exp = folder.Path() + "/design.dst";
    ASSERT_EQ(RunTool({"convert", "--to=exp", kCrown, exp}).status, 0);
    EXPECT_EQ(RunTool({"--format", "exp", "info", exp}).status, 0);
    EXPECT_NE(Contents(exp).substr(0, 3), "LA:");
}

TEST(QelStitchConvert, ReplacesAnExistingFileOnlyWithForce)
{
    TestFolder folder;
    std::string const out = folder.Write("kept.dst", "not a design");
    Result const refused = RunTool({"convert", kCrown, out});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("kept.dst (DST): already exists; use --force to replace it"), std::string::npos)
        << refused.err;
    EXPECT_EQ(Contents(out), "not a design");

    Result const forced = RunTool({"convert", "--force", kCrown, out});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Contents(out).substr(0, 3), "LA:");
    EXPECT_EQ(FilesUnder(folder.Path()), std::vector<std::string>{"kept.dst"});
}

TEST(QelStitchConvert, RefusesWhatTheFormatCannotHoldAndWritesNothing)
{
    TestFolder folder;
    // 120 colours, one stitch each: more than DST holds; 257 more than a PEC
    // colour block holds.
    std::string const colours = WriteColours(folder, "colours.vp3", 120, [](int i) { return unsigned(i) * 2; });
    std::string const many = WriteColours(folder, "many.vp3", 257, [](int i) { return unsigned(i) * 2; });

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } const cases[] = {
        {{"convert", kCake, folder.Path() + "/cake.pcs"},
         1,
         "cake.pcs (PCS): the design is larger than PCS can hold (the design is 83.9 x 133.9 mm); nothing was "
         "written (status 5 TooLarge)"},
        {{"convert", colours, folder.Path() + "/colours.dst"},
         1,
         "colours.dst (DST): the design has more colours or colour changes than DST holds (the design has 120 "
         "colours); nothing was written (status 7 TooManyColours)"},
        {{"convert", many, folder.Path() + "/many.pes"},
         1,
         "many.pes (PES): the design has more colours or colour changes than PES holds (the design has 257 "
         "colours); nothing was written (status 7 TooManyColours)"},
        {{"convert", many, folder.Path() + "/many.pec"},
         1,
         "many.pec (PEC): the design has more colours or colour changes than PEC holds (the design has 257 "
         "colours); nothing was written (status 7 TooManyColours)"},
        {{"convert", kCrown, folder.Path() + "/crown.sew"}, 2,
         "crown.sew: cannot write SEW; the output formats are vp3 dst exp 10o pcs tvk vip pes pec jef"},
        {{"convert", "--to", "zzz", kCrown, folder.Path() + "/crown.dst"}, 2, "cannot write 'zzz'"},
        {{"convert", kCrown, folder.Path() + "/missing/crown.dst"}, 1,
         "crown.dst (DST): cannot create: open folder: No such file or directory"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.args.back());
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("qel-stitch: ", 0), 0u) << r.err;
    }
    EXPECT_EQ(FilesUnder(folder.Path()), (std::vector<std::string>{"colours.vp3", "many.vp3"}));
}

// A DST file with one move of `move` units to the right between two stitches.
std::string WriteLongMove(TestFolder const& folder, std::string const& name, int move)
{
    Brodix::CSimpleDesign design;
    design.AddColourStitch(Brodix::ColourData::Default(), {0, 0}, false);
    design.AddStitch(Brodix::CAbsStitch{{10, 0}, 0, Brodix::CAbsStitch::Normal, false, true});
    design.AddStitch(Brodix::CAbsStitch{{10 + move, 0}, 0, Brodix::CAbsStitch::Normal, false, true});
    auto const saved = Brodix::DesignFiles::SaveDesign(design, Brodix::DesignFiles::FileFormat::DST, {});
    EXPECT_TRUE(saved.Saved());
    return folder.Write(name, std::string(saved.bytes.begin(), saved.bytes.end()));
}

// The stitches of a dump, without the file name and format around them.
nlohmann::json DumpedStitches(std::string const& path)
{
    Result const dumped = RunTool({"dump", path});
    EXPECT_EQ(dumped.status, 0) << dumped.err;
    return nlohmann::json::parse(dumped.out)["stitches"];
}

// VP3 steps from one stitch to the next hold at most 32767 design units: one
// just inside converts as it is, one just beyond is refused, not wrapped.
TEST(QelStitchConvert, RefusesAMoveLongerThanVp3Holds)
{
    TestFolder folder;
    struct Case {
        int move;
        int status;
    } const cases[] = {{32767, 0}, {32768, 1}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.move);
        std::string const stem = "move" + std::to_string(c.move);
        std::string const in = WriteLongMove(folder, stem + ".dst", c.move);
        std::string const out = folder.Path() + "/" + stem + ".vp3";
        Result const r = RunTool({"convert", in, out});
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.status == 0) {
            // Past the first record, which the VP3 writer moves off the origin.
            nlohmann::json written = DumpedStitches(out), read = DumpedStitches(in);
            written.erase(0);
            read.erase(0);
            EXPECT_EQ(written, read);
            continue;
        }
        EXPECT_NE(r.err.find(stem + ".vp3 (VP3): the design is larger than VP3 can hold (at most 3276.7 mm from one "
                             "stitch to the next)"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("nothing was written (status 2 TooLarge)"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST(QelStitchConvert, NamesThePcsPaletteWhenColoursAreMapped)
{
    TestFolder folder;
    std::string const in = WriteColours(folder, "many.vp3", 20, [](int i) { return unsigned(i) * 0x0A0B0C; });
    Result const r = RunTool({"convert", in, folder.Path() + "/many.pcs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("many.pcs (PCS): note: PCS holds 15 colours; the design's 20 were mapped to the nearest"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(folder.Path() + "/many.pcs"));
}

} // namespace
