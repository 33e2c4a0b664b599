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
    out.insert(out.end(), text, text + std::strlen(text));
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

} // namespace PesTestImages
