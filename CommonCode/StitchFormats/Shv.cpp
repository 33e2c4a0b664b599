// SHV and DHV readers. An SHV file is one design body: name, preview bitmap,
// colour entries with per-colour unit counts, then 2-byte stitch units. A DHV
// file places several such bodies, each with a quarter-turn direction, mirror,
// position and scale. Numbers are big-endian.
#include "StitchFormats/Shv.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

using Brodix::IArchiverStream;
using Brodix::CommonTypes::PointI;

namespace {

// Design body, relative to its start.
constexpr long kNameLengthPos = 86;
constexpr long kNamePos = 87;
// From the preview size on, relative to the byte after the name.
constexpr uint8_t kExtendedPreview = 0xFF;
constexpr long kPreviewHeaderSize = 6;
constexpr long kExtendedPreviewHeaderSize = 15;
constexpr long kExtendedWidthPos = 3;
constexpr long kExtendedHeightPos = 5;
// From the colour count on.
constexpr long kDataSizePos = 15;
constexpr long kColourEntriesPos = 19;

constexpr int kColourEntrySize = 14;
constexpr int kEntryUnitsPos = 0;
constexpr int kEntryCardIndexPos = 4;
constexpr int kEntryChartPos = 5;
constexpr int kEntryCodePos = 6;
constexpr int kEntryCodeSize = 4;
constexpr int kFirstChart = 1;
constexpr int kLastChart = 9;

constexpr int8_t kEscape = -128;
constexpr int8_t kStop = 0;
constexpr int8_t kLongJump = 1;
constexpr int kLongJumpUnits = 4;          // escape, dx, dy and an unused unit
constexpr unsigned long kLongJumpTail = 6;

// DHV file and design header.
constexpr long kDhvNameLengthPos = 86;
constexpr long kDhvDesignCountPos = 96;    // plus the name length
constexpr long kDhvAddressesPos = 97;      // plus the name length
constexpr long kDesignHeaderSize = 7;      // the body follows the header
constexpr uint8_t kMirrorBit = 0b100;
constexpr uint8_t kDirectionBits = 0b011;
constexpr PointI kDirections[] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}};
constexpr double kScaleBias = 100.0;

constexpr int kRecordsBeforeSizes = 1000;  // the per-body slack of the storage estimate
constexpr int kMaxRecords = CStitches::kMaxStitchCount;
constexpr int kJumpSegment = 80;           // pixel-line points between jump records
constexpr double kStitchSplitStep = 80.0;
constexpr int kMinStorageGrowth = 1024;
constexpr double kMaxScaledCoordinate = 1e12;

// Tovenrik palette index of each card colour index.
constexpr std::array<uint8_t, 44> kCardColourToTovenrik = {
    0,  1,  2,  3, 4, 5, 6, 7,  8,  9,  10, 11, 12, 0,  0,  0,  0, 0, 0, 16, 18, 20,
    22, 0,  0,  24, 26, 28, 0, 0, 0, 0, 0,  13, 14, 15, 17, 19, 21, 0,  0,  23, 25, 27};

bool ReadAt(IArchiverStream& stream, int64_t position, void* buffer, unsigned long size)
{
    if (position < 0 || static_cast<uint64_t>(position) + size > stream.GetSize())
        return false;
    stream.SetPos(static_cast<unsigned long>(position));
    return stream.Read(buffer, size) == size;
}

int16_t BigInt16(uint8_t const* p) { return static_cast<int16_t>((p[0] << 8) | p[1]); }

uint32_t BigUInt32(uint8_t const* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Where the parts of a design body lie, all positions absolute.
struct BodyLayout {
    int64_t namePos = 0;
    int nameLength = 0;
    int colourCount = 0;
    uint32_t dataSize = 0;
    int64_t colourEntriesPos = 0;
    int64_t stitchDataPos = 0;
};

// Rows of two pixels share a byte, so the preview holds width * ceil(height / 2) bytes.
int64_t PreviewBytes(int64_t width, int64_t height) { return width * (height / 2 + height % 2); }

// False when the body header, colour entries included, does not fit in the stream.
bool ReadBodyLayout(IArchiverStream& stream, int64_t base, BodyLayout& body)
{
    uint8_t nameLength;
    if (!ReadAt(stream, base + kNameLengthPos, &nameLength, 1))
        return false;
    body.namePos = base + kNamePos;
    body.nameLength = nameLength;

    int64_t const afterName = body.namePos + nameLength;
    uint8_t preview[kExtendedHeightPos + 2];
    if (!ReadAt(stream, afterName, preview, 2))
        return false;
    int64_t headerSize = kPreviewHeaderSize + PreviewBytes(preview[0], preview[1]);
    if (preview[0] == kExtendedPreview && preview[1] == kExtendedPreview) {
        if (!ReadAt(stream, afterName, preview, sizeof preview))
            return false;
        int64_t const width = BigInt16(preview + kExtendedWidthPos);
        int64_t const height = BigInt16(preview + kExtendedHeightPos);
        if (width < 0 || height < 0)
            return false;
        headerSize = kExtendedPreviewHeaderSize + PreviewBytes(width, height);
    }

    int64_t const coloursPos = afterName + headerSize;
    uint8_t colourHead[kColourEntriesPos];
    if (!ReadAt(stream, coloursPos, colourHead, sizeof colourHead))
        return false;
    body.colourCount = colourHead[0];
    body.dataSize = BigUInt32(colourHead + kDataSizePos);
    body.colourEntriesPos = coloursPos + kColourEntriesPos;
    body.stitchDataPos = body.colourEntriesPos + int64_t{kColourEntrySize} * body.colourCount;
    return body.stitchDataPos <= static_cast<int64_t>(stream.GetSize());
}

// Grows the record storage so that `needed` records fit from index on,
// doubling so that a design grown record by record stays linear. False when
// the storage could not grow that far.
bool ReserveRecords(CStitches& stitches, int index, int64_t needed)
{
    int64_t const last = index + needed - 1;
    int64_t const capacity = stitches.GetCount();
    if (last < capacity)
        return true;
    int64_t const growth = std::max({capacity, last - capacity + 1, int64_t{kMinStorageGrowth}});
    CStitch const filler{STITCH_END, 0, 0};
    return stitches.PutStitchRealloc(static_cast<int>(last), filler, static_cast<unsigned>(growth))
           == CStitches::kStatusOk;
}

// Records LongStitchPut writes at most for a move.
int64_t SplitRecords(int64_t dx, int64_t dy)
{
    return static_cast<int64_t>(std::hypot(static_cast<double>(dx), static_cast<double>(dy)) / kStitchSplitStep) + 1;
}

int64_t JumpRecords(int64_t dx, int64_t dy)
{
    int64_t const major = std::max(std::llabs(dx), std::llabs(dy));
    return major > 0 ? (major - 1) / kJumpSegment + 1 : 1;
}

int Sign(int64_t value) { return (value > 0) - (value < 0); }

bool FitsRecord(int64_t step) { return step >= INT8_MIN && step <= INT8_MAX; }

// The body's placement: file units turned by the direction, mirrored, scaled.
struct Placement {
    bool mirror;
    int dirX;
    int dirY;
    double scaleX;
    double scaleY;

    int64_t Scale(int64_t value, double scale) const
    {
        double const scaled = static_cast<double>(value) * scale;
        if (std::isnan(scaled))
            return 0;
        return static_cast<int64_t>(std::clamp(scaled, -kMaxScaledCoordinate, kMaxScaledCoordinate));
    }

    std::pair<int64_t, int64_t> Place(int64_t u, int64_t v) const
    {
        int64_t x = u * dirY - v * dirX;
        int64_t y = u * dirX + v * dirY;
        if (mirror) {
            if (dirY == 0)
                y = -y;
            else
                x = -x;
        }
        return {Scale(x, scaleX), Scale(y, scaleY)};
    }
};

// Writes one body's records, keeping the container's record limit.
class BodyWriter {
public:
    BodyWriter(CStitches& stitches, int& index) : m_stitches(stitches), m_index(index) {}

    bool Put(uint8_t flags, int dx, int dy)
    {
        if (!Budget(1))
            return false;
        CStitch record{flags, static_cast<int8_t>(dx), static_cast<int8_t>(dy)};
        if (m_stitches.PutStitch(m_index, record) != CStitches::kStatusOk)
            return false;
        ++m_index;
        return true;
    }

    // A step too long for one record is split, never wrapped.
    bool Stitch(int64_t dx, int64_t dy)
    {
        if (FitsRecord(dx) && FitsRecord(dy))
            return Put(STITCH_NORMAL, static_cast<int>(dx), static_cast<int>(dy));
        if (!Budget(SplitRecords(dx, dy)))
            return false;
        LongStitchPut(&m_stitches, 0, 0, static_cast<int>(dx), static_cast<int>(dy), kStitchSplitStep, m_index);
        return true;
    }

    bool Jump(int64_t dx, int64_t dy)
    {
        if (!Budget(JumpRecords(dx, dy)))
            return false;
        return m_stitches.ConvertToJumpStitch(static_cast<int>(dx), static_cast<int>(dy), m_index);
    }

private:
    bool Budget(int64_t records)
    {
        if (m_index + records > kMaxRecords)
            return false;
        return ReserveRecords(m_stitches, m_index, records);
    }

    CStitches& m_stitches;
    int& m_index;
};

struct ColourEntry {
    uint32_t units;
    unsigned rgb;
    int colourType;
};

ColourEntry DecodeColourEntry(CStitches& stitches, uint8_t const* entry)
{
    int const chart = entry[kEntryChartPos];
    ColourEntry out{BigUInt32(entry + kEntryUnitsPos), 0, stitches.GetDefaultColourType()};
    if (chart >= kFirstChart && chart <= kLastChart) {
        out.colourType = chart - kFirstChart;
        out.rgb = stitches.GetOldColourRGB(out.colourType, Shv::BcdToNumber(entry + kEntryCodePos, kEntryCodeSize));
    } else {
        std::size_t const card = entry[kEntryCardIndexPos];
        int const tovenrik = card < kCardColourToTovenrik.size() ? kCardColourToTovenrik[card] : 0;
        out.rgb = stitches.GetRGBFromTovenrikIndex(tovenrik);
    }
    return out;
}

// Decodes the stitch units of one body: every position is placed, then written
// as the step from the last placed position.
class BodyDecoder {
public:
    BodyDecoder(IArchiverStream& stream, BodyWriter& out, Placement const& placement)
        : m_stream(stream), m_out(out), m_placement(placement)
    {
    }

    // False when the design goes beyond the container's limits. Data that ends
    // early ends the stitches; later colours then stay empty.
    bool ReadColour(uint32_t units)
    {
        for (int64_t remaining = units; remaining > 0 && !m_atEnd;) {
            int8_t unit[2];
            if (m_stream.Read(unit, 2) < 2) {
                m_atEnd = true;
            } else if (unit[0] != kEscape) {
                if (!Stitch(unit[0], unit[1]))
                    return false;
                --remaining;
            } else if (unit[1] == kLongJump) {
                if (!LongJump())
                    return false;
                remaining -= kLongJumpUnits;
            } else {
                if (unit[1] == kStop && !m_out.Put(STITCH_STOP, 0, 0))
                    return false;
                --remaining;   // other escapes mean nothing
            }
        }
        return true;
    }

    int64_t LastX() const { return m_x; }
    int64_t LastY() const { return m_y; }

private:
    bool Stitch(int du, int dv)
    {
        auto const [x, y] = Advance(du, dv);
        // Records count y upwards.
        return m_out.Stitch(x - m_x, m_y - y) && Arrive(x, y);
    }

    bool LongJump()
    {
        uint8_t tail[kLongJumpTail];
        if (m_stream.Read(tail, kLongJumpTail) < kLongJumpTail) {
            m_atEnd = true;
            return true;
        }
        auto const [x, y] = Advance(BigInt16(tail), BigInt16(tail + 2));
        return m_out.Jump(x - m_x, y - m_y) && Arrive(x, y);
    }

    // Positions are placed from the unplaced sums, so scaling does not accumulate rounding.
    std::pair<int64_t, int64_t> Advance(int du, int dv)
    {
        m_u += du;
        m_v += dv;
        return m_placement.Place(m_u, m_v);
    }

    bool Arrive(int64_t x, int64_t y)
    {
        m_x = x;
        m_y = y;
        return true;
    }

    IArchiverStream& m_stream;
    BodyWriter& m_out;
    Placement const& m_placement;
    int64_t m_u = 0, m_v = 0;   // unplaced position, file units
    int64_t m_x = 0, m_y = 0;   // last placed position
    bool m_atEnd = false;
};

} // namespace

namespace Shv {

int sign(int value) { return (value > 0) - (value < 0); }

void GetPixelsInLine(int x0, int y0, int x1, int y1, PointI* points, int& count)
{
    int64_t const dx = int64_t{x1} - x0;
    int64_t const dy = int64_t{y1} - y0;
    bool const xMajor = std::llabs(dx) >= std::llabs(dy);
    int64_t const major = xMajor ? std::llabs(dx) : std::llabs(dy);
    int64_t const minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    int const stepX = Sign(dx);
    int const stepY = Sign(dy);

    int64_t x = x0;
    int64_t y = y0;
    int64_t error = 0;
    for (int64_t i = 0; i <= major; ++i) {
        error += minor;
        if (error >= major) {
            (xMajor ? y : x) += xMajor ? stepY : stepX;
            error -= major;
        }
        points[i] = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
        (xMajor ? x : y) += xMajor ? stepX : stepY;
    }
    count = static_cast<int>(major);
}

int BcdToNumber(unsigned char const* bcd, int n)
{
    int64_t number = 0;
    for (int i = 0; i < n; ++i) {
        number = number * 100 + (bcd[i] >> 4) * 10 + (bcd[i] & 0x0F);
        if (number > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int>(number);
}

void NumberToBcd(int number, unsigned char* bcd, int n)
{
    unsigned value = number > 0 ? static_cast<unsigned>(number) : 0;
    for (int i = n - 1; i >= 0; --i) {
        unsigned const pair = value % 100;
        bcd[i] = static_cast<unsigned char>(((pair / 10) << 4) | (pair % 10));
        value /= 100;
    }
}

bool IsBodyHeaderComplete(IArchiverStream& stream, long base)
{
    BodyLayout body;
    return ReadBodyLayout(stream, base, body);
}

void GetSizes(IArchiverStream& stream, long base, int& stitches, int& colours)
{
    BodyLayout body;
    if (!ReadBodyLayout(stream, base, body))
        return;
    // The declared size is not trusted beyond what the stream holds.
    int64_t const available = static_cast<int64_t>(stream.GetSize()) - body.stitchDataPos;
    int64_t const records = std::min<int64_t>(body.dataSize, available) + kRecordsBeforeSizes;
    stitches = static_cast<int>(std::min<int64_t>(stitches + records, INT32_MAX));
    colours += body.colourCount;
}

int GetDesignAddresses(IArchiverStream& stream, int* addresses)
{
    uint8_t nameLength;
    uint8_t designCount;
    if (!ReadAt(stream, kDhvNameLengthPos, &nameLength, 1)
        || !ReadAt(stream, kDhvDesignCountPos + nameLength, &designCount, 1))
        return -1;
    std::vector<uint8_t> table(std::size_t{4} * designCount);
    if (!ReadAt(stream, kDhvAddressesPos + nameLength, table.data(), table.size()))
        return -1;
    if (addresses)
        for (int i = 0; i < designCount; ++i)
            addresses[i] = static_cast<int>(BigUInt32(table.data() + 4 * i));
    return designCount;
}

void ReadDesignHeader(IArchiverStream& stream, long address, bool& mirror, int& dirX, int& dirY, int& x, int& y,
                      double& scaleX, double& scaleY)
{
    uint8_t header[kDesignHeaderSize] = {};
    ReadAt(stream, address, header, sizeof header);
    mirror = (header[0] & kMirrorBit) != 0;
    PointI const direction = kDirections[header[0] & kDirectionBits];
    dirX = direction.x;
    dirY = direction.y;
    x = BigInt16(header + 1);
    y = BigInt16(header + 3);
    scaleX = (static_cast<int8_t>(header[5]) + kScaleBias) / kScaleBias;
    scaleY = (static_cast<int8_t>(header[6]) + kScaleBias) / kScaleBias;
}

} // namespace Shv

bool CStitches::ConvertToJumpStitch(int dx, int dy, int& index)
{
    // The move follows the pixel line to (dx, -dy); every 80th point ends a jump.
    int64_t const endX = dx;
    int64_t const endY = -int64_t{dy};
    bool const xMajor = std::llabs(endX) >= std::llabs(endY);
    int64_t const major = xMajor ? std::llabs(endX) : std::llabs(endY);
    int64_t const minor = xMajor ? std::llabs(endY) : std::llabs(endX);
    int const majorSign = Sign(xMajor ? endX : endY);
    int const minorSign = Sign(xMajor ? endY : endX);
    int64_t const segments = major > 0 ? (major - 1) / kJumpSegment : 0;
    if (!ReserveRecords(*this, index, segments + 1))
        return false;

    int64_t previousX = 0;
    int64_t previousY = 0;
    for (int64_t j = 1; j <= segments; ++j) {
        // Point i of the line: the minor coordinate has stepped floor((i + 1) * minor / major) times.
        int64_t const i = j * kJumpSegment;
        int64_t const along = i * majorSign;
        int64_t const across = (i + 1) * minor / major * minorSign;
        int64_t const pointX = xMajor ? along : across;
        int64_t const pointY = xMajor ? across : along;
        CStitch jump{STITCH_JUMP, static_cast<int8_t>(pointX - previousX), static_cast<int8_t>(pointY - previousY)};
        if (PutStitch(index, jump) != kStatusOk)
            return false;
        ++index;
        previousX = pointX;
        previousY = pointY;
    }
    CStitch last{STITCH_NORMAL, static_cast<int8_t>(endX - previousX), static_cast<int8_t>(endY - previousY)};
    if (PutStitch(index, last) != kStatusOk)
        return false;
    ++index;
    return true;
}

int CStitches::ReadShvFile(IArchiverStream& stream, long base, int& index, int& colour, int& x, int& y,
                           std::wstring* name, bool mirror, int dirX, int dirY, double scaleX, double scaleY)
{
    BodyLayout body;
    if (!ReadBodyLayout(stream, base, body))
        return kStatusRefused;

    if (name) {
        std::vector<uint8_t> bytes(body.nameLength);
        ReadAt(stream, body.namePos, bytes.data(), bytes.size());
        name->assign(bytes.begin(), bytes.end());
    }

    std::vector<uint8_t> entries(std::size_t{kColourEntrySize} * body.colourCount);
    ReadAt(stream, body.colourEntriesPos, entries.data(), entries.size());
    std::vector<uint32_t> units(body.colourCount);
    for (int i = 0; i < body.colourCount; ++i) {
        ColourEntry const entry = DecodeColourEntry(*this, entries.data() + kColourEntrySize * i);
        units[i] = entry.units;
        SetColour(colour + i, entry.rgb);
        SetManufacturer(colour + i, entry.colourType);
    }

    BodyWriter out(*this, index);
    if (body.colourCount > 0) {
        if (dirY == 0)
            std::swap(scaleX, scaleY);
        Placement const placement{mirror, dirX, dirY, scaleX, scaleY};
        BodyDecoder decoder(stream, out, placement);
        stream.SetPos(static_cast<unsigned long>(body.stitchDataPos));
        for (int i = 0; i < body.colourCount; ++i) {
            if (colour + i > 0 && !out.Put(STITCH_COLOUR, 0, 0))
                return kStatusRefused;
            if (i == 0 && !out.Jump(x, y))
                return kStatusRefused;
            if (!decoder.ReadColour(units[i]))
                return kStatusRefused;
        }
        x = static_cast<int>(decoder.LastX());
        y = static_cast<int>(decoder.LastY());
    }

    if (!out.Put(STITCH_END, 0, 0))
        return kStatusRefused;
    colour += body.colourCount;
    return kStatusOk;
}

int CStitches::ShvLoad(IArchiverStream& stream, std::wstring* name)
{
    if (IsCanFileData(stream) || !Shv::IsBodyHeaderComplete(stream, 0))
        return kStatusRefused;
    int stitches = 0;
    int colours = 0;
    Shv::GetSizes(stream, 0, stitches, colours);
    if (AllocStorage(std::min(stitches, kMaxRecords)) != kStatusOk)
        return kStatusRefused;
    SetNumberColours(colours);

    int index = 0, colour = 0, x = 0, y = 0;
    if (ReadShvFile(stream, 0, index, colour, x, y, name, false, 0, 1, 1.0, 1.0) != kStatusOk) {
        ClearStitches();
        return kStatusRefused;
    }
    SetCount(index);
    SizeDesign();
    return kStatusOk;
}

int CStitches::DhvLoad(IArchiverStream& stream, std::wstring* name)
{
    if (IsCanFileData(stream))
        return kStatusRefused;
    int const designCount = Shv::GetDesignAddresses(stream, nullptr);
    if (designCount < 0)
        return kStatusRefused;
    if (designCount == 0)
        return kStatusOk;
    std::vector<int> addresses(designCount);
    Shv::GetDesignAddresses(stream, addresses.data());

    // Every design must lie inside the file before anything is stored.
    int stitches = 0;
    int colours = 0;
    for (int const address : addresses) {
        if (address < 0 || !Shv::IsBodyHeaderComplete(stream, address + kDesignHeaderSize))
            return kStatusRefused;
        Shv::GetSizes(stream, address + kDesignHeaderSize, stitches, colours);
    }
    if (!ValidateNumCols(colours))
        return kStatusRefused;
    if (AllocStorage(std::min(stitches, kMaxRecords)) != kStatusOk)
        return kStatusRefused;
    SetNumberColours(colours);

    int index = 0, colour = 0;
    int64_t previousX = 0, previousY = 0;   // where the previous design ended
    for (int const address : addresses) {
        bool mirror;
        int dirX, dirY, positionX, positionY;
        double scaleX, scaleY;
        Shv::ReadDesignHeader(stream, address, mirror, dirX, dirY, positionX, positionY, scaleX, scaleY);
        int64_t const moveX = positionX - previousX;
        int64_t const moveY = positionY - previousY;
        if (std::llabs(moveX) > int64_t{kMaxRecords} * kJumpSegment || std::llabs(moveY) > int64_t{kMaxRecords} * kJumpSegment) {
            ClearStitches();
            return kStatusRefused;
        }
        int endX = static_cast<int>(moveX);
        int endY = static_cast<int>(moveY);
        if (ReadShvFile(stream, address + kDesignHeaderSize, index, colour, endX, endY, name, mirror, dirX, dirY,
                        scaleX, scaleY) != 0) {
            ClearStitches();
            return kStatusRefused;
        }
        previousX = int64_t{positionX} + endX;
        previousY = int64_t{positionY} + endY;
    }
    SetCount(index);
    SizeDesign();
    return kStatusOk;
}
