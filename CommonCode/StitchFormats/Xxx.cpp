// XXX reader. After a 256-byte header comes a stream of 2-byte steps mixed
// with escapes for jumps, trims, colour changes and long moves with 16-bit
// coordinates; a table of 20 colours may follow it. The stream is read twice:
// once to count the records, once to write them into storage of that size.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr unsigned long kLengthOffset = 252;
constexpr unsigned long kStitchStart = 256;
constexpr uint32_t kMaxLength = 5'000'000;

constexpr uint8_t kLongStitch = 0x7D;
constexpr uint8_t kLongJump = 0x7E;
constexpr uint8_t kCommand = 0x7F;
constexpr uint8_t kEndCode = 0x7F;
constexpr uint8_t kJumpCode = 0x01;
constexpr uint8_t kTrimCode = 0x03;
constexpr uint8_t kFirstColourCode = 8;
constexpr uint8_t kLastColourCode = 19;
constexpr uint8_t kExtraColourCode = 25;
constexpr int kExtraColourEntry = 12;

constexpr double kLongMoveStep = 80.0;
// Records a long move may take beyond its full steps, for the counting pass.
constexpr int kLongMoveSpare = 3;
constexpr int kSpareRecords = 500;
// The last record index the write pass may reach.
constexpr int kMaxWrittenIndex = 4'999'999;

constexpr unsigned long kColourTableGap = 4;
constexpr int kColourTableEntries = 20;
constexpr unsigned long kColourEntrySize = 4;

bool ReadByte(Brodix::IArchiverStream& stream, uint8_t& byte)
{
    return stream.Read(&byte, 1) == 1;
}

bool ReadInt16(Brodix::IArchiverStream& stream, int& value)
{
    uint8_t bytes[2];
    if (stream.Read(bytes, 2) != 2)
        return false;
    value = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

uint32_t LittleEndian32(uint8_t const* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool IsColourCode(uint8_t code)
{
    return (code >= kFirstColourCode && code <= kLastColourCode) || code == kExtraColourCode;
}

int ColourEntryOf(uint8_t code)
{
    return code == kExtraColourCode ? kExtraColourEntry : code - kFirstColourCode;
}

// Writes a record in the write pass and counts it in both. A record past the
// storage is not stored, and the count then refuses the load (xxxLoad).
void Put(CStitches* target, int& index, CStitch const& record)
{
    if (target != nullptr)
        static_cast<void>(target->PutStitch(index, record));
    ++index;
}

bool ReadLongMove(Brodix::IArchiverStream& stream, int& x, int& y)
{
    return ReadInt16(stream, x) && ReadInt16(stream, y);
}

void CountLongMove(int& index, int x, int y)
{
    index += static_cast<int>(std::hypot(x, y) / kLongMoveStep) + kLongMoveSpare;
}

} // namespace

bool Read7dData(CStitches* target, int& index, Brodix::IArchiverStream& stream)
{
    int x = 0;
    int y = 0;
    if (!ReadLongMove(stream, x, y))
        return false;
    if (target != nullptr)
        LongStitchPut(target, 0, 0, x, y, kLongMoveStep, index);
    else
        CountLongMove(index, x, y);
    return true;
}

bool Read7eData(CStitches* target, int& index, Brodix::IArchiverStream& stream)
{
    int x = 0;
    int y = 0;
    if (!ReadLongMove(stream, x, y))
        return false;
    if (target != nullptr)
        LongJumpStitchPut(target, 0, 0, x, y, kLongMoveStep, index);
    else
        CountLongMove(index, x, y);
    return true;
}

namespace {

// The move that follows a jump, trim or colour command: a long jump, after a
// colour also a long stitch, or a short jump that is dropped when it does not
// move. A colour change is written in front of its move, except that the
// short jump of code 8 comes first.
bool ReadCommandMove(Brodix::IArchiverStream& stream, CStitches* target, int& index, std::vector<int>& colourEntries,
                     uint8_t code)
{
    bool const isColour = IsColourCode(code);
    auto putColourChange = [&] {
        Put(target, index, CStitch{STITCH_COLOUR, 0, 0});
        if (target != nullptr)
            colourEntries.push_back(ColourEntryOf(code));
    };

    uint8_t d0 = 0;
    if (!ReadByte(stream, d0))
        return false;
    if (d0 == kLongJump || (isColour && d0 == kLongStitch)) {
        if (isColour)
            putColourChange();
        return d0 == kLongJump ? Read7eData(target, index, stream) : Read7dData(target, index, stream);
    }
    uint8_t d1 = 0;
    if (!ReadByte(stream, d1))
        return false;
    bool const jumpFirst = code == kFirstColourCode;
    if (isColour && !jumpFirst)
        putColourChange();
    if (d0 != 0 || d1 != 0)
        Put(target, index, CStitch{STITCH_JUMP, static_cast<int8_t>(d0), static_cast<int8_t>(d1)});
    if (isColour && jumpFirst)
        putColourChange();
    return true;
}

// Whether a stitch or jump is among the records written so far; checked
// carries the scan forward, so each record is looked at once.
bool HasMoved(CStitches& target, int index, int& checked, bool& moved)
{
    for (; !moved && checked < index; ++checked) {
        uint8_t const flags = target.GetStitch(checked)->flags;
        moved = flags == STITCH_NORMAL || flags == STITCH_JUMP;
    }
    return moved;
}

bool IsLast(CStitches* target, int index, uint8_t flags, bool zeroSteps)
{
    if (index < 1)
        return false;
    CStitch const* last = target->GetStitch(index - 1);
    return last->flags == flags && (!zeroSteps || (last->dx == 0 && last->dy == 0));
}

} // namespace

void CStitches::ReadXXXStitches(IArchiverStream& stream, CStitches* target, int& index,
                                std::vector<int>& colourEntries)
{
    uint8_t pair[2];
    int checked = 0;
    bool moved = false;
    // A read past the end or of a last odd byte ends the stream.
    while (ValidateStitchCount(index)) {
        if (stream.Read(pair, 2) != 2)
            break;
        uint8_t const b0 = pair[0];
        uint8_t const b1 = pair[1];
        if (b0 == kLongStitch || b0 == kLongJump) {
            // The coordinates begin with the byte just read.
            stream.SetPos(stream.GetPos() - 1);
            bool const complete = b0 == kLongStitch ? Read7dData(target, index, stream)
                                                    : Read7eData(target, index, stream);
            if (!complete)
                break;
        } else if (b0 == kCommand) {
            if (b1 == kEndCode)
                break;
            if (b1 == kTrimCode)
                Put(target, index, CStitch{STITCH_TRIM, 0, 0});
            if ((b1 == kJumpCode || b1 == kTrimCode || IsColourCode(b1))
                && !ReadCommandMove(stream, target, index, colourEntries, b1))
                break;
        } else {
            // A stitch in place is a needle penetration where a long jump
            // lands; before the first move it only marks the start point.
            // The counting pass counts it either way.
            bool const inPlace = b0 == 0 && b1 == 0;
            if (!inPlace || target == nullptr || HasMoved(*target, index, checked, moved))
                Put(target, index, CStitch{STITCH_NORMAL, static_cast<int8_t>(b0), static_cast<int8_t>(b1)});
        }
    }

    if (target == nullptr)
        return;
    // Writers close the stream with a stitch in place, which sews nothing.
    if (IsLast(target, index, STITCH_NORMAL, true))
        --index;
    if (IsLast(target, index, STITCH_COLOUR, false)) {
        --index;
        if (colourEntries.size() > 1)
            colourEntries.pop_back();
    }
    Put(target, index, CStitch{STITCH_END, 0, 0});
}

// A run of colour changes starts one colour, the one the last of the run names.
void CStitches::RemoveExtraColours()
{
    std::vector<unsigned> colours{GetColour(0)};
    std::vector<int> colourTypes{GetManufacturer(0)};
    int nextColour = 1;
    int kept = 0;
    bool afterColourChange = false;
    for (int i = 0; i < m_count; ++i) {
        uint8_t const flags = m_flags[i];
        if (flags == STITCH_COLOUR) {
            unsigned const colour = GetColour(nextColour);
            int const colourType = GetManufacturer(nextColour);
            ++nextColour;
            if (afterColourChange) {
                colours.back() = colour;
                colourTypes.back() = colourType;
                continue;
            }
            colours.push_back(colour);
            colourTypes.push_back(colourType);
            afterColourChange = true;
        } else {
            afterColourChange = false;
        }
        // Records move down in place: kept never passes i.
        m_flags[kept] = flags;
        m_dx[kept] = m_dx[i];
        m_dy[kept] = m_dy[i];
        ++kept;
    }
    SetCount(kept);
    int const colourCount = static_cast<int>(colours.size());
    SetNumberColours(colourCount);
    for (int i = 0; i < colourCount; ++i) {
        SetColour(i, colours[i]);
        SetManufacturer(i, colourTypes[i]);
    }
}

int CStitches::xxxLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    unsigned long const size = stream.GetSize();
    uint8_t lengthBytes[4];
    stream.SetPos(kLengthOffset);
    // A file too short for its header holds no design.
    if (size < kStitchStart || stream.Read(lengthBytes, 4) != 4)
        return kStatusRefused;
    unsigned long length = LittleEndian32(lengthBytes);
    if (length == 0)
        length = size;
    if (length > kMaxLength)
        return kStatusRefused;

    std::vector<int> colourEntries{-1};   // the first colour, named by nothing
    int count = 0;
    stream.SetPos(kStitchStart);
    ReadXXXStitches(stream, nullptr, count, colourEntries);
    if (!ValidateStitchCount(count))
        return kStatusRefused;

    int const capacity = count + kSpareRecords;
    if (AllocStorage(capacity) != kStatusOk)
        return kStatusRefused;
    stream.SetPos(kStitchStart);
    int written = 0;
    ReadXXXStitches(stream, this, written, colourEntries);
    if (written >= capacity || written > kMaxWrittenIndex)
        return kStatusRefused;
    SetCount(written);

    // Colours follow the stitch stream when the file goes on: a gap, then the table.
    uint32_t table[kColourTableEntries] = {};
    bool hasTable = false;
    if (stream.GetPos() < size) {
        stream.SetPos(stream.GetPos() + kColourTableGap);
        uint8_t bytes[kColourTableEntries * kColourEntrySize];
        hasTable = stream.Read(bytes, sizeof bytes) == sizeof bytes;
        // Each entry is 0x00BBGGRR shifted up by one byte.
        for (int i = 0; hasTable && i < kColourTableEntries; ++i)
            table[i] = LittleEndian32(bytes + i * kColourEntrySize) >> 8;
    }

    int const colourCount = static_cast<int>(colourEntries.size());
    SetNumberColours(colourCount);
    int k = 0;
    for (int i = 0; i < colourCount; ++i) {
        int const entry = colourEntries[i];
        if (entry >= 1)
            k = entry - 1;
        else if (entry == 0)
            k = hasTable ? (k + 1) % kColourTableEntries : k + 1;
        SetColour(i, hasTable ? table[k] : GetTovenrikRGB(CycledTovenrikIndex(k)));
        SetManufacturer(i, m_defaultColourType);
    }

    RemoveExtraColours();
    SizeDesign();
    return kStatusOk;
}
