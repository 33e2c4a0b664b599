// Tajima DST writer. A 512-byte header of text lines (label, counts, extents),
// then 3-byte records whose bits carry each step as balanced-ternary digits,
// and an end record. DST holds neither colours nor trims: a colour change or a
// stop is the machine's colour-change command, and a trim is three jumps that
// come back to where they started, which the reader turns into a trim again.
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace SF = Brodix::StitchFormats;

namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kRecordSize = 3;
constexpr uint8_t kEndOfFile = 0x1A;

constexpr int kMaxStep = 121;   // 1 + 3 + 9 + 27 + 81
constexpr int kDigits = 5;
constexpr int kWeights[kDigits] = {1, 3, 9, 27, 81};

// Where the y digit of each weight sits: byte, bit for +1, bit for -1. The x
// digit of the same weight sits on the mirrored bits (7..4 become 0..3).
struct DigitBits {
    int byte;
    int plusBit;
    int minusBit;
};
constexpr DigitBits kYDigitBits[kDigits] = {{0, 7, 6}, {1, 7, 6}, {0, 5, 4}, {1, 5, 4}, {2, 5, 4}};

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
// The reader counts at most 99 colours; a 100th refuses the file.
constexpr int kMaxColourChanges = 98;

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

// The label in the formats' code page, cut to its field; control characters
// would break the header's lines, so they become spaces.
std::string TajimaLabel(SF::ISaveInformation* information, SF::ICharEncoding* encoding)
{
    if (information == nullptr)
        return {};
    std::wstring const name = information->GetTextValue(L"Filename");
    std::string label;
    if (encoding != nullptr) {
        label = encoding->ConvertToChars(name.substr(0, kLabelLength));
    } else {
        for (wchar_t c : name.substr(0, kLabelLength))
            label.push_back(c >= 0 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    label.resize(std::min(label.size(), kLabelLength));
    for (char& c : label)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return label;
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
    SaveTajimaHeader(image, TajimaLabel(information, encoding).c_str());
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
