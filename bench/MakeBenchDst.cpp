// Writes the DST file that bench/time-convert.sh converts: about RECORDS
// stitch records of satin-like zigzags in eight colours, a trim every 400
// stitches followed by a long jump (split into several DST records), saved
// through the front door as qel-stitch convert would save it.
//
//     make_bench_dst RECORDS OUT.dst
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/SimpleDesign.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

using Brodix::CAbsStitch;
using Brodix::CommonTypes::PointI;

constexpr int kColours = 8;
constexpr int kTrimEvery = 400;
constexpr int kJumpLength = 600;   // units of 0.1 mm: five DST jump records
constexpr int kHalfField = 1000;   // a design of 200 by 200 mm

Brodix::CSimpleDesign MakeDesign(int records)
{
    Brodix::CSimpleDesign design;
    design.ReserveStitches(static_cast<std::size_t>(records));
    int const colourEvery = records / kColours + 1;
    int x = 0, y = 0, colour = -1;
    for (int i = 0; i < records; ++i) {
        if (i % colourEvery == 0) {
            Brodix::ColourData thread = Brodix::ColourData::Default();
            thread.colours[0] = 0x2040A0u * static_cast<unsigned>(colour + 2);
            design.AddColourStitch(thread, PointI{x, y}, false);
            ++colour;
            continue;
        }
        uint8_t type = CAbsStitch::Normal;
        if (i % kTrimEvery == 0) {
            design.AddStitch(CAbsStitch{PointI{x, y}, colour, CAbsStitch::Trim, false, true});
            x = x + kJumpLength > kHalfField ? -kHalfField : x + kJumpLength;
            type = CAbsStitch::Jump;
        } else {
            x += i % 2 == 0 ? 31 : -29;
            y += i % 2 == 0 ? 3 : -1;
            if (y > kHalfField)
                y = -kHalfField;
        }
        design.AddStitch(CAbsStitch{PointI{x, y}, colour, type, false, type == CAbsStitch::Normal});
    }
    return design;
}

} // namespace

int main(int argc, char** argv)
{
    int records = 0;
    if (argc != 3 || std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), records).ec != std::errc()
        || records < 2) {
        std::fputs("usage: make_bench_dst RECORDS OUT.dst\n", stderr);
        return 2;
    }
    Brodix::DesignFiles::SaveResult const saved =
        Brodix::DesignFiles::SaveDesign(MakeDesign(records), Brodix::DesignFiles::FileFormat::DST, {L"bench"});
    if (!saved.Saved()) {
        std::fprintf(stderr, "make_bench_dst: %s\n", saved.meaning.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<char const*>(saved.bytes.data()), static_cast<std::streamsize>(saved.bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "make_bench_dst: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu DST records\n", argv[2], (saved.bytes.size() - 512) / 3);
    return 0;
}
