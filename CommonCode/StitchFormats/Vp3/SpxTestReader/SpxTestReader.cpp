// A small SPX reader library of our own, for the tests and for anyone who
// wants to try the embedded-SPX path end to end without the suite's SPX
// reader (point the settings key "SpxRWDylibPath" at this library). It does
// not read real SPX data; it reads a tiny point format made up for this,
// with its integers big-endian like the VP3 file around it:
//
//   offset  size   field
//   0       4      magic "QSPX"
//   4       4      n, the number of point records (u32)
//   8       9 × n  the records: kind (u8), x (s32), y (s32)
//
// Kind 0 is a needle position (x, y) in VP3 units relative to the object's
// centre, y growing upwards; kind 1 a trim and kind 2 a stop, whose x and y
// are not used. A record of another kind, or fewer bytes than n records
// need, make the load fail.
//
// Four other magics read the same way and then misbehave, so that tests can
// show what the VP3 library does with a library that does: "QSPF" fails with
// its array made, "QSPN" succeeds without an array, "QSPH" succeeds with a
// count of 2^31 - 1 and "QSPM" with a count of -1.
#include "StitchFormats/Vp3/SpxRWStream.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

using Brodix::CommonTypes::PointI;
using Brodix::Spx::SpxRW_Stream;

namespace {

constexpr std::size_t kMagicSize = 4;
constexpr uint64_t kRecordSize = 9;
constexpr unsigned char kNeedle = 0;
constexpr unsigned char kTrim = 1;
constexpr unsigned char kStop = 2;

enum Result : int { kLoaded = 0, kBadStream = 1, kBadMagic = 2, kShortData = 3, kBadRecord = 4, kAskedToFail = 5 };

enum class Behaviour { Normal, Fail, NoArray, HugeCount, NegativeCount };

bool MagicIs(char const (&magic)[kMagicSize], char const* expected)
{
    return std::memcmp(magic, expected, kMagicSize) == 0;
}

bool ReadBytes(SpxRW_Stream* stream, void* buffer, unsigned int count)
{
    return stream->Read(stream->context, static_cast<unsigned char*>(buffer), count) == count;
}

uint32_t BigEndian32(unsigned char const* bytes)
{
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

} // namespace

extern "C" __attribute__((visibility("default"))) int LoadSpxInVp3(SpxRW_Stream* stream, PointI** points, int* count)
{
    if (stream == nullptr || points == nullptr || count == nullptr || stream->size < sizeof(SpxRW_Stream))
        return kBadStream;
    char magic[kMagicSize] = {};
    unsigned char countBytes[4] = {};
    if (!ReadBytes(stream, magic, kMagicSize) || !ReadBytes(stream, countBytes, sizeof countBytes))
        return kShortData;
    Behaviour behaviour = Behaviour::Normal;
    if (MagicIs(magic, "QSPF"))
        behaviour = Behaviour::Fail;
    else if (MagicIs(magic, "QSPN"))
        behaviour = Behaviour::NoArray;
    else if (MagicIs(magic, "QSPH"))
        behaviour = Behaviour::HugeCount;
    else if (MagicIs(magic, "QSPM"))
        behaviour = Behaviour::NegativeCount;
    else if (!MagicIs(magic, "QSPX"))
        return kBadMagic;

    uint32_t const n = BigEndian32(countBytes);
    unsigned int const size = stream->GetSize(stream->context);
    unsigned int const position = stream->Tell(stream->context);
    uint64_t const available = size > position ? size - position : 0;
    if (n > INT_MAX || n * kRecordSize > available)
        return kShortData;

    std::unique_ptr<PointI[]> read(n > 0 ? new PointI[n] : nullptr);
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char record[kRecordSize];
        if (!ReadBytes(stream, record, kRecordSize))
            return kShortData;
        switch (record[0]) {
        case kNeedle:
            read[i] = {static_cast<int32_t>(BigEndian32(record + 1)), static_cast<int32_t>(BigEndian32(record + 5))};
            break;
        case kTrim:
            read[i] = {Brodix::Spx::kTrimX, 0};
            break;
        case kStop:
            read[i] = {Brodix::Spx::kStopX, 0};
            break;
        default:
            return kBadRecord;
        }
    }
    *count = static_cast<int>(n);
    switch (behaviour) {
    case Behaviour::NoArray:
        return kLoaded;
    case Behaviour::HugeCount:
        *count = INT_MAX;
        break;
    case Behaviour::NegativeCount:
        *count = -1;
        break;
    default:
        break;
    }
    *points = read.release();
    return behaviour == Behaviour::Fail ? kAskedToFail : kLoaded;
}

// The export has the type the VP3 library calls it through.
static_assert(std::is_same_v<decltype(&LoadSpxInVp3), Brodix::Spx::LoadSpxInVp3Function>);
