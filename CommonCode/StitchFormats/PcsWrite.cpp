// Dravo PCS writer. A header for hoop type 3 with a palette of 15 colours,
// then 9-byte records: absolute needle positions in the machine's fixed-point
// unit, and colour changes naming a palette entry. The design is centred on
// the hoop's start point. Jumps and trims have no record: a run of jumps is
// part of the move to the next needle position, and the reader derives trims
// from long moves.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr uint8_t kVersion = '2';
constexpr uint8_t kHoopType = 3;
// Hoop type 3: where the needle starts, and the size of the field around it.
constexpr int kHoopStartX = 600;
constexpr int kHoopStartY = 575;
constexpr int kMaxWidth = 1200;
constexpr int kMaxHeight = 1150;

constexpr int kPaletteSize = 15;
constexpr uint8_t kNeedleKind = 0;
constexpr uint8_t kColourChangeKind = 3;
constexpr int kMaxNeedleRecords = 0xFFFF;   // the count field is 16 bits
// Design units to the machine's unit, which carries an 8-bit fraction.
constexpr double kUnitsPerDesignUnit = 1.6667;
constexpr double kFractionScale = 256.0;

// The box and number of the needle positions, relative to the container's start.
struct PcsMeasure {
    int needleRecords = 0;
    long long minX = LLONG_MAX, minY = LLONG_MAX, maxX = LLONG_MIN, maxY = LLONG_MIN;
    long long firstX = 0, firstY = 0;

    long long Width() const { return needleRecords > 0 ? maxX - minX : 0; }
    long long Height() const { return needleRecords > 0 ? maxY - minY : 0; }
};

// Calls needle(x, y) for each stitch, at its position relative to the
// container's start, and colourChange(colour) for each change, in order. The
// jumps before a stitch only move; a stop asks for the same colour again,
// which makes the machine stop.
template <typename Needle, typename ColourChange>
void WalkPcsRecords(CStitches& stitches, Needle&& needle, ColourChange&& colourChange)
{
    long long x = 0, y = 0;
    int colour = 0;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const s = *stitches.GetStitch(i);
        if (s.flags == STITCH_END)
            break;
        switch (s.flags) {
        case STITCH_JUMP:
            x += s.dx;
            y += s.dy;
            break;
        case STITCH_NORMAL:
            x += s.dx;
            y += s.dy;
            needle(x, y);
            break;
        case STITCH_COLOUR: colourChange(++colour); break;
        case STITCH_STOP: colourChange(colour); break;
        default: break;
        }
    }
}

// Only positions inside the hoop reach here, so the result fits easily.
int32_t ToMachineUnits(long long designUnits)
{
    return static_cast<int32_t>(std::trunc(static_cast<double>(designUnits) / kUnitsPerDesignUnit * kFractionScale));
}

void AppendRecord(std::vector<uint8_t>& out, int32_t first, int32_t second, uint8_t kind)
{
    ByteOrder::PutLe32(out, static_cast<uint32_t>(first));
    ByteOrder::PutLe32(out, static_cast<uint32_t>(second));
    out.push_back(kind);
}

// The palette: the distinct colours the reduction leaves, in order of first
// appearance, then the default PCS colours after them.
void MakePalette(CStitches& stitches, rgbData (&palette)[NumPcsCols])
{
    int const n = stitches.GetNumberColours();
    std::vector<unsigned> reduced(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        reduced[static_cast<std::size_t>(i)] = stitches.GetColour(i);
    ConvertColoursToFormat(reduced.data(), n, SF::FormatPCS);
    std::vector<rgbData> values(reduced.size()), distinct(reduced.size());
    std::transform(reduced.begin(), reduced.end(), values.begin(), RgbDataFromRGB);
    int const d = std::min(NumberDistinctRGB(values.data(), n, distinct.data()), kPaletteSize);
    SetToPcsCols(palette);
    std::copy(distinct.begin(), distinct.begin() + d, palette);
}

} // namespace

int CStitches::DravoSave(IArchiverRetriever& retriever)
{
    PcsMeasure box;
    WalkPcsRecords(
        *this,
        [&](long long x, long long y) {
            if (box.needleRecords++ == 0) {
                box.firstX = x;
                box.firstY = y;
            }
            box.minX = std::min(box.minX, x);
            box.maxX = std::max(box.maxX, x);
            box.minY = std::min(box.minY, y);
            box.maxY = std::max(box.maxY, y);
        },
        [](int) {});
    if (box.Width() > kMaxWidth || box.Height() > kMaxHeight)
        return SF::kSaveStatusTooLarge;
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    if (box.needleRecords > kMaxNeedleRecords)
        return SF::kSaveStatusTooManyRecords;

    rgbData palette[NumPcsCols];
    MakePalette(*this, palette);
    unsigned char table[kPaletteSize][3];
    for (int k = 0; k < kPaletteSize; ++k) {
        table[k][0] = palette[k].red;
        table[k][1] = palette[k].green;
        table[k][2] = palette[k].blue;
    }
    // Each colour's own RGB picks its entry. A colour change past the colour
    // table keeps the last colour's entry rather than read beyond it.
    auto paletteIndex = [&](int colour) {
        colour = std::min(colour, GetNumberColours() - 1);
        if (colour < 0)
            return 0;
        rgbData const c = RgbDataFromRGB(GetColour(colour));
        return GetNearestColour(c.red, c.green, c.blue, kPaletteSize, table);
    };

    std::vector<uint8_t> image{kVersion, kHoopType};
    ByteOrder::PutLe16(image, kPaletteSize);
    for (int k = 0; k < kPaletteSize; ++k)
        image.insert(image.end(), {palette[k].red, palette[k].green, palette[k].blue, 0});
    ByteOrder::PutLe16(image, static_cast<uint16_t>(box.needleRecords));
    // The box's centre goes on the hoop's start point; the halves truncate. The
    // reader drops a first needle record on the start point itself, so such a
    // design moves by one unit.
    long long offsetX = kHoopStartX - (box.minX + box.maxX) / 2;
    long long const offsetY = kHoopStartY - (box.minY + box.maxY) / 2;
    if (box.needleRecords > 0 && box.firstX + offsetX == kHoopStartX && box.firstY + offsetY == kHoopStartY)
        ++offsetX;
    AppendRecord(image, paletteIndex(0), 0, kColourChangeKind);
    WalkPcsRecords(
        *this,
        [&](long long x, long long y) {
            AppendRecord(image, ToMachineUnits(x + offsetX), ToMachineUnits(y + offsetY), kNeedleKind);
        },
        [&](int colour) { AppendRecord(image, paletteIndex(colour), 0, kColourChangeKind); });
    return StitchWriting::WriteImage(*output, image);
}
