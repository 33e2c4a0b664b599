// Janome JEF reader and writer. A small little-endian header names the stitch
// data offset, the colour count, the hoop and the design's extents; the Janome
// colour codes sit just before the stitch data, which is the 2-byte stream
// that the SEW reader shares (Jef.h).
#include "StitchFormats/Jef.h"
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <string>
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

// ---- the writer ----

namespace {

namespace SF = Brodix::StitchFormats;

constexpr uint32_t kFixedHeaderSize = 116;
constexpr uint32_t kHeaderFlags = 0x14;
constexpr std::size_t kDateLength = 14;   // YYYYMMDDHHMMSS
constexpr uint32_t kThreadType = 0x0D;    // the second list: one entry per colour
// The reader takes the stitch data offset as a signed 16-bit value.
constexpr long kMaxStitchOffset = 0x7FFF;
constexpr int kMinStep = -127;   // -128 as an x step would read as the escape
constexpr int32_t kDoesNotFit = -1;

// Janome hoops, in tenths of a millimetre, and their header codes.
struct JanomeHoop {
    uint32_t code;
    int width;
    int height;
};
constexpr JanomeHoop kHoop110x110{0, 1100, 1100};
constexpr JanomeHoop kHoop50x50{1, 500, 500};
constexpr JanomeHoop kHoop140x200{2, 1400, 2000};
constexpr JanomeHoop kHoop126x110{3, 1260, 1100};
constexpr JanomeHoop kHoop200x200{4, 2000, 2000};
// From the smallest; a design larger than all takes the largest.
constexpr JanomeHoop kHoopsBySize[] = {kHoop50x50, kHoop110x110, kHoop126x110, kHoop140x200, kHoop200x200};
// The header's four hoop fields, in their order.
constexpr JanomeHoop kHoopFields[] = {kHoop110x110, kHoop50x50, kHoop140x200, kHoop140x200};

// How far the design reaches from the hoop centre, left, top, right and bottom (y up).
using Reach = std::array<long long, 4>;

bool FitsJanomeHoop(Reach const& reach, JanomeHoop const& hoop)
{
    return reach[0] <= hoop.width / 2 && reach[2] <= hoop.width / 2 && reach[1] <= hoop.height / 2
           && reach[3] <= hoop.height / 2;
}

JanomeHoop DesignFitJanomeHoop(Reach const& reach)
{
    for (JanomeHoop const& hoop : kHoopsBySize)
        if (FitsJanomeHoop(reach, hoop))
            return hoop;
    return kHoopsBySize[std::size(kHoopsBySize) - 1];
}

int32_t Clamped32(long long value)
{
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

// The design's reach, then the room it leaves in each hoop of the header.
void WriteJefExtentInfo(std::vector<uint8_t>& image, Reach const& reach)
{
    for (long long side : reach)
        ByteOrder::PutLe32(image, static_cast<uint32_t>(Clamped32(side)));
    for (JanomeHoop const& hoop : kHoopFields) {
        bool const fits = FitsJanomeHoop(reach, hoop);
        int const half[4] = {hoop.width / 2, hoop.height / 2, hoop.width / 2, hoop.height / 2};
        for (int k = 0; k < 4; ++k)
            ByteOrder::PutLe32(image, static_cast<uint32_t>(fits ? Clamped32(half[k] - reach[k]) : kDoesNotFit));
    }
}

std::string SaveDate()
{
    std::time_t const now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[kDateLength + 1] = {};
    if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts) != kDateLength)
        return std::string(kDateLength, '0');
    return text;
}

// True when a stitch of these bytes after data would complete the text our
// readers take for another product's data.
bool CompletesForeignMarker(std::vector<uint8_t> const& data, uint8_t dx, uint8_t dy)
{
    constexpr std::size_t kLookBack = 16;   // longer than the text
    std::size_t const kept = std::min(data.size(), kLookBack);
    std::string tail(data.end() - static_cast<std::ptrdiff_t>(kept), data.end());
    tail += static_cast<char>(dx);
    tail += static_cast<char>(dy);
    return CStitches::IsCanFileData(tail.data(), tail.size());
}

// The stitch data, which starts at dataOffset in the file: a stitch or a jump
// with an x step of -128 goes as two halves, the first a jump, so the needle
// still goes down only at the end. Trims have no code; the machine trims on
// the jumps. Where our readers look for another product's text, a stitch that
// would complete it goes after a jump of nothing.
std::vector<uint8_t> JanomeStitchData(std::vector<CStitch> const& records, std::size_t dataOffset, uint32_t& units)
{
    std::vector<uint8_t> data;
    data.reserve(records.size() * 2 + 2);
    auto jump = [&](int dx, int dy) {
        data.insert(data.end(), {kEscape, kJump, static_cast<uint8_t>(dx), static_cast<uint8_t>(dy)});
    };
    auto stitch = [&](int dx, int dy) {
        auto const x = static_cast<uint8_t>(dx), y = static_cast<uint8_t>(dy);
        if (dataOffset + data.size() < CStitches::kCanFileScanLength && CompletesForeignMarker(data, x, y))
            jump(0, 0);
        data.insert(data.end(), {x, y});
    };
    for (CStitch const& r : records) {
        switch (r.flags) {
        case STITCH_NORMAL:
        case STITCH_JUMP:
            if (r.dx < kMinStep) {
                jump(r.dx / 2, r.dy / 2);
                if (r.flags == STITCH_JUMP)
                    jump(r.dx - r.dx / 2, r.dy - r.dy / 2);
                else
                    stitch(r.dx - r.dx / 2, r.dy - r.dy / 2);
            } else if (r.flags == STITCH_JUMP) {
                jump(r.dx, r.dy);
            } else {
                stitch(r.dx, r.dy);
            }
            break;
        case STITCH_COLOUR: data.insert(data.end(), {kEscape, kColourChange}); break;
        default: break;
        }
    }
    data.insert(data.end(), {kEscape, kEnd});
    units = static_cast<uint32_t>(data.size() / 2);
    return data;
}

} // namespace

int CStitches::JefSave(IArchiverRetriever& retriever)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    StitchWriting::StoplessRecords const design = StitchWriting::MakeStopless(*this);
    long const colours = static_cast<long>(design.colours.size());
    long const stitchOffset = static_cast<long>(kFixedHeaderSize) + kColourListsPerColour * kColourEntrySize * colours;
    if (!ValidateNumCols(static_cast<int>(colours)) || stitchOffset > kMaxStitchOffset)
        return SF::kSaveStatusTooManyColours;
    uint32_t units = 0;
    std::vector<uint8_t> const data =
        JanomeStitchData(design.records, static_cast<std::size_t>(stitchOffset), units);

    std::vector<uint8_t> image;
    image.reserve(static_cast<std::size_t>(stitchOffset) + data.size());
    ByteOrder::PutLe32(image, static_cast<uint32_t>(stitchOffset));
    ByteOrder::PutLe32(image, kHeaderFlags);
    std::string const date = SaveDate();
    image.insert(image.end(), date.begin(), date.end());
    ByteOrder::PutLe16(image, 0);
    ByteOrder::PutLe32(image, static_cast<uint32_t>(colours));
    ByteOrder::PutLe32(image, units);
    SizeDesign();
    Extent const box = GetExtent();
    Reach const reach = {-static_cast<long long>(box.minX), box.maxY, box.maxX, -static_cast<long long>(box.minY)};
    ByteOrder::PutLe32(image, DesignFitJanomeHoop(reach).code);
    WriteJefExtentInfo(image, reach);
    // Janome codes count from 1: palette entry c is written c + 1.
    for (int colour : design.colours)
        ByteOrder::PutLe32(image, static_cast<uint32_t>(GetClosestSewToRGB(RgbDataFromRGB(GetColour(colour))) + 1));
    for (long k = 0; k < colours; ++k)
        ByteOrder::PutLe32(image, kThreadType);
    image.insert(image.end(), data.begin(), data.end());

    // Our reader's record count decides. It splits only the leading move, into
    // at most twice the units it came from, so a file of fewer units than half
    // the limit is taken anyway; a larger one is read back to know.
    if (units > static_cast<uint32_t>(kMaxRecords) / 2) {
        Brodix::Archivers::MemoryStreamRW<IArchiverStream> stream(image.data(), image.size());
        CStitches back(m_defaultColourType);
        if (back.JefLoad(stream) != kStatusOk)
            return SF::kSaveStatusTooManyRecords;
    }
    return StitchWriting::WriteImage(*output, image);
}
