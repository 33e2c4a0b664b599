// Tajima DST reader and writer. After a 512-byte header of text lines (label,
// counts, extents) that the reader does not need come 3-byte records whose
// bits each add a fixed weight (1, 3, 9, 27 or 81, either sign) to x or y: the
// balanced-ternary digits of the step. DST stores neither colours nor trims:
// on reading, colours run through the Tovenrik palette and trims are derived
// from runs of jumps; on writing, a colour change or a stop is the machine's
// colour-change command and a trim three jumps that come back to their start.
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace SF = Brodix::StitchFormats;

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

// Where the y digit of each weight sits: byte, bit for +1, bit for -1. The x
// digit of the same weight sits on the mirrored bits (7..4 become 0..3).
struct DigitBits {
    int byte;
    int plusBit;
    int minusBit;
};
constexpr int kDigits = 5;
constexpr int kWeights[kDigits] = {1, 3, 9, 27, 81};
constexpr DigitBits kYDigitBits[kDigits] = {{0, 7, 6}, {1, 7, 6}, {0, 5, 4}, {1, 5, 4}, {2, 5, 4}};
constexpr int kMirror = 7;

int DecodeX(uint8_t const* record)
{
    int x = 0;
    for (int d = 0; d < kDigits; ++d) {
        DigitBits const& at = kYDigitBits[d];
        x += Weighted(record[at.byte], kMirror - at.plusBit, kMirror - at.minusBit, kWeights[d]);
    }
    return x;
}

int DecodeY(uint8_t const* record)
{
    int y = 0;
    for (int d = 0; d < kDigits; ++d) {
        DigitBits const& at = kYDigitBits[d];
        y += Weighted(record[at.byte], at.plusBit, at.minusBit, kWeights[d]);
    }
    return y;
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
    int const x = DecodeX(record);
    int const y = DecodeY(record);
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

// ---- writing ----

namespace {

constexpr uint8_t kEndOfFile = 0x1A;
constexpr int kMaxStep = 121;   // 1 + 3 + 9 + 27 + 81

constexpr uint8_t kRecordBits = 0b0000'0011;   // set in b2 of every record
constexpr uint8_t kJumpBit = 0b1000'0000;
constexpr uint8_t kColourChange[kRecordSize] = {0x00, 0x00, 0xC3};
constexpr uint8_t kEnd[kRecordSize] = {0x00, 0x00, 0xF3};
// Machines start with a jump that goes nowhere.
constexpr uint8_t kStart[kRecordSize] = {0x00, 0x00, 0x83};
// A trim: three jumps netting nothing, long enough to count as a run.
constexpr int kTrimSteps[] = {3, -2, -1};

constexpr std::size_t kLabelLength = 8;
// The header's fields hold this many digits.
constexpr int kMaxExtent = 99'999;
// The reader counts the first colour and at most 98 changes; one more refuses the file.
constexpr int kMaxColourChanges = kMaxCountedColours - 1;

using RecordBytes = std::array<uint8_t, kRecordSize>;

// The y bits of every step -121..121.
constexpr std::array<RecordBytes, 2 * kMaxStep + 1> kYBits = [] {
    std::array<RecordBytes, 2 * kMaxStep + 1> table{};
    for (int v = -kMaxStep; v <= kMaxStep; ++v) {
        RecordBytes bits{};
        int rest = v;
        for (int d = kDigits - 1; d >= 0; --d) {
            int const w = kWeights[d];
            // The digit that leaves a rest the smaller weights can still make.
            int const digit = rest > w / 2 ? 1 : rest < -(w / 2) ? -1 : 0;
            rest -= digit * w;
            DigitBits const& at = kYDigitBits[d];
            if (digit != 0)
                bits[at.byte] |= static_cast<uint8_t>(1 << (digit > 0 ? at.plusBit : at.minusBit));
        }
        table[v + kMaxStep] = bits;
    }
    return table;
}();

// Mirrors the bits: the y digits' places become the x digits' places.
uint8_t ReverseByte(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = static_cast<uint8_t>(r << 1 | ((b >> i) & 1));
    return r;
}

void AppendRecord(std::vector<uint8_t>& out, int x, int y, bool jump)
{
    RecordBytes const& ys = kYBits[y + kMaxStep];
    RecordBytes const& xs = kYBits[x + kMaxStep];
    out.push_back(ys[0] | ReverseByte(xs[0]));
    out.push_back(ys[1] | ReverseByte(xs[1]));
    out.push_back(ys[2] | ReverseByte(xs[2]) | kRecordBits | (jump ? kJumpBit : 0));
}

void AppendBytes(std::vector<uint8_t>& out, uint8_t const (&record)[kRecordSize])
{
    out.insert(out.end(), record, record + kRecordSize);
}

bool FitsOneRecord(int dx, int dy)
{
    return std::abs(dx) <= kMaxStep && std::abs(dy) <= kMaxStep;
}

// What the records come to: the 3-byte records written and the colour-change
// commands among them.
struct TajimaCount {
    long long records = 2;   // the start and the end record
    int colourChanges = 0;
};

TajimaCount CountTajimaRecords(CStitches& stitches)
{
    TajimaCount count;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const s = *stitches.GetStitch(i);
        if (s.flags == STITCH_END)
            break;
        switch (s.flags) {
        case STITCH_NORMAL:
        case STITCH_JUMP: count.records += FitsOneRecord(s.dx, s.dy) ? 1 : 2; break;
        case STITCH_STOP:
        case STITCH_COLOUR:
            ++count.records;
            ++count.colourChanges;
            break;
        case STITCH_TRIM: count.records += std::size(kTrimSteps); break;
        default: break;
        }
    }
    return count;
}

} // namespace

int CStitches::TajimaSave(IArchiverRetriever& retriever, ISaveInformation* information, ICharEncoding* encoding)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;

    SizeDesign();
    Extent const box = GetExtent();
    if (box.maxX > kMaxExtent || box.maxY > kMaxExtent || box.minX < -kMaxExtent || box.minY < -kMaxExtent)
        return SF::kSaveStatusTooLarge;
    TajimaCount const count = CountTajimaRecords(*this);
    // The reader takes a file of at most this many 3-byte records.
    long long const fileSize = static_cast<long long>(kHeaderSize + kRecordSize * count.records + 1);
    if (fileSize / static_cast<long long>(kRecordSize) > kMaxStitchCount)
        return SF::kSaveStatusTooManyRecords;
    if (count.colourChanges > kMaxColourChanges || GetNumberColours() > kMaxColourChanges + 1)
        return SF::kSaveStatusTooManyColours;

    StitchWriting::MemoryStream image;
    SaveTajimaHeader(image, StitchWriting::MachineLabel(information, encoding, kLabelLength).c_str());
    PutTajimaData(image);
    return StitchWriting::WriteImage(*output, image.Content());
}

void CStitches::SaveTajimaHeader(IArchiverStream& stream, const char* label)
{
    char lines[kHeaderSize + 1];
    int const length = std::snprintf(lines, sizeof lines,
                                     "LA:%-16.8s\rST:%7d\rCO:%3d\r+X:%5d\r-X:%5lld\r+Y:%5d\r-Y:%5lld\r"
                                     "AX:+%5d\rAY:%6d\rMX:+%5d\rMY:+%5d\rPD:******\r",
                                     label, GetCount(), GetNumberColours(), m_extent.maxX,
                                     std::llabs(m_extent.minX), m_extent.maxY, std::llabs(m_extent.minY), 0, 0, 0, 0);
    std::vector<uint8_t> header(lines, lines + std::min<std::size_t>(static_cast<std::size_t>(length), kHeaderSize));
    header.push_back(kEndOfFile);
    header.resize(kHeaderSize, ' ');
    StitchWriting::WriteAll(stream, header);
}

void CStitches::PutTajimaData(IArchiverStream& stream)
{
    std::vector<uint8_t> data(std::begin(kStart), std::end(kStart));
    data.reserve(kRecordSize * (static_cast<std::size_t>(m_count) + 2) + 1);
    for (int i = 0; i < m_count && m_flags[i] != STITCH_END; ++i) {
        switch (m_flags[i]) {
        case STITCH_NORMAL: ConvertStitch(data, i, false); break;
        case STITCH_JUMP: ConvertStitch(data, i, true); break;
        case STITCH_STOP:
        case STITCH_COLOUR: AppendBytes(data, kColourChange); break;
        case STITCH_TRIM:
            for (int step : kTrimSteps)
                AppendRecord(data, step, 0, true);
            break;
        default: break;
        }
    }
    AppendBytes(data, kEnd);
    data.push_back(kEndOfFile);
    StitchWriting::WriteAll(stream, data);
}

// A step beyond what one record holds goes as two halves. The first half of
// a stitch is a jump, so the needle still goes down only at the end.
void CStitches::ConvertStitch(std::vector<uint8_t>& out, int index, bool jump)
{
    int const dx = m_dx[index];
    int const dy = m_dy[index];
    if (FitsOneRecord(dx, dy)) {
        AppendRecord(out, dx, dy, jump);
        return;
    }
    AppendRecord(out, dx / 2, dy / 2, true);
    AppendRecord(out, dx - dx / 2, dy - dy / 2, jump);
}
