// Toyota 10o reader and writer. The file is a bare stream of 3-byte records:
// a command byte, then the y and x magnitudes, whose signs and the jump bit sit
// in the command byte; trims, stops, colour changes and the end have commands
// of their own. 10o carries no colours, so they run through the Tovenrik palette.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr unsigned long kRecordSize = 3;

constexpr uint8_t kStitch = 0x80;   // or'ed with the jump and sign bits
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

// ---- writing ----

namespace {

// Calls record(b0, b1, b2) for the file record of s, if it has one: signs in
// the command, magnitudes (up to 128) in the bytes.
template <typename Record>
void EncodeRecord(CStitch const& s, Record&& record)
{
    auto step = [&](bool jump) {
        uint8_t command = kStitch | (jump ? kJumpBit : 0);
        if (s.dx < 0)
            command |= kNegativeXBit;
        if (s.dy < 0)
            command |= kNegativeYBit;
        record(command, static_cast<uint8_t>(std::abs(s.dy)), static_cast<uint8_t>(std::abs(s.dx)));
    };
    switch (s.flags) {
    case STITCH_NORMAL: step(false); break;
    case STITCH_JUMP: step(true); break;
    case STITCH_TRIM: record(kTrim, 0, 0); break;
    case STITCH_STOP: record(kStop, 0, 0); break;
    case STITCH_COLOUR: record(kColourChange, 0, 0); break;
    case STITCH_END: record(kEnd, 0, 0); break;
    default: break;
    }
}

} // namespace

int CStitches::ToyotaSave(IArchiverRetriever& retriever)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;

    // Nothing after the end record belongs to the design.
    int end = 0;
    while (end < m_count && m_flags[end] != STITCH_END)
        ++end;
    if (end < m_count)
        ++end;
    long long records = 0;
    for (int i = 0; i < end; ++i)
        EncodeRecord(*GetStitch(i), [&](uint8_t, uint8_t, uint8_t) { ++records; });
    // The reader takes a file of at most this many records.
    if (records > kMaxStitchCount)
        return SF::kSaveStatusTooManyRecords;

    std::vector<uint8_t> image;
    image.reserve(static_cast<std::size_t>(records) * kRecordSize);
    for (int i = 0; i < end; ++i)
        EncodeRecord(*GetStitch(i), [&](uint8_t b0, uint8_t b1, uint8_t b2) { image.insert(image.end(), {b0, b1, b2}); });
    return StitchWriting::WriteImage(*output, image);
}
