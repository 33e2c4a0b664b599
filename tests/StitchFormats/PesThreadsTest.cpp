// The designer's threads of a PES section: where the table sits in each
// version, which files have one, reads bounded by the section, and the
// colours a load gives.
#include "StitchFormats/PesThreads.h"
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Pes.h"
#include "StitchFormats/ThreadCatalogues.h"
#include "StitchFormatsTesting.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>

using Brodix::IArchiverStream;
using Stream = Brodix::Archivers::MemoryStreamRW<IArchiverStream>;
using StitchFormatsTesting::ReadFile;
using Bytes = std::vector<uint8_t>;

namespace {

std::filesystem::path const kPes = "../shared/corpus/pes";

std::optional<std::vector<PESThread>> ThreadsOf(Bytes const& file)
{
    Stream stream(file);
    return ReadPESThreads(stream);
}

std::vector<unsigned> LoadedColours(Bytes const& file)
{
    CPESReadWrite reader;
    Stream stream(file);
    std::vector<unsigned> colours;
    if (reader.Load(stream, nullptr, nullptr, nullptr, nullptr) != 0 || reader.Designs().empty())
        return colours;
    IDesign const& design = *reader.Designs()[0];
    for (unsigned long i = 0; i < design.GetColourCount(); ++i)
        colours.push_back(design.GetColour(i).colours[0]);
    return colours;
}

TEST(PesThreads, TableOfEveryCorpusFileOfVersions50To71)
{
    if (!std::filesystem::exists(kPes / "cat.PES"))
        GTEST_SKIP() << "no corpus";
    struct Case {
        char const* file;
        bool found;
        std::size_t count;
        char const* firstCode;
        unsigned firstRGB;
    };
    Case const cases[] = {
        {"cat.PES", true, 20, "1922", 0x8A2D5A},        // version 60, table at byte 98
        {"snowflake.PES", true, 4, "1801", 0xFAFAFA},   // a longer design name
        {"big.pes", true, 4, "208", 0x42BDFF},
        {"reorder.pes", true, 17, "", 0xFF0000},
        {"complex-v6.pes", true, 5, "900", 0x000000},
        {"minimalV6.pes", true, 3, "515", 0x207E2F},
        {"horizontalstitchV6.pes", true, 3, "515", 0x207E2F},
        {"Star.pes", true, 2, "800", 0x1F17ED},         // version 70
        {"nothingV6.pes", true, 0, nullptr, 0},
        {"blank-v6.pes", true, 0, nullptr, 0},
        {"metadata-v6.pes", true, 0, nullptr, 0},
        {"blank-v5.pes", true, 0, nullptr, 0},          // version 50
        {"metadata-v5.pes", true, 0, nullptr, 0},
        // A programmable fill pattern stands before its table.
        {"programstitch5.pes", false, 0, nullptr, 0},
        // Announces six threads and lists none: its object list follows the count.
        {"Hello_PEmbroider.pes", false, 0, nullptr, 0},
        // Cut short inside its table.
        {"pes_v6_trunc.pes", false, 0, nullptr, 0},
        // Versions before 50 and after 71 have no table this reader finds.
        {"line.pes", false, 0, nullptr, 0},
        {"rose.pes", false, 0, nullptr, 0},
        {"Embroidermodder.pes", false, 0, nullptr, 0},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.file);
        auto const threads = ThreadsOf(ReadFile(kPes / c.file));
        ASSERT_EQ(threads.has_value(), c.found);
        if (!threads)
            continue;
        ASSERT_EQ(threads->size(), c.count);
        if (c.count == 0)
            continue;
        EXPECT_EQ(threads->front().code, c.firstCode);
        EXPECT_EQ(threads->front().rgb, c.firstRGB);
    }
}

TEST(PesThreads, CatListsTheDesignersThreads)
{
    if (!std::filesystem::exists(kPes / "cat.PES"))
        GTEST_SKIP() << "no corpus";
    auto const threads = ThreadsOf(ReadFile(kPes / "cat.PES"));
    ASSERT_TRUE(threads && threads->size() == 20);
    PESThread const& first = threads->front();
    EXPECT_EQ(first.name, "Regal Purple");
    EXPECT_EQ(first.maker, "Madeira Polyneon");
    EXPECT_EQ((*threads)[19].name, "Super White");
}

// Every length and count is checked against the end of the PES section.
TEST(PesThreads, ReadsStayInsideThePesSection)
{
    if (!std::filesystem::exists(kPes / "cat.PES"))
        GTEST_SKIP() << "no corpus";
    Bytes const cat = ReadFile(kPes / "cat.PES");
    auto withSectionEnd = [&](uint32_t end) {
        Bytes file = cat;
        for (int i = 0; i < 4; ++i)
            file[8 + i] = static_cast<uint8_t>(end >> (8 * i));
        return file;
    };
    Bytes hugeCount = cat;
    hugeCount[98] = 0xFF;
    hugeCount[99] = 0xFF;
    Bytes longName = cat;
    longName[98 + 2 + 5 + 8] = 0xFF;   // the first name's length: a 16-bit length follows
    Bytes const cases[] = {
        withSectionEnd(958),                                  // ends with the table, before its object list
        withSectionEnd(500),                                  // ends inside the table
        withSectionEnd(20),                                   // ends inside the text fields
        withSectionEnd(static_cast<uint32_t>(cat.size() + 1)),   // past the file
        hugeCount,
        longName,
        Bytes(cat.begin(), cat.begin() + 400),                // cut inside the table
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_FALSE(ThreadsOf(cases[i]).has_value()) << i;
}

TEST(PesThreads, ColoursComeFromTheTableWhenItListsOnePerColour)
{
    if (!std::filesystem::exists(kPes / "cat.PES"))
        GTEST_SKIP() << "no corpus";
    struct Case {
        char const* file;
        bool fromTable;
    };
    Case const cases[] = {
        {"cat.PES", true},     {"snowflake.PES", true},   {"big.pes", true},
        {"reorder.pes", true}, {"Star.pes", true},
        {"complex-v6.pes", false},     // five threads for twelve colours
        {"minimalV6.pes", false},      // three threads for one colour
        {"Hello_PEmbroider.pes", false},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes const file = ReadFile(kPes / c.file);
        std::vector<unsigned> const colours = LoadedColours(file);
        ASSERT_FALSE(colours.empty());
        auto const threads = ThreadsOf(file);
        std::vector<unsigned> table;
        if (threads)
            for (PESThread const& thread : *threads)
                table.push_back(thread.rgb);
        // A last colour without stitches does not reach the design.
        bool const same = colours.size() <= table.size() && colours.size() + 1 >= table.size() &&
                          std::equal(colours.begin(), colours.end(), table.begin());
        EXPECT_EQ(same, c.fromTable);
    }
}

TEST(PesThreads, ThreadColourTakesTheCatalogueOfItsMaker)
{
    namespace SF = Brodix::StitchFormats;
    struct Case {
        PESThread thread;
        int catalogue;   // -1: none matches
    };
    Case const cases[] = {
        {{"1922", 0x8A2D5A, "Regal Purple", "Madeira Polyneon", ""}, 6},
        {{"1000", 0x2A2928, "Black", "Madeira", ""}, 0},        // the first Madeira chart lists the code
        {{"61001", 0xF8F4F4, "Bright White", "Sulky", ""}, 5},  // only the poly chart lists it
        {{"800", 0x1F17ED, "5", "EMBROIDERY", ""}, -1},
        {{"7032", 0x8DBA97, "Green", "", ""}, -1},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.thread.maker);
        Brodix::ColourData const colour = PESThreadColour(c.thread);
        EXPECT_EQ(colour.colours[0], c.thread.rgb);
        EXPECT_STREQ(colour.serialNumber, c.thread.code.c_str());
        EXPECT_STREQ(colour.threadName, c.thread.name.c_str());
        EXPECT_STREQ(colour.manufacturerName, c.thread.maker.c_str());
        Brodix::ColourData const expected = Brodix::ColourData::Default();
        EXPECT_EQ(colour.materialType,
                  c.catalogue < 0 ? expected.materialType : SF::details[c.catalogue].materialType);
        EXPECT_EQ(colour.threadWeight,
                  c.catalogue < 0 ? expected.threadWeight : SF::details[c.catalogue].threadWeight);
    }
}

} // namespace
