// Janome JEF reader. A small little-endian header names the stitch data offset
// and the colour count; the Janome colour codes sit just before the stitch
// data, which is the 2-byte stream that the SEW reader shares (Jef.h).
#include "StitchFormats/Jef.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cmath>
#include <vector>

using Brodix::IArchiverStream;
using Brodix::CommonTypes::PointI;

namespace {

constexpr unsigned long kStitchOffsetPos = 0;
constexpr unsigned long kColourCountPos = 24;
constexpr unsigned long kHeaderSize = 26;
constexpr int kColourEntrySize = 4;     // 32-bit entries, of which the low half is the code
constexpr int kColourListsPerColour = 2; // the codes, then a list the reader does not use

constexpr uint8_t kEscape = 0x80;
constexpr uint8_t kColourChange = 0x01;
constexpr uint8_t kJump = 0x02;
constexpr uint8_t kEnd = 0x10;

constexpr double kLeadingJumpStep = 80.0;
constexpr int kStorageSlack = 10;
constexpr int kMaxRecords = CStitches::kMaxStitchCount;

int16_t ReadInt16(uint8_t const* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

bool IsLeadingJump(uint8_t const* unit) { return unit[0] == kEscape && unit[1] == kJump; }

// A Janome code c stands for palette entry c - 1; absent entries are black.
unsigned RgbOfCode(int16_t code) { return GetExtendedSewRGB(code - 1); }

// Records that LongJumpStitchPut writes for a move of this size.
long LongMoveRecords(PointI move)
{
    double const length = std::hypot(static_cast<double>(move.x), static_cast<double>(move.y));
    return static_cast<long>(length / kLeadingJumpStep) + 1;
}

// Writes records while they fit; a record that does not fit is dropped and not counted.
class RecordWriter {
public:
    explicit RecordWriter(CStitches& stitches) : m_stitches(stitches) {}

    bool Put(uint8_t flags, int dx, int dy)
    {
        CStitch record{flags, static_cast<int8_t>(dx), static_cast<int8_t>(dy)};
        if (m_stitches.PutStitch(m_index, record) != 0)
            return false;
        ++m_index;
        m_lastFlags = flags;
        return true;
    }

    void PutLeadingMove(PointI move)
    {
        LongJumpStitchPut(&m_stitches, 0, 0, move.x, move.y, kLeadingJumpStep, m_index);
        m_index = std::min(m_index, m_stitches.GetCount());
        if (m_index > 0)
            m_lastFlags = STITCH_JUMP;
    }

    int Index() const { return m_index; }
    bool PreviousIsColour() const { return m_index > 0 && m_lastFlags == STITCH_COLOUR; }

private:
    CStitches& m_stitches;
    int m_index = 0;
    uint8_t m_lastFlags = 0;
};

} // namespace

void GetLengthFirstSewJump(IArchiverStream& stream, int& x, int& y)
{
    x = 0;
    y = 0;
    uint8_t unit[2];
    // The count cap keeps the sums within int; more jumps than records exist
    // fall through to the record loop.
    for (int jumps = 0; jumps < kMaxRecords; ++jumps) {
        if (stream.Read(unit, 2) < 2)
            return;
        if (!IsLeadingJump(unit)) {
            stream.SetPos(stream.GetPos() - 2);
            return;
        }
        uint8_t step[2];
        if (stream.Read(step, 2) < 2)
            return;
        x += static_cast<int8_t>(step[0]);
        y += static_cast<int8_t>(step[1]);
    }
}

int ReadJanomeStitchData(CStitches& stitches, IArchiverStream& stream, unsigned long dataStart, PointI firstMoveOffset,
                         std::span<int16_t const> codes)
{
    if (dataStart > stream.GetSize())
        return CStitches::kStatusRefused;
    stream.SetPos(dataStart);
    PointI jump;
    GetLengthFirstSewJump(stream, jump.x, jump.y);
    PointI const firstMove{jump.x + firstMoveOffset.x, jump.y + firstMoveOffset.y};

    // The leading move may need more records than the units it came from.
    long const estimate = static_cast<long>((stream.GetSize() - dataStart) / 2) + kStorageSlack
        + LongMoveRecords(firstMove);
    if (stitches.AllocStorage(static_cast<int>(std::min<long>(estimate, kMaxRecords + 2))) != CStitches::kStatusOk)
        return CStitches::kStatusRefused;

    RecordWriter out(stitches);
    out.PutLeadingMove(firstMove);

    std::size_t const lastCode = codes.size() - 1;
    std::size_t k = 0;
    std::vector<unsigned> colours{RgbOfCode(codes[0])};

    uint8_t unit[2];
    while (CStitches::ValidateStitchCount(out.Index()) && stream.Read(unit, 2) == 2) {
        if (unit[0] != kEscape) {
            out.Put(STITCH_NORMAL, static_cast<int8_t>(unit[0]), static_cast<int8_t>(unit[1]));
            continue;
        }
        if (unit[1] == kEnd)
            break;
        if (unit[1] == kJump) {
            uint8_t step[2];
            if (stream.Read(step, 2) < 2)
                break;
            out.Put(STITCH_JUMP, static_cast<int8_t>(step[0]), static_cast<int8_t>(step[1]));
        } else if (unit[1] == kColourChange) {
            // A change always consumes a code; a run of changes, or one before any
            // record, starts no colour. Changes past the declared codes reuse the last.
            k = std::min(k + 1, lastCode);
            if (out.Index() > 0 && !out.PreviousIsColour() && out.Put(STITCH_COLOUR, 0, 0)) {
                colours.push_back(RgbOfCode(codes[k]));
                if (!CStitches::ValidateNumCols(static_cast<int>(colours.size())))
                    return CStitches::kStatusRefused;
            }
        }
    }
    if (!CStitches::ValidateStitchCount(out.Index()))
        return CStitches::kStatusRefused;

    stitches.SetNumberColours(static_cast<int>(colours.size()));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        stitches.SetColour(static_cast<int>(i), colours[i]);
        stitches.SetManufacturer(static_cast<int>(i), stitches.GetDefaultColourType());
    }
    stitches.SetCount(out.Index());
    stitches.SizeDesign();
    return CStitches::kStatusOk;
}

int CStitches::JefLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return CStitches::kStatusRefused;

    uint8_t header[kHeaderSize];
    stream.SetPos(0);
    if (stream.Read(header, kHeaderSize) < kHeaderSize)
        return CStitches::kStatusRefused;
    long const dataStart = ReadInt16(header + kStitchOffsetPos);
    int const colourCount = ReadInt16(header + kColourCountPos);
    if (colourCount < 1)
        return CStitches::kStatusRefused;

    // The codes and the stitch data must lie inside the file.
    long const codesStart = dataStart - static_cast<long>(kColourListsPerColour) * kColourEntrySize * colourCount;
    long const size = static_cast<long>(stream.GetSize());
    if (codesStart < 0 || dataStart > size)
        return CStitches::kStatusRefused;

    std::vector<uint8_t> entries(static_cast<std::size_t>(kColourEntrySize) * colourCount);
    stream.SetPos(static_cast<unsigned long>(codesStart));
    if (stream.Read(entries.data(), entries.size()) < entries.size())
        return CStitches::kStatusRefused;
    std::vector<int16_t> codes(colourCount);
    for (int i = 0; i < colourCount; ++i)
        codes[i] = ReadInt16(entries.data() + kColourEntrySize * i);

    return ReadJanomeStitchData(*this, stream, static_cast<unsigned long>(dataStart), {0, 0}, codes);
}
