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
#include "StitchFormats/TrimRule.h"
#include <algorithm>
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

// What each value of each record byte adds to x and to y, so a record
// decodes with six look-ups.
struct StepTable {
    int8_t x[kRecordSize][256] = {};
    int8_t y[kRecordSize][256] = {};
};

constexpr StepTable kSteps = [] {
    StepTable table;
    for (int d = 0; d < kDigits; ++d) {
        DigitBits const& at = kYDigitBits[d];
        for (int v = 0; v < 256; ++v) {
            auto weighted = [&](int plusBit, int minusBit) {
                return ((v >> plusBit) & 1) * kWeights[d] - ((v >> minusBit) & 1) * kWeights[d];
            };
            int8_t& x = table.x[at.byte][v];
            int8_t& y = table.y[at.byte][v];
            x = static_cast<int8_t>(x + weighted(kMirror - at.plusBit, kMirror - at.minusBit));
            y = static_cast<int8_t>(y + weighted(at.plusBit, at.minusBit));
        }
    }
    return table;
}();

int DecodeX(uint8_t const* record)
{
    return kSteps.x[0][record[0]] + kSteps.x[1][record[1]] + kSteps.x[2][record[2]];
}

int DecodeY(uint8_t const* record)
{
    return kSteps.y[0][record[0]] + kSteps.y[1][record[1]] + kSteps.y[2][record[2]];
}

} // namespace

int CStitches::TajimaLoad(IArchiverStream& stream)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    unsigned long const records = stream.GetSize() / kRecordSize;
    if (records > static_cast<unsigned long>(kMaxStitchCount))
        return kStatusRefused;
    // Room for every file record, the trims derived from them (each needs a
    // stitch and three jumps of its own, so at most one per four records) and
    // the end marker. Only what is stored is ever touched.
    if (AllocStorageForAppending(static_cast<int>(records + records / 4) + kSpareRecords) != kStatusOk)
        return kStatusRefused;
    GetTajimaData(stream);
    return kStatusOk;
}

// Decodes, derives the trims and boxes the design in one walk over the records.
void CStitches::GetTajimaData(IArchiverStream& stream)
{
    int palette[kMaxCountedColours + 1] = {1};
    int colours = 1;

    uint8_t* const flags = m_flags.get();
    int8_t* const dxs = m_dx.get();
    int8_t* const dys = m_dy.get();
    int const capacity = m_capacity;
    int count = 0;
    // Records of the file kept so far, trims not counted, and the last colour
    // change among them: a change right after another one (or as the second
    // record) changes nothing.
    int decoded = 0;
    int lastColourChange = 0;
    bool firstIsColour = false;
    CTrimRule trims;
    long long x = 0, y = 0, minX = 0, minY = 0, maxX = 0, maxY = 0;

    // False when the storage is full, which ends the data.
    auto store = [&](uint8_t kind, int dx, int dy) {
        if (count >= capacity)
            return false;
        flags[count] = kind;
        dxs[count] = static_cast<int8_t>(dx);
        dys[count] = static_cast<int8_t>(dy);
        ++count;
        ++decoded;
        if (!trims.Feed(kind, static_cast<int8_t>(dx), static_cast<int8_t>(dy)))
            return true;
        if (count >= capacity)
            return false;
        CTrimRule::PlaceTrim(flags, dxs, dys, static_cast<std::size_t>(count));
        ++count;
        return true;
    };

    stream.SetPos(kHeaderSize);
    // Records are read a block at a time; a tail of fewer than 3 bytes ends the data.
    unsigned char block[kRecordSize * kRecordsPerBlock];
    unsigned long got = 0;
    bool ended = false;
    while (!ended && (got = stream.Read(block, sizeof block)) >= kRecordSize) {
        for (unsigned long at = 0; at + kRecordSize <= got && !ended; at += kRecordSize) {
            uint8_t const* record = block + at;
            RecordKind const kind = KindOf(record[2]);
            if (kind == RecordKind::End) {
                ended = true;
            } else if (kind == RecordKind::ColourChange) {
                if (lastColourChange == decoded - 1)
                    continue;
                if (!store(STITCH_COLOUR, 0, 0)) {
                    ended = true;
                    break;
                }
                firstIsColour |= decoded == 1;
                if (colours < kMaxCountedColours) {
                    palette[colours] = CycledTovenrikIndex(colours);
                    ++colours;
                }
                lastColourChange = decoded - 1;
            } else {
                int const dx = DecodeX(record);
                int const dy = DecodeY(record);
                // A jump that goes nowhere is nothing, but a stitch in place is
                // a needle penetration: writers put one where a run of jumps
                // lands. Before the first move it only marks the start point;
                // kept, it would start the first colour there, away from where
                // the design begins. Nothing has moved while at most a colour
                // change is stored (a second one there is dropped above).
                bool const nothingMoved = decoded == 0 || (decoded == 1 && firstIsColour);
                if (dx == 0 && dy == 0 && (kind == RecordKind::Jump || nothingMoved))
                    continue;
                if (!store(kind == RecordKind::Stitch ? STITCH_NORMAL : STITCH_JUMP, dx, dy)) {
                    ended = true;
                    break;
                }
                x += dx;
                y += dy;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
        if (got % kRecordSize != 0)
            break;
    }
    // Every file record gives at most one record, so the spare records always
    // hold the end marker; it carries no stitch.
    if (count < capacity) {
        flags[count] = STITCH_END;
        dxs[count] = 0;
        dys[count] = 0;
        ++count;
    }
    m_count = count;
    SetExtent(minX, minY, maxX, maxY);

    SetNumberColours(colours);
    for (int i = 0; i < colours; ++i) {
        SetColour(i, GetTovenrikRGB(palette[i]));
        SetManufacturer(i, m_defaultColourType);
    }
}

void CStitches::InsertTrim()
{
    CTrimRule counting;
    int trims = 0;
    for (int i = 0; i < m_count; ++i)
        trims += counting.Feed(m_flags[i], m_dx[i], m_dy[i]) ? 1 : 0;
    if (trims == 0)
        return;

    std::size_t const newCount = static_cast<std::size_t>(m_count) + static_cast<std::size_t>(trims);
    auto flags = std::make_unique<uint8_t[]>(newCount);
    auto dx = std::make_unique<int8_t[]>(newCount);
    auto dy = std::make_unique<int8_t[]>(newCount);
    CTrimRule placing;
    std::size_t written = 0;
    for (int i = 0; i < m_count; ++i) {
        flags[written] = m_flags[i];
        dx[written] = m_dx[i];
        dy[written] = m_dy[i];
        ++written;
        if (placing.Feed(m_flags[i], m_dx[i], m_dy[i]))
            CTrimRule::PlaceTrim(flags.get(), dx.get(), dy.get(), written++);
    }
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
