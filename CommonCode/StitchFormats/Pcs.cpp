// Dravo PCS reader and writer. A short header with the hoop and up to 16
// colours, then 9-byte records of absolute fixed-point positions in the
// machine's unit and colour changes naming a palette entry, then a notes text.
// On reading, moves are split into records by the building array, and trims
// are derived from the jump runs that long moves leave. The writer centres the
// design on the start point of hoop type 3 with a palette of 15 colours; jumps
// become part of the move to the next needle position, and trims have no record.
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr int kStatusUnreadable = 3;
constexpr int kStatusBadVersion = 2;

constexpr unsigned long kHeaderSize = 4;
constexpr uint8_t kVersionWithColours = '2';
constexpr uint8_t kVersionPlain = '1';
// A version "1" file has no hoop and no colour table: its record count follows the version byte.
constexpr unsigned long kPlainRecordCountOffset = 1;
constexpr int kMaxColours = 16;
constexpr unsigned long kColourEntrySize = 4;

constexpr unsigned long kRecordSize = 9;
constexpr uint8_t kColourChangeKind = 3;
// Coordinates carry an 8-bit fraction, in a unit of 1/1.6667 design units.
constexpr double kUnitsPerDesignUnit = 1.6667;
constexpr double kFractionScale = 1.0 / 256;
constexpr double kMoveStep = 80.0;

constexpr unsigned long kGapBeforeNotes = 13;
constexpr unsigned long kMaxNotesLength = 1024;

// Where the needle starts, in design units, by hoop type.
constexpr int kHoopStarts[][2] = {{830, 45}, {830, 450}, {400, 400}, {600, 575}};
constexpr int kHoopTypes = static_cast<int>(std::size(kHoopStarts));
constexpr int kPlainHoopType = 0;

int32_t LittleEndian32(uint8_t const* bytes)
{
    return static_cast<int32_t>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16
                                | uint32_t(bytes[3]) << 24);
}

unsigned ReadUInt16(uint8_t const* bytes)
{
    return unsigned(bytes[0]) | unsigned(bytes[1]) << 8;
}

int ToDesignUnits(int32_t fixedPoint)
{
    // The conversion truncates as trunc would; the value is far inside int.
    return static_cast<int>(fixedPoint * kUnitsPerDesignUnit * kFractionScale + 0.5);
}

std::wstring ReadNotes(Brodix::IArchiverStream& stream, Brodix::StitchFormats::ICharEncoding& encoding)
{
    stream.SetPos(stream.GetPos() + kGapBeforeNotes);
    char text[kMaxNotesLength];
    unsigned long const length = stream.Read(text, kMaxNotesLength);
    // The text ends at its terminator, if it has one.
    return encoding.ConvertToWChars(std::string(text, std::find(text, text + length, '\0')));
}

} // namespace

int CStitches::DravoLoad(IArchiverStream& stream, ICharEncoding* encoding)
{
    stream.SetPos(0);
    uint8_t header[kHeaderSize];
    if (stream.Read(header, kHeaderSize) != kHeaderSize)
        return kStatusUnreadable;
    int hoopType = kPlainHoopType;
    unsigned colourCount = 0;
    if (header[0] == kVersionWithColours) {
        hoopType = header[1];
        if (hoopType >= kHoopTypes)
            return kStatusBadVersion;
        colourCount = ReadUInt16(header + 2);
    } else if (header[0] == kVersionPlain) {
        stream.SetPos(kPlainRecordCountOffset);
    } else {
        return kStatusBadVersion;
    }
    if (colourCount > kMaxColours || IsCanFileData(stream))
        return kStatusRefused;

    uint8_t colourBytes[kMaxColours * kColourEntrySize];
    uint8_t countBytes[2];
    unsigned long const colourBytesLength = colourCount * kColourEntrySize;
    if (stream.Read(colourBytes, colourBytesLength) != colourBytesLength || stream.Read(countBytes, 2) != 2)
        return kStatusUnreadable;
    int remaining = static_cast<int>(ReadUInt16(countBytes));
    bool const hasColourTable = colourCount > 0;

    CStitchBuildingArray records;
    records.SetSize(remaining + 1, CStitchBuildingArray::kDefaultGrowth);
    int previousX = kHoopStarts[hoopType][0];
    int previousY = kHoopStarts[hoopType][1];
    std::vector<int> colourIndices{0};
    bool nothingRead = true;

    uint8_t record[kRecordSize];
    while (remaining > 0 && ValidateStitchCount(records.GetCount()) && !records.HasOverflowed()
           && stream.Read(record, kRecordSize) == kRecordSize) {
        if (record[8] == kColourChangeKind) {
            if (!hasColourTable)
                continue;
            // The first colour is named by a leading change, not started by it.
            if (nothingRead) {
                colourIndices.front() = record[0];
            } else {
                records.Add(CStitch{STITCH_COLOUR, 0, 0});
                colourIndices.push_back(record[0]);
            }
            continue;
        }
        int const x = ToDesignUnits(LittleEndian32(record));
        int const y = ToDesignUnits(LittleEndian32(record + 4));
        records.AddLongStitch(previousX, previousY, x, y, kMoveStep, STITCH_NORMAL, false);
        previousX = x;
        previousY = y;
        nothingRead = false;
        --remaining;
    }

    if (encoding != nullptr)
        SetWideNotes(ReadNotes(stream, *encoding));

    if (!ValidateStitchCount(records.GetCount()) || records.HasOverflowed())
        return kStatusRefused;
    records.Add(CStitch{STITCH_END, 0, 0});
    if (StoreRecords(records.GetStitches(), records.GetCount()) != kStatusOk)
        return kStatusRefused;

    if (hasColourTable) {
        int const colours = static_cast<int>(colourIndices.size());
        SetNumberColours(colours);
        for (int i = 0; i < colours; ++i) {
            // A change may name a colour the table lacks; it keeps the table's last one.
            unsigned const entry = std::min<unsigned>(colourIndices[i], colourCount - 1);
            uint8_t const* rgb = colourBytes + entry * kColourEntrySize;
            SetColour(i, RGBFromBytes(rgb[0], rgb[1], rgb[2]));
            SetManufacturer(i, m_defaultColourType);
        }
    } else {
        SetNumberColours(1);
        SetColour(0, GetTovenrikRGB(0));
        SetManufacturer(0, m_defaultColourType);
    }

    InsertTrim();
    SizeDesign();
    return kStatusOk;
}

// ---- writing ----

namespace {

// Hoop type 3, and the size of the field around its start point.
constexpr uint8_t kHoopType = 3;
constexpr int kMaxWidth = 1200;
constexpr int kMaxHeight = 1150;

constexpr int kPaletteSize = 15;
constexpr uint8_t kNeedleKind = 0;
constexpr int kMaxNeedleRecords = 0xFFFF;   // the count field is 16 bits

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
    return static_cast<int32_t>(std::trunc(static_cast<double>(designUnits) / kUnitsPerDesignUnit / kFractionScale));
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

    std::vector<uint8_t> image{kVersionWithColours, kHoopType};
    ByteOrder::PutLe16(image, kPaletteSize);
    for (int k = 0; k < kPaletteSize; ++k)
        image.insert(image.end(), {palette[k].red, palette[k].green, palette[k].blue, 0});
    ByteOrder::PutLe16(image, static_cast<uint16_t>(box.needleRecords));
    // The box's centre goes on the hoop's start point; the halves truncate. The
    // reader drops a first needle record on the start point itself, so such a
    // design moves by one unit.
    int const startX = kHoopStarts[kHoopType][0];
    int const startY = kHoopStarts[kHoopType][1];
    long long offsetX = startX - (box.minX + box.maxX) / 2;
    long long const offsetY = startY - (box.minY + box.maxY) / 2;
    if (box.needleRecords > 0 && box.firstX + offsetX == startX && box.firstY + offsetY == startY)
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
