// Toyota 10o writer. A bare stream of 3-byte records: a command byte, then
// the y and x magnitudes, whose signs and the jump bit sit in the command
// byte; trims, stops, colour changes and the end have commands of their own.
// 10o holds no colours.
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>
#include <cstdlib>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr std::size_t kRecordSize = 3;

constexpr uint8_t kStitch = 0x80;
constexpr uint8_t kJumpBit = 0b0001'0000;
constexpr uint8_t kNegativeXBit = 0b0010'0000;
constexpr uint8_t kNegativeYBit = 0b0100'0000;
constexpr uint8_t kTrim = 0x81;
constexpr uint8_t kStop = 0x82;
constexpr uint8_t kColourChange = 0x85;
constexpr uint8_t kEnd = 0x87;

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
