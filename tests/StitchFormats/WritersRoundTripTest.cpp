// Every sample file that the format engine reads saves to each of the written
// formats and reads back with the same needle points. What may differ: moves
// split into other records, the colours (mapped to the target's palette), the
// commands a format cannot hold (a stop becomes a colour change in DST, EXP,
// PCS, PEC, PES and JEF; PCS derives trims from long moves, JEF has none), and
// PCS, which centres the design on its hoop and drops a second stitch on the
// same point. PEC, PES and JEF also keep the colour blocks: each block that has
// needle points reads back with as many, a stop starting a block of its own.
// A design a format cannot represent must be refused for the reason it gives.
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatTypeTable.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StitchFormatsTesting.h"
#include "ZLibTesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <vector>

namespace {

using namespace Brodix;
namespace SF = Brodix::StitchFormats;
using CommonTypes::PointI;
using StitchFormatsTesting::Win1252Encoding;
using StitchFormatsTesting::ZLibInflater;
using MemoryStream = Archivers::MemoryStreamRW<IArchiverStream>;

using StitchFormatsTesting::MemoryRetriever;

// Where the needle goes down: every stitch, and every colour change that
// starts a colour with something in it (it stands for that colour's first stitch).
std::vector<PointI> NeedlePoints(IDesign const& design)
{
    auto const records = StitchFormatsTesting::StitchesOf(design);
    std::vector<PointI> points;
    for (std::size_t i = 0; i < records.size(); ++i) {
        CAbsStitch const& r = records[i];
        bool const startsColour = r.type == CAbsStitch::ColourChange && i + 1 < records.size()
                                  && records[i + 1].type != CAbsStitch::ColourChange;
        if (r.type == CAbsStitch::Normal || startsColour)
            points.push_back(r.position);
    }
    return points;
}

// How many needle points each colour block holds, in order, leaving out blocks
// with none; with stopsChangeColour a stop starts a block.
std::vector<std::size_t> ColourBlockSizes(IDesign const& design, bool stopsChangeColour)
{
    auto const records = StitchFormatsTesting::StitchesOf(design);
    std::vector<std::size_t> sizes(1, 0);
    for (std::size_t i = 0; i < records.size(); ++i) {
        CAbsStitch const& r = records[i];
        bool const startsColour = r.type == CAbsStitch::ColourChange && i + 1 < records.size()
                                  && records[i + 1].type != CAbsStitch::ColourChange;
        if (startsColour || (stopsChangeColour && r.type == CAbsStitch::Stop))
            sizes.push_back(0);
        if (r.type == CAbsStitch::Normal || startsColour)
            ++sizes.back();
    }
    std::erase(sizes, 0u);
    return sizes;
}

bool KeepsColourBlocks(SF::Format format)
{
    return format == SF::FormatPEC || format == SF::FormatPES || format == SF::FormatJEF;
}

// PCS keeps one needle record per point: a stitch on the spot of the one before goes.
std::vector<PointI> WithoutRepeats(std::vector<PointI> points)
{
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

struct Box {
    long long minX = 0, minY = 0, maxX = 0, maxY = 0;
};

Box BoxOf(std::vector<PointI> const& points)
{
    Box box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (PointI p : points) {
        box.minX = std::min<long long>(box.minX, p.x);
        box.maxX = std::max<long long>(box.maxX, p.x);
        box.minY = std::min<long long>(box.minY, p.y);
        box.maxY = std::max<long long>(box.maxY, p.y);
    }
    return box;
}

int CountOf(IDesign const& design, uint8_t type)
{
    auto const records = StitchFormatsTesting::StitchesOf(design);
    return static_cast<int>(std::count_if(records.begin(), records.end(), [&](CAbsStitch const& r) { return r.type == type; }));
}

// Why a format may refuse a design, checked against the design itself.
bool RefusalIsJustified(SF::Format format, int status, IDesign const& design, std::vector<PointI> const& points)
{
    Box const box = BoxOf(points);
    long long const width = box.maxX - box.minX, height = box.maxY - box.minY;
    if (format == SF::FormatPCS && status == SF::kSaveStatusTooLarge)
        return width > 1200 || height > 1150;
    if (format == SF::FormatDST && status == SF::kSaveStatusTooManyColours)
        return CountOf(design, CAbsStitch::ColourChange) - 1 + CountOf(design, CAbsStitch::Stop) > 98;
    if ((format == SF::FormatTVK || format == SF::FormatVIP) && status == SF::kSaveStatusTooLarge)
        return box.minX < -32768 || box.maxX > 32767 || box.minY < -32768 || box.maxY > 32767;
    // The stitch section's extents are 16 bits; the colour block holds 256
    // colours, of which our PES reader reads 127.
    if ((format == SF::FormatPEC || format == SF::FormatPES) && status == SF::kSaveStatusTooLarge)
        return width > 0xFFFF || height > 0xFFFF;
    std::size_t const blocks = ColourBlockSizes(design, true).size();
    if (format == SF::FormatPEC && status == SF::kSaveStatusTooManyColours)
        return blocks > 256;
    if (format == SF::FormatPES && status == SF::kSaveStatusTooManyColours)
        return blocks > 127;
    if (format == SF::FormatJEF && status == SF::kSaveStatusTooManyColours)
        return blocks > 2000;
    return false;
}

std::vector<std::filesystem::path> CorpusFiles()
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::exists("../shared/corpus"))
        return files;
    for (auto const& entry : std::filesystem::recursive_directory_iterator("../shared/corpus"))
        if (entry.is_regular_file() && SF::FormatFromExtension(entry.path().extension().string()))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

class WritersRoundTrip : public testing::TestWithParam<SF::Format> {};

TEST_P(WritersRoundTrip, EveryCorpusDesignReadsBackWithItsNeedlePoints)
{
    SF::Format const target = GetParam();
    Win1252Encoding encoding;
    ZLibInflater zlib;
    auto const codec = SF::MakeTvkVipCodec();
    int designs = 0;
    int written = 0;
    std::map<int, int> refused;
    for (auto const& path : CorpusFiles()) {
        auto bytes = StitchFormatsTesting::ReadFile(path);
        MemoryStream stream(std::vector<unsigned char>(bytes.begin(), bytes.end()));
        CSimpleDesign original;
        auto const format = *SF::FormatFromExtension(path.extension().string());
        if (SF::Load(original, stream, 0, format, &encoding, codec.get(), &zlib, nullptr) != 0)
            continue;
        std::vector<PointI> const expected = NeedlePoints(original);
        if (expected.empty())
            continue;
        ++designs;
        SCOPED_TRACE(path.string());
        MemoryRetriever out;
        StitchFormatsTesting::FilenameInformation information(path.stem().wstring());
        int const status = SF::Save(original, out, target, &information, &encoding, codec.get());
        if (status != SF::kSaveStatusOK) {
            EXPECT_TRUE(RefusalIsJustified(target, status, original, expected)) << "status " << status;
            EXPECT_TRUE(out.Written().empty());
            ++refused[status];
            continue;
        }
        MemoryStream file(out.Written());
        CSimpleDesign back;
        int const loaded = SF::Load(back, file, 0, target, &encoding, codec.get(), nullptr, nullptr);
        EXPECT_EQ(loaded, 0);
        if (loaded != 0)
            continue;
        std::vector<PointI> got = NeedlePoints(back);
        std::vector<PointI> want = expected;
        if (target == SF::FormatPCS) {
            want = WithoutRepeats(want);
            got = WithoutRepeats(got);
            // Centred on the hoop: the first point says by how much.
            EXPECT_FALSE(got.empty());
            if (got.empty())
                continue;
            PointI const shift{got.front().x - want.front().x, got.front().y - want.front().y};
            for (PointI& p : want)
                p = PointI{p.x + shift.x, p.y + shift.y};
        }
        EXPECT_EQ(got.size(), want.size());
        std::size_t const at = static_cast<std::size_t>(
            std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin());
        auto show = [](std::vector<PointI> const& v, std::size_t i) {
            if (i >= v.size())
                return std::string("nothing");
            // Appended piece by piece: gcc 12 warns falsely (-Wrestrict) on "(" + std::string.
            std::string text("(");
            text.append(std::to_string(v[i].x)).append(", ").append(std::to_string(v[i].y)).append(")");
            return text;
        };
        EXPECT_TRUE(got == want) << "needle point " << at << ": read " << show(got, at) << ", expected "
                                 << show(want, at);
        if (KeepsColourBlocks(target)) {
            EXPECT_EQ(ColourBlockSizes(back, false), ColourBlockSizes(original, true));
        }
        ++written;
    }
    EXPECT_GT(designs, 0) << "no corpus design was read";
    std::cout << SF::FormatName(target) << ": " << designs << " corpus designs, " << written << " written";
    for (auto const& [status, count] : refused)
        std::cout << ", " << count << " refused with status " << status;
    std::cout << "\n";
}

INSTANTIATE_TEST_SUITE_P(Formats, WritersRoundTrip,
                         testing::Values(SF::FormatDST, SF::FormatEXP, SF::Format10o, SF::FormatPCS, SF::FormatTVK,
                                         SF::FormatVIP, SF::FormatPEC, SF::FormatPES, SF::FormatJEF),
                         [](testing::TestParamInfo<SF::Format> const& info) {
                             return std::string("Format") + SF::FormatName(info.param);
                         });

} // namespace
