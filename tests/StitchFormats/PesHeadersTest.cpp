// The PES version headers: hoop answers of every version, text fields, custom
// hoops and the refusal of truncated headers.
#include "StitchFormats/PesHeaders.h"
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/MemoryStream.h"
#include "PesTestImages.h"
#include <gtest/gtest.h>

using Brodix::IArchiverStream;
using Stream = Brodix::Archivers::MemoryStreamRW<IArchiverStream>;
using PesTestImages::Header;

namespace {

std::unique_ptr<BasePESHeader> Load(Header const& h)
{
    Stream stream(PesTestImages::EncodeHeader(h));
    auto header = CreatePESHeader(h.version);
    if (header == nullptr)
        return nullptr;
    header->SetDefaults();
    if (!header->LoadFromFile(stream))
        return nullptr;
    return header;
}

Header Make(int version, int a, int b, int rotation)
{
    Header h;
    h.version = version;
    h.extentA = a;
    h.extentB = b;
    h.rotation = rotation;
    return h;
}

Header Version1(int hoopCode)
{
    Header h;
    h.hoopCode = hoopCode;
    return h;
}

Header Version90(char const* machineClass, int hoopCode, int rotation)
{
    Header h;
    h.version = 90;
    h.machineClass = machineClass;
    h.hoopCode = hoopCode;
    h.rotation = rotation;
    return h;
}

Header WithBlocks(Header h, int blocks)
{
    h.numHoops = blocks;
    return h;
}

Header Custom(Header h)
{
    h.custom = true;
    return h;
}

Header StoredHoop(Header h, int width, int height)
{
    h.hoopWidth = width;
    h.hoopHeight = height;
    return h;
}

struct HoopCase {
    char const* name;
    Header header;
    int width;
    int height;
    bool rotated;
    int hoopType;
    bool industrial;
    bool rotate180;
    int blocks;
};

HoopCase const kHoopCases[] = {
    {"v1 code 0", Version1(0), 100, 100, false, 0, false, false, 1},
    {"v1 code 1", Version1(1), 130, 180, false, 0, false, false, 1},
    {"v1 unknown code", Version1(7), 0, 0, false, 0, false, false, 1},
    {"v20 swapped", Make(20, 100, 130, 0), 130, 100, false, 0, false, false, 1},
    {"v20 flagged", Make(20, 100, 130, 1), 100, 130, true, 0, false, false, 1},
    {"v30 three positions 130x300", WithBlocks(Make(30, 130, 300, 0), 3), 300, 130, false, 2, false, false, 3},
    {"v30 plain", Make(30, 100, 130, 0), 130, 100, false, 0, false, false, 1},
    {"v25 300x130", WithBlocks(Make(25, 300, 130, 0), 3), 130, 300, false, 1, false, false, 3},
    {"v40 172x100", Make(40, 172, 100, 0), 100, 172, false, 3, false, false, 1},
    {"v40 200x300 not industrial", Make(40, 200, 300, 0), 300, 200, false, 0, false, false, 1},
    {"v50 100x172", Make(50, 100, 172, 0), 172, 100, false, 4, false, false, 1},
    {"v50 200x300", Make(50, 200, 300, 0), 300, 200, true, 0, true, true, 1},
    {"v55 130x50 flagged", Make(55, 130, 50, 1), 130, 50, false, 0, true, false, 1},
    {"v56 300x200 flagged", Make(56, 300, 200, 1), 300, 200, false, 0, true, false, 1},
    {"v60 200x300", Make(60, 200, 300, 0), 200, 300, true, 0, true, true, 1},
    {"v60 wide", Make(60, 180, 130, 0), 180, 130, true, 0, false, false, 1},
    {"v60 130x50", Make(60, 130, 50, 0), 130, 50, false, 0, true, false, 1},
    {"v60 custom", Custom(WithBlocks(Make(60, 300, 130, 0), 4)), 300, 130, true, 6, false, false, 4},
    {"v70 172x100", Make(70, 172, 100, 0), 172, 100, true, 3, false, false, 1},
    {"v71 130x60", Make(71, 130, 60, 0), 130, 60, false, 0, false, false, 1},
    {"v70 300x200 flagged", Make(70, 300, 200, 1), 300, 200, true, 0, true, true, 1},
    {"v80 100x172 flagged", Make(80, 100, 172, 1), 100, 172, true, 3, false, false, 1},
    {"v80 130x300 flagged", Make(80, 130, 300, 1), 130, 300, true, 1, false, false, 1},
    {"v80 300x200 flagged", Make(80, 300, 200, 1), 300, 200, true, 0, true, true, 1},
    {"v80 200x300", Make(80, 200, 300, 0), 300, 200, false, 0, true, false, 1},
    {"v90 two-position hoop", WithBlocks(Version90("20", 19, 0), 2), 350, 350, false, 5, false, false, 2},
    {"v90 home 130x300 rotated", Version90("01", 13, 1), 300, 130, true, 1, false, false, 1},
    {"v90 home 130x300", Version90("02", 13, 0), 130, 300, false, 2, false, false, 1},
    {"v90 home 100x172 rotated", Version90("01", 12, 1), 172, 100, true, 3, false, false, 1},
    {"v90 home 100x172", Version90("01", 12, 0), 100, 172, false, 4, false, false, 1},
    {"v90 industrial 300x200", Version90("10", 7, 1), 200, 300, true, 0, true, true, 1},
    {"v90 industrial stored", StoredHoop(Version90("10", 255, 0), 123, 45), 123, 45, false, 0, true, false, 1},
    {"v90 home stored", StoredHoop(Version90("01", 254, 0), 123, 45), 123, 45, false, 0, false, false, 1},
    {"v90 home code on industrial", Version90("10", 13, 0), -1, -1, false, 0, true, false, 1},
    {"v90 unknown class", Version90("05", 0, 0), -1, -1, false, 0, false, false, 1},
    {"v90 custom", Custom(Version90("01", 0, 0)), 100, 100, false, 6, false, false, 1},
};

TEST(PesHeaders, HoopAnswersOfEveryVersion)
{
    for (HoopCase const& c : kHoopCases) {
        SCOPED_TRACE(c.name);
        auto header = Load(c.header);
        ASSERT_NE(header, nullptr);
        int width = -1;
        int height = -1;
        bool rotated = !c.rotated;
        header->GetHoop(width, height, rotated);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(rotated, c.rotated);
        EXPECT_EQ(header->GetHoopType(), c.hoopType);
        EXPECT_EQ(header->IsIndustrialMachine(), c.industrial);
        EXPECT_EQ(header->Requires180Rotate(), c.rotate180);
        EXPECT_EQ(header->GetNumHoops(), c.blocks);
    }
}

TEST(PesHeaders, CardDataPositionAndDimensions)
{
    struct Case {
        Header header;
        int width;
        int height;
    };
    Case const cases[] = {
        {Version1(1), 130, 180},
        {Make(20, 100, 130, 1), 100, 130},
        {Make(30, 130, 300, 0), 130, 300},
        {Make(60, 200, 300, 0), 200, 300},
        {Make(80, 300, 200, 1), 300, 200},
        {StoredHoop(Version90("01", 13, 1), 77, 66), 77, 66},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.header.version);
        c.header.cardDataPos = 0x12345678;
        auto header = Load(c.header);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->GetCardDataPos(), 0x12345678u);
        int width = 0;
        int height = 0;
        header->GetDimensions(width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

TEST(PesHeaders, EveryTruncationIsRefused)
{
    Header h40 = Make(40, 100, 130, 0);
    h40.text[0] = "name";
    h40.text[3] = std::string(300, 'x');
    Header h90 = Version90("01", 0, 0);
    h90.text[1] = "cat";
    for (Header const& h : {Version1(0), Make(20, 1, 2, 0), Make(30, 1, 2, 0), h40, Make(50, 1, 2, 0),
                            Make(60, 1, 2, 0), Make(70, 1, 2, 0), Make(80, 1, 2, 0), h90}) {
        SCOPED_TRACE(h.version);
        PesTestImages::Bytes const image = PesTestImages::EncodeHeader(h);
        for (std::size_t size = 0; size <= image.size(); ++size) {
            Stream stream(image.data(), size);
            auto header = CreatePESHeader(h.version);
            header->SetDefaults();
            EXPECT_EQ(header->LoadFromFile(stream), size == image.size()) << "size " << size;
        }
    }
}

std::string Notes(BasePESHeader const& header, int size = 1024)
{
    std::vector<char> buffer(static_cast<std::size_t>(size), '?');
    header.CopyNotes(buffer.data(), size);
    return buffer.data();
}

TEST(PesHeaders, NotesJoinThePresentTextFields)
{
    struct Case {
        char const* name;
        std::optional<std::string> text[5];
        int bufferSize;
        std::string expected;
    };
    Case const cases[] = {
        {"all absent", {}, 1024, ""},
        {"gaps", {"X", std::nullopt, "Y", std::nullopt, "Z"}, 1024, "X Y Z"},
        {"long field", {std::string(300, 'a'), "b"}, 1024, std::string(300, 'a') + " b"},
        {"cut at the buffer", {"ABCDEF", "GH"}, 4, "ABC"},
        {"space fills the buffer", {"ABC", "DEF"}, 5, "ABC "},
        {"embedded zero ends a field", {std::string("ab\0cd", 5), "e"}, 1024, "ab e"},
    };
    for (int version : {40, 50, 60, 70, 80, 90}) {
        for (Case const& c : cases) {
            SCOPED_TRACE(testing::Message() << version << " " << c.name);
            Header h = Version90("01", 0, 0);
            h.version = version;
            for (int i = 0; i < 5; ++i)
                h.text[i] = c.text[i];
            auto header = Load(h);
            ASSERT_NE(header, nullptr);
            EXPECT_EQ(Notes(*header, c.bufferSize), c.expected);
        }
    }
}

TEST(PesHeaders, OlderVersionsHaveNoNotes)
{
    for (Header const& h : {Version1(0), Make(20, 1, 2, 0), Make(30, 1, 2, 0)}) {
        auto header = Load(h);
        ASSERT_NE(header, nullptr);
        char buffer[8] = "keep";
        header->CopyNotes(buffer, sizeof buffer);
        EXPECT_STREQ(buffer, "keep");
    }
}

TEST(PesHeaders, CustomHoopGrid)
{
    Header h60 = Custom(Make(60, 300, 130, 0));
    h60.customValues[0] = 300;
    h60.customValues[1] = 200;
    h60.customValues[2] = 130;
    h60.customValues[3] = 180;
    Header h80 = h60;
    h80.version = 80;
    Header h90 = Custom(Version90("01", 0, 0));
    h90.customWidth = 300;
    h90.customHeight = 250;
    h90.machineHoopCode = 7;
    Header h90Other = h90;
    h90Other.machineHoopCode = 99;

    struct Case {
        Header header;
        int a, b, c, d;
    };
    Case const cases[] = {
        {h60, 3000, 2000, 1300, 1800},
        {h80, 3000, 2000, 1300, 1800},
        {h90, 3000, 2500, 3000, 2000},
        {h90Other, 3000, 2500, 1000, 1000},
        {Make(50, 300, 130, 0), -1, -1, -1, -1},   // no custom hoop before version 60
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.header.version);
        auto header = Load(c.header);
        ASSERT_NE(header, nullptr);
        int a = -1, b = -1, cw = -1, ch = -1;
        header->GetCustomHoop(a, b, cw, ch);
        EXPECT_EQ(a, c.a);
        EXPECT_EQ(b, c.b);
        EXPECT_EQ(cw, c.c);
        EXPECT_EQ(ch, c.d);
    }
}

TEST(PesHeaders, VersionOfTheMagicAndTheFactory)
{
    struct Case {
        int version;
        int reported;   // what GetVersion answers after loading that magic
    };
    Case const cases[] = {{1, 1},   {20, 20}, {25, 25}, {30, 30}, {40, 40}, {50, 50}, {55, 55},
                          {56, 56}, {60, 60}, {70, -1}, {80, -1}, {90, 90}, {93, -1}};
    for (Case const& c : cases) {
        SCOPED_TRACE(c.version);
        Header h = Make(c.version, 100, 130, 0);
        auto header = Load(h);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->GetVersion(), c.reported);
    }
    for (int version : {0, 2, 10, 65, 94, 100, 111})
        EXPECT_EQ(CreatePESHeader(version), nullptr) << version;
}

} // namespace
