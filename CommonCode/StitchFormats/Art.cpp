// Bernina ART reader. An ART file is a compound file (structured storage)
// holding a property set with the design's summary values and its colour
// sequence, and a "Contents" stream of scrambled zlib data whose stitch points
// are coded predictively, a nibble per axis. Points are scaled into design
// units by the property set and written as records colour block by block.
#include "StitchFormats/Art.h"
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace BerninaART {

namespace {

constexpr std::array<uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kSectorShiftPos = 30;
constexpr std::size_t kMiniSectorShiftPos = 32;
constexpr std::size_t kDirectoryStartPos = 48;
constexpr std::size_t kMiniCutoffPos = 56;
constexpr std::size_t kMiniTableStartPos = 60;
constexpr std::size_t kIndexStartPos = 68;
constexpr std::size_t kTableSectorsPos = 76;
// Compound files use 512- or 4096-byte sectors and 64-byte mini sectors;
// these bounds only keep the shifts meaningful.
constexpr unsigned kMinSectorShift = 9;
constexpr unsigned kMaxSectorShift = 16;
constexpr unsigned kMinMiniSectorShift = 2;

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kLastSectorNumber = 0xFFFFFFF9;   // larger values are marks, not sectors

constexpr std::size_t kEntrySize = 128;
constexpr std::size_t kEntryNameUnits = 32;
constexpr std::size_t kEntryStartPos = 116;
constexpr std::size_t kEntrySizePos = 120;

constexpr std::size_t kPropertyHeaderSize = 48;   // up to and including the first section offset
constexpr uint16_t kByteOrderMark = 0xFFFE;
constexpr std::array<uint8_t, 16> kSummaryClass = {0x16, 0x2D, 0xE1, 0xD8, 0x20, 0x12, 0x99, 0x86,
                                                   0x5A, 0x71, 0x91, 0x81, 0x89, 0x5C, 0x1B, 0x63};
constexpr std::size_t kClassPos = 8;
constexpr std::size_t kSectionCountPos = 24;
constexpr std::size_t kSectionOffsetPos = 44;
constexpr uint32_t kDictionaryId = 0;

constexpr uint16_t kTypeLong = 3;
constexpr uint16_t kTypeDouble = 5;
constexpr uint16_t kTypeString = 30;
constexpr uint16_t kTypeBlob = 65;
constexpr std::size_t kUnitConversionSize = 16;

constexpr uint32_t kContentSignature = 0x193866DE;   // DE 66 38 19
constexpr std::size_t kContentMinSize = kContentHeaderSize + 1;
constexpr std::size_t kChecksumWords = 28;
constexpr std::size_t kChecksumPos = 112;
constexpr uint32_t kRefusedMarkLow = 73;   // the word at 16 never lies in this range
constexpr uint32_t kRefusedMarkHigh = 58275169;
constexpr uint32_t kMaxContentSize = 50'000'000;
// Deflate never expands its input more than this, so a larger size is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;

constexpr uint8_t kExtensionBit = 0b1000;
constexpr uint8_t kLowNibble = 0b1111;
constexpr uint8_t kPackedMore = 0b1000'0000;
constexpr uint8_t kPackedLow = 0b0111'1111;

uint16_t Le16(std::span<uint8_t const> bytes, std::size_t at) { return ByteOrder::Le16(bytes.data() + at); }
uint32_t Le32(std::span<uint8_t const> bytes, std::size_t at) { return ByteOrder::Le32(bytes.data() + at); }
double LeDouble(std::span<uint8_t const> bytes, std::size_t at) { return ByteOrder::LeDouble(bytes.data() + at); }

// True when [at, at + length) lies inside a buffer of size bytes.
bool Fits(std::size_t size, std::size_t at, std::size_t length)
{
    return at <= size && length <= size - at;
}

std::size_t SectorsFor(std::size_t bytes, std::size_t sectorSize)
{
    return bytes / sectorSize + (bytes % sectorSize != 0);
}

void AppendSector(SectorRegion const& region, std::size_t offset, std::vector<uint8_t>& out)
{
    std::size_t const available = std::min(region.size, region.bytes.size() - offset);
    out.insert(out.end(), region.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               region.bytes.begin() + static_cast<std::ptrdiff_t>(offset + available));
    out.resize(out.size() + (region.size - available), 0);
}

std::vector<uint32_t> ToNumbers(std::span<uint8_t const> bytes)
{
    std::vector<uint32_t> numbers(bytes.size() / 4);
    for (std::size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = Le32(bytes, i * 4);
    return numbers;
}

bool NameMatches(std::span<uint8_t const> entry, std::u16string_view name, bool byPrefix)
{
    std::u16string stored;
    for (std::size_t i = 0; i < kEntryNameUnits; ++i) {
        char16_t const unit = static_cast<char16_t>(Le16(entry, i * 2));
        if (unit == 0)
            break;
        stored.push_back(unit);
    }
    return byPrefix ? stored.starts_with(name) : stored == name;
}

} // namespace

int ReadWindowsCompoundBinaryFormatHeader(std::span<uint8_t const> file, WCBFHeader& header)
{
    if (file.size() < kHeaderSize || !std::equal(kSignature.begin(), kSignature.end(), file.begin()))
        return kStatusNotCompoundFile;
    unsigned const shift = Le16(file, kSectorShiftPos);
    unsigned const miniShift = Le16(file, kMiniSectorShiftPos);
    if (shift < kMinSectorShift || shift > kMaxSectorShift || miniShift < kMinMiniSectorShift || miniShift > shift)
        return kStatusNotCompoundFile;
    header.sectorSize = 1u << shift;
    header.miniSectorSize = 1u << miniShift;
    header.firstDirectorySector = Le32(file, kDirectoryStartPos);
    header.miniStreamCutoff = Le32(file, kMiniCutoffPos);
    header.firstMiniTableSector = Le32(file, kMiniTableStartPos);
    header.firstIndexSector = Le32(file, kIndexStartPos);
    for (int i = 0; i < kHeaderTableSectors; ++i)
        header.tableSectors[i] = Le32(file, kTableSectorsPos + static_cast<std::size_t>(i) * 4);
    return 0;
}

std::size_t CalculateSectorSize(std::span<uint32_t const> table, uint32_t start)
{
    std::size_t count = 0;
    for (uint32_t sector = start; sector != kEndOfChain; sector = table[sector]) {
        if (sector >= table.size() || count >= table.size())
            return 0;
        ++count;
    }
    return count;
}

bool ReadRawData(SectorRegion const& region, std::span<uint32_t const> table, uint32_t start, std::size_t count,
                 std::vector<uint8_t>& out)
{
    if (region.size == 0 || region.bytes.size() <= region.first)
        return count == 0;
    // A chain without cycles visits each sector once, so it cannot hold more
    // sectors than start inside the region.
    std::size_t const regionSectors = SectorsFor(region.bytes.size() - region.first, region.size);
    if (count > regionSectors || CalculateSectorSize(table, start) != count)
        return false;
    out.reserve(out.size() + count * region.size);
    uint32_t sector = start;
    for (std::size_t i = 0; i < count; ++i, sector = table[sector]) {
        if (sector >= regionSectors)
            return false;
        AppendSector(region, region.first + std::size_t{sector} * region.size, out);
    }
    return true;
}

int CompoundFile::Open()
{
    if (int const status = ReadWindowsCompoundBinaryFormatHeader(m_file, m_header); status != 0)
        return status;
    std::size_t const sectorSize = m_header.sectorSize;
    // The header fills sector -1, so sector k starts at (k + 1) sectors.
    SectorRegion const sectors{m_file, sectorSize, sectorSize};
    std::size_t const fileSectors =
        m_file.size() > sectorSize ? SectorsFor(m_file.size() - sectorSize, sectorSize) : 0;
    std::size_t const numbersPerSector = sectorSize / 4;

    // Only the table sectors that describe sectors of this file are gathered,
    // which bounds the table by the file whatever the header claims.
    std::size_t const neededTableSectors = SectorsFor(fileSectors, numbersPerSector);
    std::vector<uint32_t> tableSectors;
    for (int i = 0; i < kHeaderTableSectors && tableSectors.size() < neededTableSectors; ++i)
        tableSectors.push_back(m_header.tableSectors[i]);
    // Every index sector adds its numbers, so the walk ends once the table is
    // complete, even on a chain of index sectors that runs in a circle.
    for (uint32_t index = m_header.firstIndexSector;
         tableSectors.size() < neededTableSectors && index <= kLastSectorNumber;) {
        if (index >= fileSectors)
            return CStitches::kStatusRefused;
        std::size_t const at = (std::size_t{index} + 1) * sectorSize;
        std::vector<uint8_t> indexSector;
        AppendSector(sectors, at, indexSector);
        std::vector<uint32_t> const numbers = ToNumbers(indexSector);
        for (std::size_t i = 0; i + 1 < numbers.size() && tableSectors.size() < neededTableSectors; ++i)
            tableSectors.push_back(numbers[i]);
        index = numbers.back();
    }

    m_table.assign(fileSectors, kFreeSector);
    for (std::size_t j = 0; j < tableSectors.size(); ++j) {
        if (tableSectors[j] >= fileSectors)
            continue;   // an unreadable table sector leaves its chains broken
        std::vector<uint8_t> tableSector;
        AppendSector(sectors, (std::size_t{tableSectors[j]} + 1) * sectorSize, tableSector);
        std::vector<uint32_t> const numbers = ToNumbers(tableSector);
        std::size_t const base = j * numbersPerSector;
        std::size_t const used = std::min(numbersPerSector, fileSectors - base);
        std::copy_n(numbers.begin(), used, m_table.begin() + static_cast<std::ptrdiff_t>(base));
    }

    auto readChain = [&](uint32_t start, std::vector<uint8_t>& out) {
        out.clear();
        if (!ReadRawData(sectors, m_table, start, CalculateSectorSize(m_table, start), out))
            out.clear();
    };
    readChain(m_header.firstDirectorySector, m_directory);
    std::vector<uint8_t> miniTable;
    readChain(m_header.firstMiniTableSector, miniTable);
    m_miniTable = ToNumbers(miniTable);
    for (std::size_t at = 0; at + kEntrySize <= m_directory.size(); at += kEntrySize) {
        std::span<uint8_t const> const entry(m_directory.data() + at, kEntrySize);
        if (NameMatches(entry, u"Root Entry", false)) {
            readChain(Le32(entry, kEntryStartPos), m_miniStream);
            break;
        }
    }
    return 0;
}

std::optional<std::vector<uint8_t>> CompoundFile::ReadStream(std::u16string_view name, bool byPrefix) const
{
    for (std::size_t at = 0; at + kEntrySize <= m_directory.size(); at += kEntrySize) {
        std::span<uint8_t const> const entry(m_directory.data() + at, kEntrySize);
        if (!NameMatches(entry, name, byPrefix))
            continue;
        uint32_t const start = Le32(entry, kEntryStartPos);
        uint32_t const size = Le32(entry, kEntrySizePos);
        std::vector<uint8_t> data;
        if (size == 0)
            return data;
        bool const mini = size < m_header.miniStreamCutoff;
        SectorRegion const region = mini ? SectorRegion{m_miniStream, 0, m_header.miniSectorSize}
                                         : SectorRegion{m_file, m_header.sectorSize, m_header.sectorSize};
        std::span<uint32_t const> const table = mini ? m_miniTable : m_table;
        if (!ReadRawData(region, table, start, SectorsFor(size, region.size), data))
            return std::nullopt;
        data.resize(size);
        return data;
    }
    return std::nullopt;
}

// ---- property set ----

namespace {

struct LongProperty {
    std::string_view name;
    int32_t PropertiesARTFile::*field;
};

constexpr LongProperty kLongProperties[] = {
    {"number of colours", &PropertiesARTFile::numberOfColours},
    {"number of stops", &PropertiesARTFile::numberOfStops},
    {"number of trims", &PropertiesARTFile::numberOfTrims},
    {"number of stitches", &PropertiesARTFile::numberOfStitches},
    {"number of objects", &PropertiesARTFile::numberOfObjects},
    {"design left", &PropertiesARTFile::designLeft},
    {"design right", &PropertiesARTFile::designRight},
    {"end x", &PropertiesARTFile::endX},
    {"end y", &PropertiesARTFile::endY},
    {"number of funtions in the file", &PropertiesARTFile::numberOfFunctions},   // sic
    {"shortest stitch in design", &PropertiesARTFile::shortestStitch},
    {"longest stitch in design", &PropertiesARTFile::longestStitch},
    {"number of jumps per trim", &PropertiesARTFile::jumpsPerTrim},
    {"number of colour changes", &PropertiesARTFile::numberOfColourChanges},
    {"filetype", &PropertiesARTFile::fileType},
    {"fabricthickness", &PropertiesARTFile::fabricThickness},
};

struct DoubleProperty {
    std::string_view name;
    double PropertiesARTFile::*field;
};

constexpr DoubleProperty kDoubleProperties[] = {
    {"thread length", &PropertiesARTFile::threadLength}, {"bobbin length", &PropertiesARTFile::bobbinLength},
    {"design up", &PropertiesARTFile::designUp},         {"design down", &PropertiesARTFile::designDown},
    {"design height", &PropertiesARTFile::designHeight}, {"design width", &PropertiesARTFile::designWidth},
};

constexpr std::string_view kSequenceList = "sequence list";
constexpr std::string_view kMachineName = "embroidery machine name";
constexpr std::string_view kUnitConversion = "unit conversion info";
// "intended version", "actual creator version" and "infostore" are known
// names whose values nothing needs.

// The bytes of a counted value (string or blob) at offset; none when the
// type differs or the count runs past the section.
std::optional<std::span<uint8_t const>> CountedValue(std::span<uint8_t const> section, uint32_t offset,
                                                     uint16_t type)
{
    if (!Fits(section.size(), offset, 8) || Le16(section, offset) != type)
        return std::nullopt;
    uint32_t const length = Le32(section, std::size_t{offset} + 4);
    if (!Fits(section.size(), std::size_t{offset} + 8, length))
        return std::nullopt;
    return section.subspan(std::size_t{offset} + 8, length);
}

void ReadNamedValue(std::span<uint8_t const> section, std::string_view name, uint32_t offset,
                    PropertiesARTFile& properties)
{
    for (LongProperty const& p : kLongProperties)
        if (p.name == name) {
            ReadPropertyValueLong(section, offset, properties.*p.field);
            return;
        }
    for (DoubleProperty const& p : kDoubleProperties)
        if (p.name == name) {
            ReadPropertyValueDouble(section, offset, properties.*p.field);
            return;
        }
    if (name == kSequenceList) {
        if (auto const blob = CountedValue(section, offset, kTypeBlob))
            properties.sequenceList.assign(blob->begin(), blob->end());
    } else if (name == kMachineName) {
        if (auto const text = CountedValue(section, offset, kTypeString))
            properties.embroideryMachineName.assign(text->begin(), std::find(text->begin(), text->end(), 0));
    } else if (name == kUnitConversion) {
        auto const blob = CountedValue(section, offset, kTypeBlob);
        if (blob && blob->size() == kUnitConversionSize) {
            properties.unitConversion[0] = LeDouble(*blob, 0);
            properties.unitConversion[1] = LeDouble(*blob, 8);
            properties.hasUnitConversion = true;
        }
    }
}

} // namespace

std::optional<uint32_t> VerifyPropertySetStreamHeader(std::span<uint8_t const> stream)
{
    if (stream.size() < kPropertyHeaderSize || Le16(stream, 0) != kByteOrderMark || Le16(stream, 2) != 0
        || !std::equal(kSummaryClass.begin(), kSummaryClass.end(), stream.begin() + kClassPos)
        || Le32(stream, kSectionCountPos) != 1)
        return std::nullopt;
    return Le32(stream, kSectionOffsetPos);
}

std::vector<PROPERTYIDOFFSET> ReadIdOffsetPairs(std::span<uint8_t const> section)
{
    std::vector<PROPERTYIDOFFSET> pairs(Le32(section, 4));
    for (std::size_t i = 0; i < pairs.size(); ++i)
        pairs[i] = {Le32(section, 8 + i * 8), Le32(section, 12 + i * 8)};
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](PROPERTYIDOFFSET const& a, PROPERTYIDOFFSET const& b) { return a.id < b.id; });
    return pairs;
}

std::optional<uint32_t> GetIdValuePairOffset(std::span<PROPERTYIDOFFSET const> pairs, uint32_t id)
{
    auto const found = std::lower_bound(pairs.begin(), pairs.end(), id,
                                        [](PROPERTYIDOFFSET const& pair, uint32_t key) { return pair.id < key; });
    if (found == pairs.end() || found->id != id)
        return std::nullopt;
    return found->offset;
}

bool ReadPropertyValueLong(std::span<uint8_t const> section, uint32_t offset, int32_t& value)
{
    if (!Fits(section.size(), offset, 8) || Le16(section, offset) != kTypeLong)
        return false;
    value = static_cast<int32_t>(Le32(section, std::size_t{offset} + 4));
    return true;
}

bool ReadPropertyValueDouble(std::span<uint8_t const> section, uint32_t offset, double& value)
{
    if (!Fits(section.size(), offset, 12) || Le16(section, offset) != kTypeDouble)
        return false;
    value = LeDouble(section, std::size_t{offset} + 4);
    return true;
}

bool ReadPropertySet(std::span<uint8_t const> stream, PropertiesARTFile& properties)
{
    std::optional<uint32_t> const sectionOffset = VerifyPropertySetStreamHeader(stream);
    if (!sectionOffset || !Fits(stream.size(), *sectionOffset, 8))
        return false;
    std::span<uint8_t const> section = stream.subspan(*sectionOffset);
    uint32_t const sectionSize = Le32(section, 0);
    if (sectionSize < 8 || sectionSize > section.size())
        return false;
    section = section.first(sectionSize);
    if (Le32(section, 4) > (sectionSize - 8) / 8)
        return false;
    std::vector<PROPERTYIDOFFSET> const pairs = ReadIdOffsetPairs(section);

    std::optional<uint32_t> const dictionary = GetIdValuePairOffset(pairs, kDictionaryId);
    if (!dictionary || !Fits(section.size(), *dictionary, 4))
        return true;
    uint32_t const names = Le32(section, *dictionary);
    std::size_t at = std::size_t{*dictionary} + 4;
    for (uint32_t n = 0; n < names && Fits(section.size(), at, 8); ++n) {
        uint32_t const id = Le32(section, at);
        uint32_t const length = Le32(section, at + 4);
        at += 8;
        if (!Fits(section.size(), at, length))
            break;
        if (length >= 2) {
            auto const text = section.subspan(at, length);
            std::string const name(text.begin(), std::find(text.begin(), text.end(), 0));
            if (std::optional<uint32_t> const value = GetIdValuePairOffset(pairs, id))
                ReadNamedValue(section, name, *value, properties);
        }
        at += length;
    }
    return true;
}

// ---- content ----

void ARTCrypt_Decrypt(std::span<uint8_t> bytes)
{
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>((b << 1 | b >> 7) ^ kCryptKey);
}

bool DecompressData(std::span<uint8_t const> descrambled, Brodix::StitchFormats::IZLib* zlib,
                    std::vector<uint8_t>& block)
{
    block.clear();
    if (zlib == nullptr || descrambled.size() < 4 || descrambled.size() - 4 > UINT_MAX)
        return false;
    uint32_t const size = Le32(descrambled, 0);
    auto const compressed = descrambled.subspan(4);
    if (size == 0 || size > kMaxContentSize || size > compressed.size() * kMaxInflateRatio)
        return false;
    block.resize(size);
    std::size_t produced = size;
    if (!zlib->Uncompress(reinterpret_cast<char*>(block.data()), produced,
                          reinterpret_cast<char const*>(compressed.data()),
                          static_cast<unsigned>(compressed.size()))) {
        block.clear();
        return false;
    }
    block.resize(std::min<std::size_t>(produced, size));
    return true;
}

std::optional<ContentHeader> VerifyContentDataHeader(std::span<uint8_t const> block)
{
    if (block.size() < kContentMinSize || Le32(block, 0) != kContentSignature || Le32(block, 4) != kContentHeaderSize)
        return std::nullopt;
    uint32_t const mark = Le32(block, 16);
    if (mark >= kRefusedMarkLow && mark <= kRefusedMarkHigh)
        return std::nullopt;
    int64_t sum = 0;
    for (std::size_t i = 0; i < kChecksumWords; ++i)
        sum += Le32(block, i * 4);
    if (sum != static_cast<int32_t>(Le32(block, kChecksumPos)))
        return std::nullopt;
    ContentHeader header;
    header.pointCount = static_cast<int32_t>(Le32(block, 20));
    header.dataOffset = Le32(block, 24);
    header.dataLength = Le32(block, 28);
    if (!Fits(block.size(), header.dataOffset, header.dataLength))
        return std::nullopt;
    return header;
}

bool DecodePackedByte(std::span<uint8_t const> data, std::size_t& pos, uint32_t& value)
{
    if (pos >= data.size())
        return false;
    uint8_t const first = data[pos++];
    if ((first & kPackedMore) != 0 && pos < data.size())
        value = (first & kPackedLow) | uint32_t(data[pos++]) << 7;
    else
        value = first;
    return true;
}

namespace {

// The coder's sums wrap like the 32-bit registers they were written for.
int32_t Wrap(int64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Written into the decoding loop, which calls it twice a point.
inline int32_t Decode(uint32_t code, AxisState& state)
{
    if (code < 8) {
        // A small change of the delta: 0, -1, 1, -2, 2, -3, 3, -4.
        int32_t z = static_cast<int32_t>(code >> 1);
        if (code & 1)
            z = ~z;
        state.delta = Wrap(int64_t{state.delta} + z);
        state.position = Wrap(int64_t{state.position} + state.delta);
        state.sign = state.delta >= 0 ? 1 : -1;
        state.magnitude = state.delta >= 0 ? state.delta : ~state.delta;
    } else {
        // A change of the magnitude, with the sign kept or turned.
        int32_t v = static_cast<int32_t>((code >> 4) << 1 | (code >> 2 & 1));
        if (code & 2)
            v = ~v;
        state.magnitude = Wrap(int64_t{state.magnitude} + v);
        if (code & 1)
            state.sign = -state.sign;
        state.delta = state.sign == 1 ? state.magnitude : ~state.magnitude;
        state.position = Wrap(int64_t{state.position} + state.delta);
    }
    return state.position;
}

} // namespace

int32_t DecodeToSignedValue(uint32_t code, AxisState& state)
{
    return Decode(code, state);
}

std::size_t DecodingStitchData(std::span<uint8_t const> data, std::vector<int32_t>& xs, std::vector<int32_t>& ys,
                               std::size_t count)
{
    xs.clear();
    ys.clear();
    // Every point takes at least one byte.
    xs.reserve(std::min(count, data.size()));
    ys.reserve(std::min(count, data.size()));
    AxisState x, y;
    std::size_t pos = 0;
    while (xs.size() < count && pos < data.size()) {
        uint8_t const b = data[pos++];
        uint32_t xCode = b & kLowNibble;
        uint32_t yCode = b >> 4;
        uint32_t extension = 0;
        if (xCode & kExtensionBit) {
            if (!DecodePackedByte(data, pos, extension))
                break;
            xCode |= extension << 4;
        }
        if (yCode & kExtensionBit) {
            if (!DecodePackedByte(data, pos, extension))
                break;
            yCode |= extension << 4;
        }
        xs.push_back(Decode(xCode, x));
        ys.push_back(Decode(yCode, y));
    }
    return xs.size();
}

} // namespace BerninaART

// ---- loading ----

namespace {

using namespace BerninaART;

constexpr std::u16string_view kPropertySetPrefix = u"\u0005WilcomDesignInformation";
constexpr std::u16string_view kAuxInfo = u"AUX_INFO";
constexpr std::u16string_view kContents = u"Contents";

constexpr uint32_t kStoredAsContents = 1;
constexpr uint32_t kStoredOtherwise = 3;

constexpr std::size_t kColourBlockSize = 796;
constexpr std::size_t kBlockPointsPos = 8;
constexpr std::size_t kBlockColourPos = 792;
constexpr unsigned kRgbMask = 0x00FFFFFF;

constexpr double kScalePerUnit = 10.0;   // the unit conversion gives millimetres; designs count tenths
constexpr double kYScale = 0.5;          // y is stored at twice the resolution of x
constexpr int kArtColourType = 3;
constexpr int kStorageSlack = 10;
// One record holds at most 127 units a side, and steps under one unit cannot be written.
constexpr double kMaxRecordStep = 127.0;
constexpr double kMinRecordStep = 1.0;
// Keeps scaled positions and their differences well inside int.
constexpr double kMaxCoordinate = 1 << 24;

enum class Storage { None, Contents, Other };

struct ColourBlock {
    int32_t points;
    unsigned rgb;
};

std::vector<ColourBlock> ReadSequenceList(std::span<uint8_t const> list)
{
    std::vector<ColourBlock> blocks;
    for (std::size_t at = 0; at + kColourBlockSize <= list.size(); at += kColourBlockSize)
        blocks.push_back({static_cast<int32_t>(Le32(list, at + kBlockPointsPos)), Le32(list, at + kBlockColourPos)});
    return blocks;
}

std::vector<uint8_t> ReadWholeStream(Brodix::IArchiverStream& stream)
{
    stream.SetPos(0);
    std::vector<uint8_t> bytes(stream.GetSize());
    bytes.resize(bytes.empty() ? 0 : stream.Read(bytes.data(), static_cast<unsigned long>(bytes.size())));
    return bytes;
}

Storage ReadStorage(CompoundFile const& file)
{
    std::optional<std::vector<uint8_t>> const aux = file.ReadStream(kAuxInfo);
    if (!aux || (aux->size() != 5 && aux->size() != 9))
        return Storage::None;
    uint32_t const kind = Le32(*aux, 0);
    if (kind == kStoredOtherwise)
        return Storage::Other;
    return kind == kStoredAsContents ? Storage::Contents : Storage::None;
}

// The points of "Contents", none when any step fails; false when the
// declared point count is beyond the container's limits.
bool ReadContentPoints(CompoundFile const& file, Brodix::StitchFormats::IZLib* zlib, std::vector<int32_t>& xs,
                       std::vector<int32_t>& ys)
{
    std::optional<std::vector<uint8_t>> contents = file.ReadStream(kContents);
    if (!contents)
        return true;
    ARTCrypt_Decrypt(*contents);
    std::vector<uint8_t> block;
    bool const inflated = DecompressData(*contents, zlib, block);
    contents.reset();
    if (!inflated)
        return true;
    std::optional<ContentHeader> const header = VerifyContentDataHeader(block);
    if (!header || header->pointCount < 1)
        return true;
    if (!CStitches::ValidateStitchCount(header->pointCount))
        return false;
    auto const coded = std::span<uint8_t const>(block).subspan(header->dataOffset, header->dataLength);
    DecodingStitchData(coded, xs, ys, static_cast<std::size_t>(header->pointCount));
    return true;
}

struct Scale {
    double s;           // file units to design units
    double threshold;   // the longest stitch, in design units
};

std::optional<Scale> ScaleOf(PropertiesARTFile const& properties)
{
    double const u = properties.unitConversion[0];
    if (!properties.hasUnitConversion || !(u > 0) || !std::isfinite(u) || properties.longestStitch <= 0)
        return std::nullopt;
    Scale const scale{u * kScalePerUnit, properties.longestStitch * u * kScalePerUnit};
    if (!std::isfinite(scale.s) || !std::isfinite(scale.threshold))
        return std::nullopt;
    return scale;
}

// Designs start at the first point whose step to the next is shorter than the
// longest stitch; what comes before is the machine moving into place.
std::size_t FindOrigin(std::vector<int32_t> const& xs, std::vector<int32_t> const& ys, Scale const& scale)
{
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        double const dx = (double(xs[i + 1]) - xs[i]) * scale.s;
        double const dy = (double(ys[i + 1]) - ys[i]) * scale.s * kYScale;
        if (std::hypot(dx, dy) < scale.threshold)
            return i;
    }
    return 0;
}

int ToDesignUnits(double value)
{
    // Clamped to whole limits, then truncated by the conversion: the same as
    // truncating first, without trunc's long sequence on every point.
    return static_cast<int>(std::clamp(value, -kMaxCoordinate, kMaxCoordinate));
}

// Writes records while the container's limits allow, growing the storage
// ahead of each write; full() once a write would pass the stitch limit.
class RecordWriter {
public:
    explicit RecordWriter(CStitches& stitches) : m_stitches(stitches) {}

    void Put(uint8_t flags, int dx, int dy)
    {
        if (!Reserve(1))
            return;
        if (m_stitches.PutStitch(m_index, CStitch{flags, static_cast<int8_t>(dx), static_cast<int8_t>(dy)}) == 0)
            ++m_index;
    }

    void PutLongMove(bool jump, int x0, int y0, int x1, int y1, double step)
    {
        double const steps = std::hypot(double(x1) - x0, double(y1) - y0) / step;
        // Whole steps, the final record, and the records that carry a rounding rest.
        auto const needed = static_cast<long long>(steps + steps / kMaxRecordStep) + 4;
        Reserve(needed);
        if (jump)
            LongJumpStitchPut(&m_stitches, x0, y0, x1, y1, step, m_index);
        else
            LongStitchPut(&m_stitches, x0, y0, x1, y1, step, m_index);
    }

    int Index() const { return m_index; }
    bool Full() const { return m_index > CStitches::kMaxStitchCount; }

private:
    // Grows the storage to hold needed more records, up to one past the limit.
    bool Reserve(long long needed)
    {
        long long const capacity = m_stitches.GetCount();
        long long const wanted = std::min<long long>(m_index + needed, kLimit);
        if (wanted > capacity) {
            long long const grown = std::min<long long>(std::max(wanted, capacity + capacity / 2), kLimit);
            // Growing writes one record at the old end; later writes cover it or the final count cuts it off.
            // A failed growth shows in the room check below.
            static_cast<void>(m_stitches.PutStitchRealloc(static_cast<int>(capacity), CStitch{STITCH_END, 0, 0},
                                                          static_cast<unsigned>(grown - capacity)));
        }
        return m_index < m_stitches.GetCount();
    }

    static constexpr long long kLimit = CStitches::kMaxStitchCount + 1LL;
    CStitches& m_stitches;
    int m_index = 0;
};

} // namespace

int CStitches::BerninaLoad(IArchiverStream& stream, IZLib* zlib)
{
    std::vector<uint8_t> const bytes = ReadWholeStream(stream);
    CompoundFile file(bytes);
    if (int const status = file.Open(); status != kStatusOk)
        return status;

    PropertiesARTFile properties;
    if (std::optional<std::vector<uint8_t>> const set = file.ReadStream(kPropertySetPrefix, true))
        ReadPropertySet(*set, properties);
    std::vector<ColourBlock> const blocks = ReadSequenceList(properties.sequenceList);
    if (!ValidateNumCols(static_cast<int>(blocks.size())))
        return kStatusRefused;

    std::vector<int32_t> xs, ys;
    switch (ReadStorage(file)) {
    case Storage::Other:
        return kStatusOtherStorage;
    case Storage::Contents:
        if (!ReadContentPoints(file, zlib, xs, ys))
            return kStatusRefused;
        break;
    case Storage::None:
        break;
    }

    // Without a scale the points cannot be placed; they would all fall on one spot.
    Scale scale{0, 0};
    if (!xs.empty()) {
        std::optional<Scale> const found = ScaleOf(properties);
        if (!found)
            return kStatusRefused;
        scale = *found;
    }
    std::size_t const origin = xs.empty() ? 0 : FindOrigin(xs, ys, scale);
    auto designPoint = [&](std::size_t p) {
        if (p < origin)
            return std::pair{0, 0};
        return std::pair{ToDesignUnits((double(xs[p]) - xs[origin]) * scale.s),
                         ToDesignUnits((double(ys[p]) - ys[origin]) * scale.s * kYScale)};
    };
    double const step = std::clamp(scale.threshold, kMinRecordStep, kMaxRecordStep);

    if (AllocStorage(static_cast<int>(xs.size()) + kStorageSlack) != 0)
        return kStatusRefused;
    RecordWriter out(*this);
    std::size_t p = 0;
    int x = 0, y = 0;
    for (std::size_t b = 0; b < blocks.size() && !out.Full(); ++b) {
        if (b > 0)
            out.Put(STITCH_COLOUR, 0, 0);
        for (int32_t k = 0; k < blocks[b].points && p < xs.size() && !out.Full(); ++k, ++p) {
            auto const [nx, ny] = designPoint(p);
            long long const dx = nx - x, dy = ny - y;
            if (k == 0)
                out.PutLongMove(true, x, y, nx, ny, step);
            else if (double(dx * dx + dy * dy) > step * step)
                out.PutLongMove(false, x, y, nx, ny, step);
            else
                out.Put(STITCH_NORMAL, static_cast<int>(dx), static_cast<int>(dy));
            x = nx;
            y = ny;
        }
    }
    if (!ValidateStitchCount(out.Index()))
        return kStatusRefused;

    SetNumberColours(static_cast<int>(blocks.size()));
    m_defaultColourType = kArtColourType;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SetColour(static_cast<int>(i), blocks[i].rgb & kRgbMask);
        SetManufacturer(static_cast<int>(i), kArtColourType);
    }
    SetCount(out.Index());
    SizeDesign();
    return kStatusOk;
}
