// Stitch blocks: turning one colour block of a design into the VP3 stitch
// code and back. Deltas are in design units in the code; start and end are
// in VP3 units (hundredths, y up) relative to the design's centre.
#include "StitchFormats/Vp3/PatternStitch.h"

#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3Values.h"
#include "StitchFormats/Vp3/WriteSource.h"

#include <cstdio>
#include <cstdlib>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned char kEscape = 0x80;            // starts a two-byte command or a long stitch
constexpr unsigned char kCodeStop = 0x00;
constexpr unsigned char kCodeLongStitch = 0x01;    // 80 01 x x y y, closed by 80 02
constexpr unsigned char kCodeLongEnd = 0x02;
constexpr unsigned char kCodeTrim = 0x03;
constexpr int kShortCodeSize = 2;
constexpr int kLongCodeSize = 8;
constexpr int kLargestShortDelta = 127;            // -128 would read as the escape

constexpr unsigned short kDataKindStitches = 1;
constexpr signed char kScaleX = 10;
constexpr signed char kScaleY = -10;               // the code's y grows downwards
constexpr unsigned int kScaleBytes = 3;            // x scale, y scale, reserved
constexpr unsigned char kSecondContainerBit = 0b01;
constexpr int kUnitsPerDesignUnit = 100;
constexpr int kHalfUnits = 50;

int32_t Delta(int32_t to, int32_t from) { return Wrap32(static_cast<int64_t>(to) - from); }

// A delta of the code in design units, from the stored one: the common
// scales of 10 and -10 without a division, which gives the same.
int32_t Scaled(int32_t code, signed char scale)
{
    if (scale == kScaleX)
        return code;
    if (scale == kScaleY)
        return -code;
    return (code * 10) / scale;
}

// Encodes one code at the cursor and moves the cursor past it. Forced inline
// into the hot loop: left to itself the compiler calls a partial copy of it
// for every record.
[[gnu::always_inline]] inline void WriteCode(CPatternStitch::CStitch const& stitch, unsigned char*& cursor)
{
    switch (stitch.type) {
    case CAbsStitch::Normal:
        if (std::abs(static_cast<int64_t>(stitch.x)) <= kLargestShortDelta
            && std::abs(static_cast<int64_t>(stitch.y)) <= kLargestShortDelta) {
            *cursor++ = static_cast<unsigned char>(static_cast<int8_t>(stitch.x));
            *cursor++ = static_cast<unsigned char>(static_cast<int8_t>(stitch.y));
        } else {
            *cursor++ = kEscape;
            *cursor++ = kCodeLongStitch;
            Write(cursor, static_cast<short>(stitch.x));   // keeps the low 16 bits
            Write(cursor, static_cast<short>(stitch.y));
            *cursor++ = kEscape;
            *cursor++ = kCodeLongEnd;
        }
        break;
    case CAbsStitch::Stop:
        *cursor++ = kEscape;
        *cursor++ = kCodeStop;
        break;
    case CAbsStitch::Trim:
        *cursor++ = kEscape;
        *cursor++ = kCodeTrim;
        break;
    default:
        break;
    }
}

// Decodes one code at the cursor; false, with the cursor unmoved, for a
// code that is not known or does not fit before end.
bool ReadCode(unsigned char const*& cursor, unsigned char const* end, CPatternStitch::CStitch& stitch)
{
    if (end - cursor < kShortCodeSize)
        return false;
    stitch = CPatternStitch::CStitch{};
    if (cursor[0] != kEscape) {
        stitch.x = static_cast<int8_t>(cursor[0]);
        stitch.y = static_cast<int8_t>(cursor[1]);
        cursor += kShortCodeSize;
        return true;
    }
    switch (cursor[1]) {
    case kCodeStop:
        stitch.type = CAbsStitch::Stop;
        break;
    case kCodeLongStitch:
        if (end - cursor < kLongCodeSize)
            return false;
        // The closing two bytes (80 02 in our files) are not examined.
        stitch.x = static_cast<int16_t>((cursor[2] << 8) | cursor[3]);
        stitch.y = static_cast<int16_t>((cursor[4] << 8) | cursor[5]);
        cursor += kLongCodeSize;
        return true;
    case kCodeLongEnd:
        break;
    case kCodeTrim:
        stitch.type = CAbsStitch::Trim;
        break;
    default:
        return false;
    }
    cursor += kShortCodeSize;
    return true;
}


} // namespace

bool CPatternStitch::ConvertToStitchData(CWriteSource const& source, std::size_t block, std::size_t& index,
                                         CommonTypes::RectI const& rect, unsigned char*& cursor)
{
    std::span<CAbsStitch const> const records = source.Records();
    if (index >= records.size() || records[index].type != CAbsStitch::ColourChange)
        return false;
    CAbsStitch const& first = records[index];
    CommonTypes::PointI const origin = source.Position(index);
    m_colour.SetColour(source.BlockColour(block, first));
    m_start.x = Wrap32(static_cast<int64_t>(origin.x) * kUnitsPerDesignUnit
                       - (static_cast<int64_t>(rect.left) + rect.right) * kHalfUnits);
    m_start.y = Wrap32((static_cast<int64_t>(rect.top) + rect.bottom) * kHalfUnits
                       - static_cast<int64_t>(origin.y) * kUnitsPerDesignUnit);

    m_dataKind = kDataKindStitches;
    m_dataFlags = 0;
    m_xScale = kScaleX;
    m_yScale = kScaleY;
    m_reserved = 0;

    unsigned char* const codeBegin = cursor;
    CommonTypes::PointI previous = origin;
    bool jumpPending = false;
    m_stepsFit = true;
    auto stitchTo = [&](CommonTypes::PointI const& to) {
        m_stepsFit = m_stepsFit && FitsStep(static_cast<int64_t>(to.x) - previous.x)
                     && FitsStep(static_cast<int64_t>(to.y) - previous.y);
        WriteCode({Delta(to.x, previous.x), Delta(to.y, previous.y), CAbsStitch::Normal}, cursor);
        previous = to;
        jumpPending = false;
    };

    // The nudge moves only colour changes and the first record, so the
    // records of the block are read as they stand.
    for (++index; index < records.size() && records[index].type != CAbsStitch::ColourChange; ++index) {
        CAbsStitch const& record = records[index];
        switch (record.type) {
        case CAbsStitch::Stop:
        case CAbsStitch::Trim:
            // A command cannot carry a move: sew to its position first.
            if (jumpPending) {
                std::fputs("AW - Bad stitch data when saving a vp3 file!\n", stderr);
                std::fflush(stderr);
                stitchTo(record.position);
            }
            WriteCode({0, 0, static_cast<int8_t>(record.type)}, cursor);
            break;
        case CAbsStitch::Jump:
            jumpPending = true;   // the next stitch carries the whole move
            break;
        case CAbsStitch::Normal:
            stitchTo(record.position);
            break;
        default:
            break;
        }
    }
    m_code = std::span<unsigned char const>(codeBegin, cursor);

    m_end.x = Wrap32((static_cast<int64_t>(previous.x) - origin.x) * kUnitsPerDesignUnit);
    m_end.y = Wrap32((static_cast<int64_t>(origin.y) - previous.y) * kUnitsPerDesignUnit);
    return true;
}

unsigned int CPatternStitch::SerializeWrite(IArchiverStream& stream) const
{
    CWriteClassInfoBlock const block(&stream, {kClassStitch, 0, 0, 0});
    Write(stream, m_start.x);
    Write(stream, m_start.y);
    m_colour.SerializeWrite(stream);
    Write(stream, m_end.x);
    Write(stream, m_end.y);
    Write(stream, m_dataKind);
    Write(stream, m_dataFlags);
    Write(stream, static_cast<unsigned int>(m_code.size() + kScaleBytes));
    Write(stream, m_xScale);
    Write(stream, m_yScale);
    Write(stream, m_reserved);
    Write(stream, reinterpret_cast<char const*>(m_code.data()), static_cast<unsigned int>(m_code.size()));
    Write(stream, static_cast<unsigned char>(0));   // no second container
    return kStatusOK;
}

unsigned int CPatternStitch::ReadStitchDataContainer(IArchiverStream& stream, bool keep)
{
    unsigned short kind = 0;
    unsigned char flags = 0;
    unsigned int length = 0;
    Read(stream, kind);
    Read(stream, flags);
    Read(stream, length);
    if (!keep) {
        Read(stream, static_cast<char*>(nullptr), length);
        return kStatusOK;
    }
    m_dataKind = kind;
    m_dataFlags = flags;
    m_data.clear();
    m_code = {};
    // The length covers the three scale bytes; less, or more than the stream
    // still holds, is not a container we can read.
    if (length < kScaleBytes || length > Remaining(stream))
        return kStatusUnreadable;
    Read(stream, m_xScale);
    Read(stream, m_yScale);
    Read(stream, m_reserved);
    // Refused before its data is copied: a block that is not taken costs no
    // more than its fixed fields, however far its container reaches.
    if (m_xScale == 0 || m_yScale == 0 || m_reserved != 0 || !IsStitchDataReadable())
        return kStatusUnreadable;
    m_data.resize(length - kScaleBytes);
    Read(stream, reinterpret_cast<char*>(m_data.data()), static_cast<unsigned int>(m_data.size()));
    m_code = m_data;
    return kStatusOK;
}

bool CPatternStitch::IsStitchDataReadable() const { return m_dataKind == kDataKindStitches && m_dataFlags == 0; }

unsigned int CPatternStitch::SerializeRead(IArchiverStream& stream, unsigned char)
{
    Read(stream, m_start.x);
    Read(stream, m_start.y);
    CPatternColourData colour;
    unsigned int const colourStatus = colour.SerializeRead(stream, 0);
    if (Private::IsCriticalError(colourStatus))
        return colourStatus;
    m_colour.SetColour(colour.Colour());
    Read(stream, m_end.x);
    Read(stream, m_end.y);
    if (ReadStitchDataContainer(stream, true) != kStatusOK)
        return kStatusUnreadable;
    unsigned char second = 0;
    Read(stream, second);
    if ((second & kSecondContainerBit) != 0)
        ReadStitchDataContainer(stream, false);
    return kStatusOK;
}

// Records go straight into a CSimpleDesign, with no call through the design
// interface for each.
bool CPatternStitch::ExtractStitchData(IDesign& design, CHiResVector origin) const
{
    if (auto* const simple = dynamic_cast<CSimpleDesign*>(&design))
        return Decode(design, origin, [simple](CAbsStitch const& record) { simple->CSimpleDesign::AddStitch(record); });
    return Decode(design, origin, [&design](CAbsStitch const& record) { design.AddStitch(record); });
}

template <typename AddStitch>
bool CPatternStitch::Decode(IDesign& design, CHiResVector origin, AddStitch addStitch) const
{
    constexpr double kDesignUnitsPerUnit = 0.01;
    CVector2Col const o(origin.x * kDesignUnitsPerUnit, origin.y * kDesignUnitsPerUnit);
    CVector2Col const s(m_start.x * kDesignUnitsPerUnit, m_start.y * kDesignUnitsPerUnit);
    CVector2Col const e(m_end.x * kDesignUnitsPerUnit, m_end.y * kDesignUnitsPerUnit);
    // VP3 y grows upwards, the design's downwards.
    auto place = [&](CVector2Col const& r) {
        CVector2Col const p = o + m_transform * r;
        return CommonTypes::PointI{RoundToCoordinate(p.x), -RoundToCoordinate(p.y)};
    };

    CVector2Col running = s;
    design.AddColourStitch(m_colour.Colour(), place(running), false);
    CAbsStitch last;
    last.position = place(running);
    last.colourIndex = static_cast<int32_t>(design.GetColourCount()) - 1;
    last.type = CAbsStitch::ColourChange;

    unsigned char const* cursor = m_code.data();
    unsigned char const* const end = cursor + m_code.size();
    while (cursor < end) {
        CStitch code;
        if (!ReadCode(cursor, end, code))
            return false;
        CAbsStitch next = last;
        if (code.x != 0 || code.y != 0) {
            running.x += Scaled(code.x, m_xScale);
            running.y += Scaled(code.y, m_yScale);
            next = CAbsStitch{place(running), last.colourIndex, static_cast<uint8_t>(code.type), false, true};
        } else {
            next.type = static_cast<uint8_t>(code.type);   // a command at the last position
        }
        addStitch(next);
        last = next;
    }

    CommonTypes::PointI const endPoint = place(s + e);
    if (!(last.position == endPoint))
        addStitch(CAbsStitch{endPoint, last.colourIndex, CAbsStitch::Normal, false, true});
    return true;
}

} // namespace Brodix::Vp3Lib
