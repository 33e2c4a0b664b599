// The writer side of Brother card data, shared by the PEC and PES writers:
// one card-data block (the PEC section) made from a container's records, and
// the thumbnails the machine shows in its menu.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include "StitchFormats/StitchWriting.h"
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace PecWriting {

// The colour block holds a count byte of colours less one.
inline constexpr int kMaxPecColours = 256;
// The extents fields of the stitch section are 16 bits.
inline constexpr int kMaxExtent = 0xFFFF;

// The thumbnails: 48 x 38 pixels, one bit each, 6 bytes a row.
inline constexpr int kThumbnailWidth = 48;
inline constexpr int kThumbnailHeight = 38;
inline constexpr int kThumbnailRowBytes = kThumbnailWidth / 8;
using Thumbnail = std::array<uint8_t, kThumbnailRowBytes * kThumbnailHeight>;

// The needle points of one colour block in design units (y down), split where
// a move without stitching interrupts the line.
using Polyline = std::vector<Brodix::CommonTypes::PointI>;
using ColourBlockLines = std::vector<Polyline>;

// Draws the lines of the blocks into one thumbnail, the design's box scaled
// into the frame; box is the box of every block's points, not only these.
Thumbnail MakeCardBmp(std::vector<ColourBlockLines const*> const& blocks, Brodix::CommonTypes::RectI const& box);
// Appends the thumbnail of the whole design, then one per colour block.
void WriteDisplayData(std::vector<uint8_t>& image, std::vector<ColourBlockLines> const& blocks);

// What a block is made of. leadingMove (card units, y down) goes before the
// records; standalone says whether a PEC reader (which drops the first move)
// or a PES reader reads the block back.
struct PecBlock {
    StitchWriting::StoplessRecords const* design = nullptr;
    CStitches* stitches = nullptr;   // the colours of design.colours
    std::string label;
    Brodix::CommonTypes::PointI leadingMove;
    int extentWidth = 0;
    int extentHeight = 0;
    bool standalone = true;
};

// Fills block from the container (design receives its records and must
// outlive block): its stopless records, label, extents and colours. Returns
// kSaveStatusOK, kSaveStatusTooLarge for extents beyond their 16-bit fields or
// kSaveStatusTooManyColours for more than maxColours colour blocks.
[[nodiscard]] int PrepareBlock(CStitches& stitches, Brodix::StitchFormats::ISaveInformation* information,
                               int maxColours, StitchWriting::StoplessRecords& design, PecBlock& block);

// Appends the block to image: the 48-byte block header, the colour block, the
// stitch section at block offset 512 and the thumbnails. Returns
// kSaveStatusOK, or kSaveStatusTooManyRecords when the section outgrows its
// 24-bit byte count or our reader would take fewer records than it holds.
[[nodiscard]] int AppendPecBlock(std::vector<uint8_t>& image, PecBlock const& block);

} // namespace PecWriting
