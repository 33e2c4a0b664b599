// Dravo PCS reader. A short header with the hoop and up to 16 colours, then
// 9-byte records of absolute fixed-point positions in the machine's unit, then
// a notes text. Moves are split into records by the building array, and trims
// are derived from the jump runs that long moves leave.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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
    return static_cast<int>(std::trunc(fixedPoint * kUnitsPerDesignUnit * kFractionScale + 0.5));
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
    while (remaining > 0 && ValidateStitchCount(records.GetCount())
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
    if (AllocStorage(records.GetCount()) != kStatusOk)
        return kStatusRefused;
    SetCount(0);
    for (int i = 0; i < records.GetCount(); ++i)
        if (!AppendStitch(records[i]))
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
