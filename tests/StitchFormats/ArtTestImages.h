// Builds ART files byte by byte for the ART reader's tests and the load
// benchmark: a compound file with a mini stream, a summary property set, and
// a "Contents" stream whose points are coded by an encoder of the predictive
// coder that knows nothing of the reader. Programs that include this link
// ZLIB::ZLIB.
#pragma once
#include "StitchFormats/Art.h"
#include "StitchFormatsTesting.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ArtTestImages {

using Bytes = std::vector<uint8_t>;
namespace Art = BerninaART;
using StitchFormatsTesting::Put16;
using StitchFormatsTesting::Put32;

inline void Append32(Bytes& b, uint32_t v) { Put32(b, b.size(), v); }

inline void AppendDouble(Bytes& b, double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i)
        b.push_back(uint8_t(bits >> (8 * i)));
}

// ---- compound file writer: 512-byte sectors, 64-byte mini sectors ----

inline constexpr uint32_t kEnd = 0xFFFFFFFE;
inline constexpr uint32_t kFree = 0xFFFFFFFF;
inline constexpr uint32_t kTableMark = 0xFFFFFFFD;

struct CfbStream {
    std::u16string name;
    Bytes data;
};

struct Cfb {
    Bytes bytes;
    std::vector<uint32_t> starts;   // first sector of each stream, as listed
};

inline Cfb BuildCompoundFile(std::vector<CfbStream> const& streams, uint32_t cutoff = 4096)
{
    auto sectorsOf = [](std::size_t n, std::size_t size) { return (n + size - 1) / size; };
    Bytes mini;
    std::vector<uint32_t> miniTable;
    std::vector<uint32_t> starts(streams.size(), kEnd);
    std::vector<std::size_t> big;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        std::size_t const n = streams[i].data.size();
        if (n == 0)
            continue;
        if (n >= cutoff) {
            big.push_back(i);
            continue;
        }
        starts[i] = uint32_t(miniTable.size());
        std::size_t const count = sectorsOf(n, 64);
        for (std::size_t k = 0; k < count; ++k)
            miniTable.push_back(k + 1 < count ? uint32_t(miniTable.size() + 1) : kEnd);
        Bytes padded = streams[i].data;
        padded.resize(count * 64, 0);
        mini.insert(mini.end(), padded.begin(), padded.end());
    }
    std::size_t const directorySectors = sectorsOf((streams.size() + 1) * 128, 512);
    std::size_t const miniTableSectors = sectorsOf(miniTable.size() * 4, 512);
    std::size_t const miniSectors = sectorsOf(mini.size(), 512);
    std::size_t bigSectors = 0;
    for (std::size_t i : big)
        bigSectors += sectorsOf(streams[i].data.size(), 512);
    std::size_t tableSectors = 1;
    while (tableSectors * 128 < tableSectors + directorySectors + miniTableSectors + miniSectors + bigSectors)
        ++tableSectors;
    std::size_t const total = tableSectors + directorySectors + miniTableSectors + miniSectors + bigSectors;

    std::vector<uint32_t> table(tableSectors * 128, kFree);
    uint32_t next = 0;
    auto chain = [&](std::size_t count) {
        if (count == 0)
            return kEnd;
        uint32_t const first = next;
        for (std::size_t k = 0; k < count; ++k, ++next)
            table[next] = k + 1 < count ? next + 1 : kEnd;
        return first;
    };
    for (std::size_t k = 0; k < tableSectors; ++k)
        table[next++] = kTableMark;
    uint32_t const directoryStart = chain(directorySectors);
    uint32_t const miniTableStart = chain(miniTableSectors);
    uint32_t const miniStart = chain(miniSectors);
    for (std::size_t i : big)
        starts[i] = chain(sectorsOf(streams[i].data.size(), 512));

    Bytes file(512 + total * 512, 0);
    uint8_t const signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::memcpy(file.data(), signature, 8);
    Put16(file, 24, 0x3E);
    Put16(file, 26, 3);
    Put16(file, 28, 0xFFFE);
    Put16(file, 30, 9);
    Put16(file, 32, 6);
    Put32(file, 44, uint32_t(tableSectors));
    Put32(file, 48, directoryStart);
    Put32(file, 56, cutoff);
    Put32(file, 60, miniTableStart);
    Put32(file, 64, uint32_t(miniTableSectors));
    Put32(file, 68, kEnd);
    for (int i = 0; i < 109; ++i)
        Put32(file, 76 + 4 * i, std::size_t(i) < tableSectors ? uint32_t(i) : kFree);
    auto sectorAt = [](uint32_t k) { return 512 + std::size_t(k) * 512; };
    for (std::size_t i = 0; i < table.size(); ++i)
        Put32(file, sectorAt(uint32_t(i / 128)) + (i % 128) * 4, table[i]);
    for (std::size_t i = 0; i < miniTable.size(); ++i)
        Put32(file, sectorAt(miniTableStart + uint32_t(i / 128)) + (i % 128) * 4, miniTable[i]);
    std::copy(mini.begin(), mini.end(), file.begin() + std::ptrdiff_t(sectorAt(miniStart)));
    for (std::size_t i : big)
        std::copy(streams[i].data.begin(), streams[i].data.end(),
                  file.begin() + std::ptrdiff_t(sectorAt(starts[i])));

    auto writeEntry = [&](std::size_t index, std::u16string const& name, uint8_t type, uint32_t start,
                          uint32_t size) {
        std::size_t const at = sectorAt(directoryStart + uint32_t(index / 4)) + (index % 4) * 128;
        for (std::size_t k = 0; k < name.size(); ++k)
            Put16(file, at + 2 * k, name[k]);
        Put16(file, at + 64, uint16_t((name.size() + 1) * 2));
        file[at + 66] = type;
        Put32(file, at + 68, index < streams.size() ? uint32_t(index + 1) : kFree);   // right sibling
        Put32(file, at + 72, kFree);
        Put32(file, at + 76, index == 0 ? 1 : kFree);
        Put32(file, at + 116, start);
        Put32(file, at + 120, size);
    };
    writeEntry(0, u"Root Entry", 5, mini.empty() ? kEnd : miniStart, uint32_t(mini.size()));
    for (std::size_t i = 0; i < streams.size(); ++i)
        writeEntry(i + 1, streams[i].name, 2, starts[i], uint32_t(streams[i].data.size()));
    return {file, starts};
}

// For files of one table sector, which is sector 0, followed by the directory.
inline void SetTableEntry(Bytes& file, uint32_t sector, uint32_t value) { Put32(file, 512 + 4 * sector, value); }
inline std::size_t EntryAt(std::size_t index) { return 1024 + 128 * index; }

// ---- summary property set ----

struct Property {
    std::string name;
    uint16_t type;
    Bytes value;   // the payload after the type
};

inline Property Long(std::string name, int32_t v)
{
    Bytes b;
    Append32(b, uint32_t(v));
    return {std::move(name), 3, b};
}

inline Property Double(std::string name, double v)
{
    Bytes b;
    AppendDouble(b, v);
    return {std::move(name), 5, b};
}

inline Property Blob(std::string name, Bytes const& data, uint16_t type = 65)
{
    Bytes b;
    Append32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return {std::move(name), type, b};
}

inline Bytes UnitConversion(double u)
{
    Bytes b;
    AppendDouble(b, u);
    AppendDouble(b, u);
    return b;
}

struct Block {
    int32_t points;
    unsigned rgb;
};

inline Bytes SequenceList(std::vector<Block> const& blocks)
{
    Bytes list;
    for (Block const& block : blocks) {
        Bytes record(796, 0);
        Put32(record, 8, uint32_t(block.points));
        Put32(record, 792, block.rgb);
        list.insert(list.end(), record.begin(), record.end());
    }
    return list;
}

inline Bytes PropertySet(std::vector<Property> const& properties)
{
    uint8_t const summaryClass[] = {0x16, 0x2D, 0xE1, 0xD8, 0x20, 0x12, 0x99, 0x86,
                                    0x5A, 0x71, 0x91, 0x81, 0x89, 0x5C, 0x1B, 0x63};
    Bytes set;
    Put16(set, 0, 0xFFFE);
    Put16(set, 2, 0);
    Put32(set, 4, 0x00020A04);
    set.insert(set.end(), summaryClass, summaryClass + 16);
    Append32(set, 1);
    set.insert(set.end(), summaryClass, summaryClass + 16);
    Append32(set, 48);

    uint32_t const pairs = uint32_t(properties.size() + 1);
    Bytes dictionary;
    Append32(dictionary, uint32_t(properties.size()));
    for (std::size_t i = 0; i < properties.size(); ++i) {
        Append32(dictionary, uint32_t(i + 2));
        Append32(dictionary, uint32_t(properties[i].name.size() + 1));
        dictionary.insert(dictionary.end(), properties[i].name.begin(), properties[i].name.end());
        dictionary.push_back(0);
    }
    dictionary.resize((dictionary.size() + 3) / 4 * 4, 0);
    Bytes section(8 + 8 * pairs, 0);
    Put32(section, 8, 0);
    Put32(section, 12, uint32_t(section.size()));
    section.insert(section.end(), dictionary.begin(), dictionary.end());
    for (std::size_t i = 0; i < properties.size(); ++i) {
        Put32(section, 16 + 8 * i, uint32_t(i + 2));
        Put32(section, 20 + 8 * i, uint32_t(section.size()));
        Append32(section, properties[i].type);
        section.insert(section.end(), properties[i].value.begin(), properties[i].value.end());
        section.resize((section.size() + 3) / 4 * 4, 0);
    }
    Put32(section, 0, uint32_t(section.size()));
    Put32(section, 4, pairs);
    set.insert(set.end(), section.begin(), section.end());
    return set;
}

// ---- predictive coder, written from the format's description ----

struct AxisEncoder {
    int32_t position = 0, delta = 0, sign = 1, magnitude = 0;

    uint32_t CodeFor(int32_t target)
    {
        int32_t const d = target - position;
        int32_t const change = d - delta;
        uint32_t code;
        if (change >= -4 && change <= 3) {
            code = change >= 0 ? uint32_t(2 * change) : uint32_t(-2 * change - 1);
        } else {
            int32_t const newSign = d >= 0 ? 1 : -1;
            int32_t const newMagnitude = d >= 0 ? d : ~d;
            int32_t const v = newMagnitude - magnitude;
            uint32_t const size = uint32_t(v < 0 ? ~v : v);
            code = (size >> 1) << 4 | 0b1000 | (size & 1) << 2 | uint32_t(v < 0) << 1 | uint32_t(newSign != sign);
        }
        delta = d;
        position = target;
        sign = d >= 0 ? 1 : -1;
        magnitude = d >= 0 ? d : ~d;
        return code;
    }
};

inline void AppendPacked(Bytes& out, uint32_t e)
{
    if (e < 0x80) {
        out.push_back(uint8_t(e));
    } else {
        out.push_back(uint8_t(0x80 | (e & 0x7F)));
        out.push_back(uint8_t(e >> 7));
    }
}

struct Point {
    int32_t x, y;
};

inline Bytes EncodePoints(std::vector<Point> const& points)
{
    AxisEncoder ex, ey;
    Bytes out;
    for (Point const& p : points) {
        uint32_t const cx = ex.CodeFor(p.x);
        uint32_t const cy = ey.CodeFor(p.y);
        out.push_back(uint8_t((cx & 0xF) | (cy & 0xF) << 4));
        if (cx >= 8)
            AppendPacked(out, cx >> 4);
        if (cy >= 8)
            AppendPacked(out, cy >> 4);
    }
    return out;
}

inline Bytes ContentBlock(std::vector<Point> const& points, int32_t declared)
{
    Bytes const coded = EncodePoints(points);
    Bytes block(116, 0);
    Put32(block, 0, 0x193866DE);
    Put32(block, 4, 116);
    Put32(block, 16, 58275171);
    Put32(block, 20, uint32_t(declared));
    Put32(block, 24, 116);
    Put32(block, 28, uint32_t(coded.size()));
    int64_t sum = 0;
    for (int i = 0; i < 28; ++i)
        sum += uint32_t(block[4 * i] | block[4 * i + 1] << 8 | block[4 * i + 2] << 16 | block[4 * i + 3] << 24);
    Put32(block, 112, uint32_t(sum));
    block.insert(block.end(), coded.begin(), coded.end());
    return block;
}

// The stored stream: the inflated size, zlib data, every byte scrambled.
inline Bytes ContentsStream(Bytes const& block)
{
    uLongf length = compressBound(uLong(block.size()));
    Bytes packed(length);
    // An empty stream, which no reader takes, when zlib fails.
    if (compress(packed.data(), &length, block.data(), uLong(block.size())) != Z_OK)
        return {};
    packed.resize(length);
    Bytes stream;
    Append32(stream, uint32_t(block.size()));
    stream.insert(stream.end(), packed.begin(), packed.end());
    for (uint8_t& b : stream) {
        uint8_t const plain = b ^ Art::kCryptKey;
        b = uint8_t(plain >> 1 | plain << 7);
    }
    return stream;
}

struct ArtLayout {
    std::vector<Point> points;
    std::vector<Block> blocks;
    std::optional<double> unit = 0.1;   // one file unit is one design unit in x, half a unit in y
    std::optional<int32_t> longest = 50;
    Bytes aux = {1, 0, 0, 0, 0};
    std::optional<int32_t> declaredPoints;   // the points count of the content header
};

inline Bytes BuildArt(ArtLayout const& art)
{
    std::vector<Property> properties = {Blob("sequence list", SequenceList(art.blocks)),
                                        Blob("embroidery machine name", {'B', 'e', 'r', 'n', 'i', 'n', 'a', 0}, 30),
                                        Long("number of colours", int32_t(art.blocks.size())),
                                        Double("design width", 100.0)};
    if (art.unit)
        properties.push_back(Blob("unit conversion info", UnitConversion(*art.unit)));
    if (art.longest)
        properties.push_back(Long("longest stitch in design", *art.longest));
    Bytes const block = ContentBlock(art.points, art.declaredPoints.value_or(int32_t(art.points.size())));
    return BuildCompoundFile({{u"AUX_INFO", art.aux},
                              {u"\u0005WilcomDesignInformationXY", PropertySet(properties)},
                              {u"Contents", ContentsStream(block)}})
        .bytes;
}

} // namespace ArtTestImages
