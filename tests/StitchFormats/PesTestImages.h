// Builds small PES headers, card-data blocks and PEC files byte by byte for the
// Brother format tests, so each test shows the bytes that matter to it.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace PesTestImages {

using Bytes = std::vector<uint8_t>;

inline void PutWord(Bytes& out, int value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutLong(Bytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PutText(Bytes& out, char const* text)
{
    // A plain loop: gcc 12 warns falsely about insert() into an empty vector here.
    for (; *text != '\0'; ++text)
        out.push_back(static_cast<uint8_t>(*text));
}

// A text field: absent, short (length byte) or long (255 and a 16-bit length).
inline void PutTextField(Bytes& out, std::optional<std::string> const& text)
{
    if (!text) {
        out.push_back(0);
        return;
    }
    if (text->size() < 255) {
        out.push_back(static_cast<uint8_t>(text->size()));
    } else {
        out.push_back(255);
        PutWord(out, static_cast<int>(text->size()));
    }
    out.insert(out.end(), text->begin(), text->end());
}

// The values a header can carry; each version writes the ones it has.
struct Header {
    int version = 1;
    uint32_t cardDataPos = 0;
    int numHoops = 1;
    int hoopCode = 0;        // versions 1 and 90
    int extentA = 100;
    int extentB = 130;
    int rotation = 0;
    bool custom = false;     // versions 60 and later
    int customValues[4] = {0, 0, 0, 0};
    char const* machineClass = "01";   // version 90
    int hoopWidth = 100;     // version 90 stored hoop
    int hoopHeight = 100;
    int customWidth = 170;   // version 90 custom grid
    int customHeight = 170;
    int machineHoopCode = 0;
    std::optional<std::string> text[5];
};

inline void PutKeptValues(Bytes& out)
{
    for (int value : {7, 19, 0, 1, 0, 25, 0, 0})
        PutWord(out, value);
}

inline void PutTextFields(Bytes& out, Header const& h)
{
    for (auto const& field : h.text)
        PutTextField(out, field);
}

inline Bytes EncodeHeader(Header const& h)
{
    Bytes out;
    std::string digits = std::to_string(h.version % 10000);
    PutText(out, ("#PES" + std::string(4 - digits.size(), '0') + digits).c_str());
    PutLong(out, h.cardDataPos);
    int const v = h.version;
    if (v == 1) {
        PutWord(out, h.hoopCode);
        PutWord(out, 0);
    } else if (v == 20) {
        PutWord(out, h.extentA);
        PutWord(out, h.extentB);
        PutWord(out, h.rotation);
        PutKeptValues(out);
    } else if (v == 25 || v == 30) {
        PutWord(out, h.numHoops);
        PutWord(out, 0);
        PutWord(out, h.extentA);
        PutWord(out, h.extentB);
        PutWord(out, h.rotation);
        PutKeptValues(out);
    } else if (v >= 40 && v < 60) {
        PutWord(out, h.numHoops);
        PutWord(out, 0);
        PutTextFields(out, h);
        PutWord(out, 0);
        PutWord(out, h.extentA);
        PutWord(out, h.extentB);
        PutWord(out, h.rotation);
        PutKeptValues(out);
    } else if (v >= 60 && v < 80) {
        PutWord(out, h.numHoops);
        PutWord(out, 0);
        PutTextFields(out, h);
        PutWord(out, 0);
        PutWord(out, h.custom ? 1 : 0);
        PutWord(out, h.extentA);
        PutWord(out, h.extentB);
        PutWord(out, h.rotation);
        for (int value : h.customValues)
            PutWord(out, value);
        PutWord(out, 0);
        PutKeptValues(out);
    } else if (v == 80) {
        PutWord(out, h.numHoops);
        PutWord(out, 0);
        PutTextFields(out, h);
        PutWord(out, 0);
        PutWord(out, h.custom ? 1 : 0);
        PutWord(out, h.extentA);
        PutWord(out, h.extentB);
        PutWord(out, h.rotation);
        PutWord(out, 0);
        for (int value : h.customValues)
            PutWord(out, value);
        PutWord(out, 0);
        PutKeptValues(out);
        PutTextField(out, std::string("sixth"));
    } else {
        PutWord(out, h.numHoops);
        PutText(out, h.machineClass);
        PutTextFields(out, h);
        PutWord(out, 0);
        PutWord(out, h.custom ? 1 : 0);
        PutWord(out, h.hoopCode);
        PutWord(out, h.hoopWidth);
        PutWord(out, h.hoopHeight);
        PutWord(out, 39);
        PutWord(out, 39);
        PutTextField(out, std::string("sixth"));
        PutWord(out, h.rotation);
        PutWord(out, h.customWidth);
        PutWord(out, h.customHeight);
        PutWord(out, h.machineHoopCode);
        out.resize(out.size() + 63, 0);
    }
    return out;
}

// A stitch section: byte count, signature, scale 0xFF, 16-bit extents, codes.
inline Bytes Section(Bytes const& codes, int width = 100, int height = 50)
{
    Bytes out;
    PutWord(out, static_cast<int>(codes.size()) + 9);
    out.push_back('1');
    out.push_back(0xFF);
    out.push_back(0xF0);
    PutWord(out, width);
    PutWord(out, height);
    out.insert(out.end(), codes.begin(), codes.end());
    return out;
}

// One card-data block of a PES file.
struct Block {
    Bytes codes;                  // the codes of its stitch section, end code included
    std::vector<int> colours;     // palette indices in sewing order
    int hoopPosition = 0;
    int gridColumn = 0;
    int gridRow = 0;
    int offsetX = 0;              // two-position hoop only
    int offsetY = 0;
    int thumbnailWidth = 2;       // bytes per row
    int thumbnailHeight = 3;
    int width = 100;
    int height = 50;
};

inline Bytes EncodeBlock(Block const& b)
{
    Bytes out(48, 0);
    out[34] = static_cast<uint8_t>(b.thumbnailWidth);
    out[35] = static_cast<uint8_t>(b.thumbnailHeight);
    out[36] = static_cast<uint8_t>(b.hoopPosition);
    out[38] = static_cast<uint8_t>(b.gridColumn);
    out[39] = static_cast<uint8_t>(b.gridRow);
    out[41] = static_cast<uint8_t>(b.offsetX);
    out[42] = static_cast<uint8_t>(b.offsetX >> 8);
    out[43] = static_cast<uint8_t>(b.offsetY);
    out[44] = static_cast<uint8_t>(b.offsetY >> 8);
    out.push_back(static_cast<uint8_t>(b.colours.size() - 1));
    for (int index : b.colours)
        out.push_back(static_cast<uint8_t>(index));
    out.resize(512, 0x20);
    Bytes const section = Section(b.codes, b.width, b.height);
    out.insert(out.end(), section.begin(), section.end());
    // A design thumbnail and one per colour, filled with a byte no code uses.
    out.resize(out.size() + (b.colours.size() + 1) * b.thumbnailWidth * b.thumbnailHeight, 0xC3);
    return out;
}

// A PES file: the header with its card-data offset filled in, then the blocks.
inline Bytes EncodePes(Header h, std::vector<Block> const& blocks)
{
    h.cardDataPos = static_cast<uint32_t>(EncodeHeader(h).size());
    Bytes out = EncodeHeader(h);
    for (Block const& b : blocks) {
        Bytes const block = EncodeBlock(b);
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

// A PEC file: magic, label, thumbnail header, the 384-byte colour block, the section at 520.
inline Bytes EncodePec(std::vector<int> const& colours, Bytes const& codes)
{
    Bytes out;
    PutText(out, "#PEC0001");
    out.resize(8 + 32 + 16, 0x20);
    out.push_back(static_cast<uint8_t>(colours.size() - 1));
    for (int index : colours)
        out.push_back(static_cast<uint8_t>(index));
    out.resize(520, 0x20);
    Bytes const section = Section(codes);
    out.insert(out.end(), section.begin(), section.end());
    return out;
}

} // namespace PesTestImages
