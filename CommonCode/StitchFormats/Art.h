// The pieces of the Bernina ART reader (Art.cpp) below CStitches::BerninaLoad:
// compound-file access, the summary property set, the descrambler and the
// predictive stitch decoder. Only the reader and its tests include this.
#pragma once
#include "StitchFormats/FormatVocabulary.h"
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace BerninaART {

// Statuses of BerninaLoad beside the shared ones of CStitches.
inline constexpr int kStatusOtherStorage = 2;      // AUX_INFO says the design is kept in another form
inline constexpr int kStatusNotCompoundFile = 4;

inline constexpr std::size_t kHeaderSize = 512;
inline constexpr int kHeaderTableSectors = 109;

// The header fields the walk needs, already checked.
struct WCBFHeader {
    unsigned sectorSize = 0;
    unsigned miniSectorSize = 0;
    uint32_t firstDirectorySector = 0;
    uint32_t miniStreamCutoff = 0;
    uint32_t firstMiniTableSector = 0;
    uint32_t firstIndexSector = 0;
    uint32_t tableSectors[kHeaderTableSectors] = {};
};

// 0, or kStatusNotCompoundFile for a file shorter than the header, without the
// signature, or with sector sizes no compound file uses.
int ReadWindowsCompoundBinaryFormatHeader(std::span<uint8_t const> file, WCBFHeader& header);

// Sectors in the chain from start to the end mark; 0 for a chain that leaves
// the table or is longer than it (so a cycle counts as empty).
std::size_t CalculateSectorSize(std::span<uint32_t const> table, uint32_t start);

// Sector k of a region starts at first + k * size; bytes past the region's end read as 0.
struct SectorRegion {
    std::span<uint8_t const> bytes;
    std::size_t first = 0;
    std::size_t size = 0;
};

// Appends count whole sectors of the chain from start to out; false unless the
// chain holds exactly count sectors, all starting inside the region.
bool ReadRawData(SectorRegion const& region, std::span<uint32_t const> table, uint32_t start, std::size_t count,
                 std::vector<uint8_t>& out);

// The compound file of one ART design, read from a copy of the whole file.
class CompoundFile {
public:
    explicit CompoundFile(std::span<uint8_t const> file) : m_file(file) {}

    // 0, kStatusNotCompoundFile, or CStitches::kStatusRefused when a sector of
    // the allocation table index cannot be read.
    int Open();

    // The stream whose directory name is name (or begins with it when
    // byPrefix), cut to its stored size; none when it is missing or unreadable.
    std::optional<std::vector<uint8_t>> ReadStream(std::u16string_view name, bool byPrefix = false) const;

private:
    std::span<uint8_t const> m_file;
    WCBFHeader m_header;
    std::vector<uint32_t> m_table;
    std::vector<uint32_t> m_miniTable;
    std::vector<uint8_t> m_directory;
    std::vector<uint8_t> m_miniStream;
};

// The summary values of the property set; zero when absent.
struct PropertiesARTFile {
    int32_t numberOfColours = 0;
    int32_t numberOfStops = 0;
    int32_t numberOfTrims = 0;
    int32_t numberOfStitches = 0;
    int32_t numberOfObjects = 0;
    double threadLength = 0;
    double bobbinLength = 0;
    int32_t designLeft = 0;
    int32_t designRight = 0;
    double designUp = 0;
    double designDown = 0;
    int32_t endX = 0;
    int32_t endY = 0;
    double designHeight = 0;
    double designWidth = 0;
    std::vector<uint8_t> sequenceList;
    std::string embroideryMachineName;
    bool hasUnitConversion = false;
    double unitConversion[2] = {};
    int32_t numberOfFunctions = 0;
    int32_t shortestStitch = 0;
    int32_t longestStitch = 0;
    int32_t jumpsPerTrim = 0;
    int32_t numberOfColourChanges = 0;
    int32_t fileType = 0;
    int32_t fabricThickness = 0;
};

// The offset of the section in a property set stream; none when the stream
// header is not that of the design summary.
std::optional<uint32_t> VerifyPropertySetStreamHeader(std::span<uint8_t const> stream);
// Fills properties from the named values of the stream's one section; false
// when the section does not fit the stream.
bool ReadPropertySet(std::span<uint8_t const> stream, PropertiesARTFile& properties);
// A property identifier and the offset of its value within the section.
struct PROPERTYIDOFFSET {
    uint32_t id;
    uint32_t offset;
};
// The pairs of a section whose pair count fits it, ordered by identifier
// (pairs of one identifier keep their order), so each lookup is a search.
std::vector<PROPERTYIDOFFSET> ReadIdOffsetPairs(std::span<uint8_t const> section);
// The value offset of the first pair of identifier id.
std::optional<uint32_t> GetIdValuePairOffset(std::span<PROPERTYIDOFFSET const> pairs, uint32_t id);
// The value at offset when it lies inside the section and has the type (32-bit integer, 64-bit float).
bool ReadPropertyValueLong(std::span<uint8_t const> section, uint32_t offset, int32_t& value);
bool ReadPropertyValueDouble(std::span<uint8_t const> section, uint32_t offset, double& value);

// Each byte rotated left by one bit, then combined with the key.
inline constexpr uint8_t kCryptKey = 0xA5;
void ARTCrypt_Decrypt(std::span<uint8_t> bytes);

// The descrambled "Contents" stream: a 32-bit size, then zlib data. False
// without zlib, for a size beyond what the data can inflate to, or when zlib fails.
bool DecompressData(std::span<uint8_t const> descrambled, Brodix::StitchFormats::IZLib* zlib,
                    std::vector<uint8_t>& block);

inline constexpr std::size_t kContentHeaderSize = 116;
// The content block's header fields, once its signature and checksum hold.
struct ContentHeader {
    int32_t pointCount = 0;
    uint32_t dataOffset = 0;
    uint32_t dataLength = 0;
};
// None unless the block carries the signature, header size, checksum and a
// coded-data extent inside the block.
std::optional<ContentHeader> VerifyContentDataHeader(std::span<uint8_t const> block);

// One axis of the predictive coder.
struct AxisState {
    int32_t position = 0;
    int32_t delta = 0;
    int32_t sign = 1;
    int32_t magnitude = 0;
};

// An extension value at pos: one byte, or seven bits and a second byte when
// bit 7 is set and a second byte exists. False when pos is past the data.
bool DecodePackedByte(std::span<uint8_t const> data, std::size_t& pos, uint32_t& value);
// Applies one code to the axis and returns its new position.
int32_t DecodeToSignedValue(uint32_t code, AxisState& state);
// Decodes at most count points; returns how many were stored.
std::size_t DecodingStitchData(std::span<uint8_t const> data, std::vector<int32_t>& xs, std::vector<int32_t>& ys,
                               std::size_t count);

} // namespace BerninaART
