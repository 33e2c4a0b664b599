// Toyota 10o reader. The file is a bare stream of 3-byte records: a command
// byte, then the y and x magnitudes, whose signs and the jump bit sit in the
// command byte. 10o carries no colours, so they run through the Tovenrik palette.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr unsigned long kRecordSize = 3;

constexpr uint8_t kTrim = 0x81;
constexpr uint8_t kStop = 0x82;
constexpr uint8_t kColourChange = 0x85;
constexpr uint8_t kEnd = 0x87;
constexpr uint8_t kSkipped = 0x8A;

constexpr uint8_t kJumpBit = 0b0001'0000;
constexpr uint8_t kNegativeXBit = 0b0010'0000;
constexpr uint8_t kNegativeYBit = 0b0100'0000;

// Magnitudes are whole bytes, so one step can exceed what a record holds; such
// a step is split into at most this many records.
constexpr int kMaxRecordsPerStep = 3;
constexpr int kMaxRecordStep = 127;

int StepX(uint8_t const* record)
{
    return (record[0] & kNegativeXBit) ? -record[2] : record[2];
}

int StepY(uint8_t const* record)
{
    return (record[0] & kNegativeYBit) ? -record[1] : record[1];
}

// Equal parts, jumps first, so the needle still goes down once at the end.
// False when the storage had no room for every part.
bool AppendStep(CStitches& stitches, uint8_t kind, int dx, int dy)
{
    int const parts = (std::max(std::abs(dx), std::abs(dy)) + kMaxRecordStep - 1) / kMaxRecordStep;
    bool stored = true;
    for (int i = 1; i < parts; ++i) {
        int const partX = dx * i / parts - dx * (i - 1) / parts;
        int const partY = dy * i / parts - dy * (i - 1) / parts;
        stored &= stitches.AppendStitch(CStitch{STITCH_JUMP, static_cast<int8_t>(partX), static_cast<int8_t>(partY)});
    }
    int const lastX = parts > 1 ? dx - dx * (parts - 1) / parts : dx;
    int const lastY = parts > 1 ? dy - dy * (parts - 1) / parts : dy;
    stored &= stitches.AppendStitch(CStitch{kind, static_cast<int8_t>(lastX), static_cast<int8_t>(lastY)});
    return stored;
}

} // namespace

int CStitches::ToyotaLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    unsigned long const records = stream.GetSize() / kRecordSize;
    if (records > static_cast<unsigned long>(kMaxStitchCount))
        return kStatusRefused;
    if (AllocStorage(static_cast<int>(records) * kMaxRecordsPerStep + 1) != kStatusOk)
        return kStatusRefused;
    SetCount(0);
    stream.SetPos(0);

    // The storage holds the most records a file of this size can give; a
    // record that still does not fit refuses the load rather than go missing.
    bool stored = true;
    int colours = 1;
    uint8_t record[kRecordSize];
    while (stream.Read(record, kRecordSize) == kRecordSize) {
        uint8_t const command = record[0];
        if (command == kEnd) {
            stored &= AppendStitch(CStitch{STITCH_END, 0, 0});
            break;
        }
        if (command == kTrim) {
            stored &= AppendStitch(CStitch{STITCH_TRIM, 0, 0});
        } else if (command == kStop) {
            stored &= AppendStitch(CStitch{STITCH_STOP, 0, 0});
        } else if (command == kColourChange) {
            stored &= AppendStitch(CStitch{STITCH_COLOUR, 0, 0});
            ++colours;
        } else if (command != kSkipped) {
            stored &= AppendStep(*this, (command & kJumpBit) ? STITCH_JUMP : STITCH_NORMAL, StepX(record),
                                 StepY(record));
        }
    }
    if (!stored)
        return kStatusRefused;

    SetNumberColours(colours);
    for (int i = 0; i < colours; ++i) {
        SetColour(i, GetTovenrikRGB(CycledTovenrikIndex(i)));
        SetManufacturer(i, m_defaultColourType);
    }
    SizeDesign();
    return kStatusOk;
}
