// Tajima DST reader. After a 512-byte header that carries nothing the reader
// needs come 3-byte records whose bits each add a fixed weight (1, 3, 9, 27 or
// 81, either sign) to x or y. DST stores neither colours nor trims: colours run
// through the Tovenrik palette and trims are derived from runs of jumps.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>

namespace {

constexpr unsigned long kHeaderSize = 512;
constexpr unsigned long kRecordSize = 3;
constexpr int kSpareRecords = 1000;
constexpr unsigned long kRecordsPerBlock = 4096;

constexpr uint8_t kNotStitchBit = 0b1000'0000;   // in b2: jump, colour change or end
constexpr uint8_t kEndMask = 0b1111'0000;
constexpr uint8_t kColourChangeMask = 0b1100'0000;

// The colour table stops counting at 99.
constexpr int kMaxCountedColours = 99;

constexpr int kTrimJumpRun = 3;   // a run of three jumps after a stitch means a trim

enum class RecordKind { Stitch, Jump, ColourChange, End };

RecordKind KindOf(uint8_t b2)
{
    if ((b2 & kNotStitchBit) == 0)
        return RecordKind::Stitch;
    if ((b2 & kEndMask) == kEndMask)
        return RecordKind::End;
    if ((b2 & kColourChangeMask) == kColourChangeMask)
        return RecordKind::ColourChange;
    return RecordKind::Jump;
}

bool Bit(uint8_t byte, int bit)
{
    return (byte >> bit) & 1;
}

// Sum of the weights of a pair of bits: the first adds, the second subtracts.
int Weighted(uint8_t byte, int plusBit, int minusBit, int weight)
{
    return (Bit(byte, plusBit) ? weight : 0) - (Bit(byte, minusBit) ? weight : 0);
}

int DecodeX(uint8_t b0, uint8_t b1, uint8_t b2)
{
    return Weighted(b0, 0, 1, 1) + Weighted(b0, 2, 3, 9) + Weighted(b1, 0, 1, 3) + Weighted(b1, 2, 3, 27)
           + Weighted(b2, 2, 3, 81);
}

int DecodeY(uint8_t b0, uint8_t b1, uint8_t b2)
{
    return Weighted(b0, 7, 6, 1) + Weighted(b0, 5, 4, 9) + Weighted(b1, 7, 6, 3) + Weighted(b1, 5, 4, 27)
           + Weighted(b2, 5, 4, 81);
}

} // namespace

int CStitches::TajimaLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    unsigned long const records = stream.GetSize() / kRecordSize;
    if (records > static_cast<unsigned long>(kMaxStitchCount))
        return kStatusRefused;
    if (AllocStorage(static_cast<int>(records) + kSpareRecords) != kStatusOk)
        return kStatusRefused;
    GetTajimaData(stream);
    InsertTrim();
    SizeDesign();
    return kStatusOk;
}

// Stores one record; false at the end record or when the storage is full.
bool CStitches::ReadTajimaRecord(uint8_t const* record, int& colours, int* palette, int& lastColourChange)
{
    RecordKind const kind = KindOf(record[2]);
    if (kind == RecordKind::End)
        return false;
    if (kind == RecordKind::ColourChange) {
        // A change right after another one (or as the second record) changes nothing.
        if (lastColourChange == GetCount() - 1)
            return true;
        if (!AppendStitch(CStitch{STITCH_COLOUR, 0, 0}))
            return false;
        if (colours < kMaxCountedColours) {
            palette[colours] = CycledTovenrikIndex(colours);
            ++colours;
        }
        lastColourChange = GetCount() - 1;
        return true;
    }
    int const x = DecodeX(record[0], record[1], record[2]);
    int const y = DecodeY(record[0], record[1], record[2]);
    // A jump that goes nowhere is nothing, but a stitch in place is a needle
    // penetration: writers put one where a run of jumps lands. Before the
    // first move it only marks the start point; kept, it would start the
    // first colour there, away from where the design begins. Nothing has
    // moved while at most a colour change is stored (a second one there is
    // dropped above).
    bool const nothingMoved = GetCount() == 0 || (GetCount() == 1 && GetStitch(0)->flags == STITCH_COLOUR);
    if (x == 0 && y == 0 && (kind == RecordKind::Jump || nothingMoved))
        return true;
    uint8_t const flags = kind == RecordKind::Stitch ? STITCH_NORMAL : STITCH_JUMP;
    return AppendStitch(CStitch{flags, static_cast<int8_t>(x), static_cast<int8_t>(y)});
}

void CStitches::GetTajimaData(IArchiverStream& stream)
{
    int palette[kMaxCountedColours + 1] = {1};
    int colours = 1;
    int lastColourChange = 0;

    stream.SetPos(kHeaderSize);
    SetCount(0);
    // Records are read a block at a time; a tail of fewer than 3 bytes ends the data.
    unsigned char block[kRecordSize * kRecordsPerBlock];
    unsigned long got = 0;
    bool ended = false;
    while (!ended && (got = stream.Read(block, sizeof block)) >= kRecordSize) {
        for (unsigned long at = 0; at + kRecordSize <= got; at += kRecordSize) {
            if (!ReadTajimaRecord(block + at, colours, palette, lastColourChange)) {
                ended = true;
                break;
            }
        }
        if (got % kRecordSize != 0)
            break;
    }
    // Every file record gives at most one record, so the spare records always
    // hold the end marker; it carries no stitch.
    static_cast<void>(AppendStitch(CStitch{STITCH_END, 0, 0}));

    SetNumberColours(colours);
    for (int i = 0; i < colours; ++i) {
        SetColour(i, GetTovenrikRGB(palette[i]));
        SetManufacturer(i, m_defaultColourType);
    }
}

// Runs at the very start or right after a colour change are moves into place,
// not trims, so they get none.
void CStitches::InsertTrim()
{
    auto startsTrimRun = [this](int i) {
        int run = 0;
        for (; i < m_count && run < kTrimJumpRun && m_flags[i] == STITCH_JUMP; ++i) {
            if (m_dx[i] == 0 && m_dy[i] == 0)
                break;
            ++run;
        }
        return run >= kTrimJumpRun;
    };
    // Pass one counts, pass two writes; the rule is the same walk.
    auto walk = [&](auto&& emit) {
        bool afterBreak = true;
        for (int i = 0; i < m_count; ++i) {
            uint8_t const flags = m_flags[i];
            if (flags == STITCH_COLOUR) {
                afterBreak = true;
            } else if (flags == STITCH_JUMP) {
                if (!afterBreak && startsTrimRun(i)) {
                    emit(CStitch{STITCH_TRIM, 0, 0});
                    afterBreak = true;
                }
            } else {
                afterBreak = false;
            }
            emit(CStitch{flags, m_dx[i], m_dy[i]});
        }
    };

    std::size_t newCount = 0;
    walk([&](CStitch const&) { ++newCount; });
    if (newCount == static_cast<std::size_t>(m_count))
        return;

    auto flags = std::make_unique<uint8_t[]>(newCount);
    auto dx = std::make_unique<int8_t[]>(newCount);
    auto dy = std::make_unique<int8_t[]>(newCount);
    std::size_t written = 0;
    walk([&](CStitch const& s) {
        flags[written] = s.flags;
        dx[written] = s.dx;
        dy[written] = s.dy;
        ++written;
    });
    m_flags = std::move(flags);
    m_dx = std::move(dx);
    m_dy = std::move(dy);
    m_count = m_capacity = static_cast<int>(newCount);
}
