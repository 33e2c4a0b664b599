// Pictures of designs: the stitches drawn as thread, to PNG, SVG, raw pixels
// or a small preview for a colour terminal. Only what a needle sews with
// thread is drawn: jumps, trims, colour changes, stops and hidden records
// only move the pen.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Brodix::DesignPictures {

// One colour block: the stitches between two colour changes, as runs of
// points each joined by sewn lines. A run of one point is a single stitch
// with nothing sewn before it, drawn as a dot.
struct ColourBlock {
    uint32_t rgb = 0;   // 0xRRGGBB
    std::vector<std::vector<CommonTypes::PointI>> runs;
};

// The sewn lines of the design, block by block; blocks with nothing sewn are left out.
std::vector<ColourBlock> SewnBlocks(IDesign const& design);

// The longest side a picture may have, which keeps its memory bounded.
constexpr int kMaxPictureSize = 4096;
constexpr int kDefaultPictureSize = 512;

struct PictureOptions {
    int size = kDefaultPictureSize;     // the longer side, in pixels
    std::optional<uint32_t> background;   // 0xRRGGBB; transparent without one
    bool colourBlocks = false;            // one panel per colour block, side by side
};

enum class PictureStatus {
    OK,
    NothingSewn,    // the design has no stitch to draw
    BadSize,        // size outside 1..kMaxPictureSize
    DrawingFailed,  // cairo could not draw or encode (out of memory)
};

struct Picture {
    PictureStatus status = PictureStatus::OK;
    std::string message;   // one line for people when status is not OK
    int width = 0;
    int height = 0;
    std::string bytes;                // PNG or SVG file contents
    std::vector<uint32_t> pixels;     // raster only: 0xAARRGGBB, not premultiplied, row by row

    bool Drawn() const { return status == PictureStatus::OK; }
};

Picture DrawPng(IDesign const& design, PictureOptions const& options);
Picture DrawSvg(IDesign const& design, PictureOptions const& options);
// The pixels a PNG would hold, without encoding them.
Picture DrawPixels(IDesign const& design, PictureOptions const& options);

// A preview of about columns characters wide for a terminal with 24-bit
// colour: each character is two pixels, upper and lower half block. Empty
// when nothing is sewn.
std::string TerminalPreview(IDesign const& design, int columns = 40);

// "#RRGGBB" (the # may be left out) as 0xRRGGBB.
std::optional<uint32_t> ParseColour(std::string_view text);

} // namespace Brodix::DesignPictures
