#include "ByteCodeReaderTesting.h"
#include "StitchFormats/Palettes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace ByteCodeReaderTesting;
namespace SF = Brodix::StitchFormats;

// Hoop type 2 starts the needle at (400, 400).
constexpr unsigned char kHoop = 2;
constexpr int kStart = 400;

void Put32(Bytes& out, long long v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Positions are stored in 1/256 of a unit 1/1.6667 of a design unit.
Bytes At(int x, int y)
{
    Bytes record;
    Put32(record, std::llround(x * 256 / 1.6667));
    Put32(record, std::llround(y * 256 / 1.6667));
    record.push_back(0);
    return record;
}

Bytes ColourChange(unsigned char index)
{
    return {index, 0, 0, 0, 0, 0, 0, 0, 3};
}

unsigned TableColour(int i)
{
    return RGBFromBytes(static_cast<unsigned char>(20 * i + 1), static_cast<unsigned char>(20 * i + 2),
                        static_cast<unsigned char>(20 * i + 3));
}

// Version "2" with a table of `colours` entries; the record count counts positions only.
Bytes MakePcs(std::vector<Bytes> const& records, int colours = 2, unsigned char hoop = kHoop)
{
    Bytes file{'2', hoop, static_cast<unsigned char>(colours), 0};
    for (int i = 0; i < colours; ++i) {
        unsigned const rgb = TableColour(i);
        Append(file, {static_cast<unsigned char>(rgb), static_cast<unsigned char>(rgb >> 8),
                      static_cast<unsigned char>(rgb >> 16), 0});
    }
    int positions = 0;
    for (Bytes const& r : records)
        positions += r[8] != 3;
    Append(file, {static_cast<unsigned char>(positions), static_cast<unsigned char>(positions >> 8)});
    for (Bytes const& r : records)
        Append(file, r);
    return file;
}

struct PcsCase {
    char const* name;
    Bytes file;
    char const* records;
    std::vector<unsigned> colours;
};

class PcsRecords : public testing::TestWithParam<PcsCase> {};

TEST_P(PcsRecords, DecodeAsExpected)
{
    PcsCase const& c = GetParam();
    Loaded const loaded = LoadBytes(c.file, SF::FormatPCS);
    ASSERT_EQ(loaded.status, 0);
    EXPECT_EQ(loaded.records, c.records);
    EXPECT_EQ(loaded.colours, c.colours);
}

Bytes const kRawX160{0x00, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0};   // x 24,576 is 160 design units

INSTANTIATE_TEST_SUITE_P(Pcs, PcsRecords, testing::Values(
    PcsCase{"Stitches", MakePcs({At(kStart, kStart), At(410, 405), At(400, 400)}), "N10,5 N-10,-5 E",
            {TableColour(0)}},
    // From (400, 400) to (160, 0): a long move in jumps and a last stitch.
    PcsCase{"FixedPointScale", MakePcs({kRawX160}), "J-41,-69 J-41,-69 J-41,-69 J-41,-69 J-41,-69 N-35,-55 E",
            {TableColour(0)}},
    PcsCase{"LongMoveAfterStitchGetsTrim", MakePcs({At(410, 400), At(710, 400)}),
            "N10,0 T J80,0 J80,0 J80,0 N60,0 E", {TableColour(0)}},
    PcsCase{"LongMoveFromHoopStartNoTrim", MakePcs({At(700, 400)}), "J80,0 J80,0 J80,0 N60,0 E", {TableColour(0)}},
    PcsCase{"LeadingChangeNamesFirstColour", MakePcs({ColourChange(1), At(410, 400), ColourChange(0), At(420, 400)}),
            "N10,0 C N10,0 E", {TableColour(1), TableColour(0)}},
    PcsCase{"IndexPastTableKeepsLastEntry", MakePcs({At(410, 400), ColourChange(200), At(420, 400)}),
            "N10,0 C N10,0 E", {TableColour(0), TableColour(1)}},
    PcsCase{"NoTableIgnoresChanges", MakePcs({At(410, 400), ColourChange(1), At(420, 400)}, 0), "N10,0 N10,0 E",
            {GetTovenrikRGB(0)}},
    PcsCase{"RecordsPastCountNotRead",
            [] {
                Bytes file = MakePcs({At(410, 400), At(420, 400)});
                file[file.size() - 2 * 9 - 2] = 1;   // the count says one position
                return file;
            }(),
            "N10,0 E", {TableColour(0)}},
    PcsCase{"TruncatedRecordEndsDesign",
            [] {
                Bytes file = MakePcs({At(410, 400), At(420, 400)});
                file.pop_back();
                return file;
            }(),
            "N10,0 E", {TableColour(0)}},
    // Version "1": the record count follows the version byte; no table, hoop type 0 (830, 45).
    PcsCase{"VersionOne",
            [] {
                Bytes file{'1', 2, 0};
                Append(file, At(830, 45));
                Append(file, ColourChange(1));
                Append(file, At(840, 45));
                return file;
            }(),
            "N10,0 E", {GetTovenrikRGB(0)}}),
    [](testing::TestParamInfo<PcsCase> const& info) { return info.param.name; });

TEST(Pcs, Refusals)
{
    struct Refusal {
        Bytes file;
        int status;
    };
    Bytes seventeen = MakePcs({At(410, 400)});
    seventeen[2] = 17;
    Bytes marker = MakePcs({At(410, 400)});
    std::string const text = "SColourStitch";
    marker.insert(marker.end(), text.begin(), text.end());
    Bytes truncatedTable = MakePcs({}, 4);
    truncatedTable.resize(4 + 4 * 3);
    // Moves across the whole coordinate range: 175,000 records each, more
    // than the record limit after some 30 of them.
    std::vector<Bytes> farApart;
    for (int i = 0; i < 40; ++i) {
        Bytes record;
        Put32(record, i % 2 == 0 ? 0x7FFFFFFF : -0x7FFFFFFF);
        Put32(record, 0);
        record.push_back(0);
        farApart.push_back(record);
    }
    Refusal const refusals[] = {
        {{'2', 2, 1}, 3},                                // shorter than the first four bytes
        {{0x02, 2, 0, 0, 0, 0}, 2},                      // version as a number, not a digit
        {MakePcs({At(410, 400)}, 1, 4), 2},              // hoop type 4
        {seventeen, 5},
        {marker, 5},
        {truncatedTable, 3},
        {MakePcs(farApart), 5},
    };
    for (Refusal const& r : refusals)
        EXPECT_EQ(LoadBytes(r.file, SF::FormatPCS).status, r.status);
}

// Widens each byte, so the test sees exactly what the reader handed over.
class ByteWidening : public SF::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override { return std::string(text.begin(), text.end()); }
    std::wstring ConvertToWChars(std::string text) override { return std::wstring(text.begin(), text.end()); }
};

TEST(Pcs, NotesFollowThirteenBytesAfterTheRecords)
{
    Bytes file = MakePcs({At(410, 400)});
    Append(file, Bytes(13, 'x'));
    Append(file, {'H', 'e', 'm', 0, 'z'});
    ByteWidening encoding;
    EXPECT_EQ(LoadBytes(file, SF::FormatPCS, &encoding).notes, L"Hem");
    EXPECT_EQ(LoadBytes(file, SF::FormatPCS).notes, L"");
}

TEST(Pcs, CorpusLoads)
{
    // Its version byte is the number 2, not the digit "2" the format uses.
    ExpectCorpusLoads("pcs", SF::FormatPCS, {{"synthetic.pcs", 2}});
}

} // namespace
