// Reading and writing the colour record of a stitch block: a count of colours
// (more than one for a variegated thread), each with its RGB bytes and run
// length, then the material, weight and three names of the thread.
#include "StitchFormats/Vp3/PatternColourData.h"

#include "StitchFormats/Vp3/VP3Values.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned char kLengthUnit = 10;        // lengths are stored in tenths
constexpr unsigned char kVariegatedBit = 0b01;
constexpr uint32_t kMaterialDefault = 8;
constexpr uint32_t kWeightDefault = 5;

// The design model's material type is the index; the byte is what the file holds.
constexpr unsigned char kMaterialBytes[] = {4, 8, 7, 1, 3, 2, 9, 6, 5, 10, 11};
// The design model's thread weight is the index; the byte is the weight number.
constexpr unsigned char kWeightBytes[] = {12, 18, 25, 30, 35, 40, 50, 60, 80};

template <std::size_t N>
unsigned char ByteFor(unsigned char const (&table)[N], uint32_t value)
{
    return value < N ? table[value] : 0;
}

// Bytes outside the table read as the fallback (the default thread's value).
template <std::size_t N>
uint32_t ValueFor(unsigned char const (&table)[N], unsigned char byte, uint32_t fallback)
{
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == byte && byte != 0)
            return static_cast<uint32_t>(i);
    return fallback;
}

template <std::size_t N>
void WriteTextMember(IArchiverStream& stream, char const (&field)[N])
{
    std::string const text(field, strnlen(field, N - 1));
    Write(stream, &text);
}

void WriteOneColour(IArchiverStream& stream, ColourData const& colour, int index, bool single)
{
    uint32_t const rgb = colour.colours[index];
    Write(stream, static_cast<unsigned char>(rgb & 0xFF));
    Write(stream, static_cast<unsigned char>((rgb >> 8) & 0xFF));
    Write(stream, static_cast<unsigned char>((rgb >> 16) & 0xFF));
    Write(stream, static_cast<unsigned char>(single ? 0 : kLengthUnit));
    Write(stream, static_cast<unsigned short>(single ? 0 : colour.lengths[index] & 0xFFFF));
}

void ReadOneColour(IArchiverStream& stream, ColourData& colour, int index)
{
    unsigned char red = 0, green = 0, blue = 0, unit = 0;
    unsigned short length = 0;
    Read(stream, red);
    Read(stream, green);
    Read(stream, blue);
    Read(stream, unit);
    Read(stream, length);
    colour.colours[index] = red | (green << 8) | (static_cast<uint32_t>(blue) << 16);
    uint32_t const tenths = unit != 0 ? (length * 10u) / unit : 0;
    colour.lengths[index] = tenths <= 1 ? 1 : tenths;
}

} // namespace

unsigned int CPatternColourData::SerializeWrite(IArchiverStream& stream) const
{
    // More colours than the record holds would read past its table.
    auto const count = static_cast<unsigned char>(
        std::min<uint32_t>(m_colour.numberColours & 0xFF, ColourData::kMaxColours));
    Write(stream, count);
    Write(stream, static_cast<unsigned char>(count >= 2 && m_colour.variegated ? 1 : 0));
    for (int i = 0; i < count; ++i)
        WriteOneColour(stream, m_colour, i, count == 1);
    WriteMaterialType(stream, m_colour.materialType);
    WriteThreadWeight(stream, m_colour.threadWeight);
    WriteTextMember(stream, m_colour.serialNumber);
    WriteTextMember(stream, m_colour.threadName);
    WriteTextMember(stream, m_colour.manufacturerName);
    return kStatusOK;
}

unsigned int CPatternColourData::SerializeRead(IArchiverStream& stream, unsigned char)
{
    m_colour = ColourData{};
    unsigned char count = 0;
    Read(stream, count);
    if (count == 0 || count > ColourData::kMaxColours)
        return kStatusBadData;
    m_colour.numberColours = count;
    unsigned char flags = 0;
    Read(stream, flags);
    m_colour.variegated = (flags & kVariegatedBit) != 0;
    for (int i = 0; i < count; ++i)
        ReadOneColour(stream, m_colour, i);
    m_colour.materialType = ReadMaterialType(stream);
    m_colour.threadWeight = ReadThreadWeight(stream);
    ReadTextMember(stream, m_colour.serialNumber, sizeof m_colour.serialNumber);
    ReadTextMember(stream, m_colour.threadName, sizeof m_colour.threadName);
    ReadTextMember(stream, m_colour.manufacturerName, sizeof m_colour.manufacturerName);
    return kStatusOK;
}

void CPatternColourData::WriteMaterialType(IArchiverStream& stream, uint32_t materialType)
{
    Write(stream, ByteFor(kMaterialBytes, materialType));
}

void CPatternColourData::WriteThreadWeight(IArchiverStream& stream, uint32_t threadWeight)
{
    Write(stream, ByteFor(kWeightBytes, threadWeight));
}

uint32_t CPatternColourData::ReadMaterialType(IArchiverStream& stream)
{
    unsigned char byte = 0;
    Read(stream, byte);
    return ValueFor(kMaterialBytes, byte, kMaterialDefault);
}

uint32_t CPatternColourData::ReadThreadWeight(IArchiverStream& stream)
{
    unsigned char byte = 0;
    Read(stream, byte);
    return ValueFor(kWeightBytes, byte, kWeightDefault);
}

void CPatternColourData::ReadTextMember(IArchiverStream& stream, char* field, unsigned long fieldSize)
{
    unsigned short count = 0;
    Read(stream, count);
    unsigned long const kept = fieldSize == 0 ? 0 : std::min<unsigned long>(count, fieldSize - 1);
    Read(stream, field, static_cast<unsigned int>(kept));
    if (fieldSize > 0)
        std::memset(field + kept, 0, fieldSize - kept);
    Read(stream, static_cast<char*>(nullptr), count - static_cast<unsigned int>(kept));
}

} // namespace Brodix::Vp3Lib
