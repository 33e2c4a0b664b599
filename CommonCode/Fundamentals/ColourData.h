// The fixed-size thread colour record. Its field widths are part of the VP3
// and thread-database code, so they never change.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Brodix {

struct ColourData {
    static constexpr int kMaxColours = 10;
    static constexpr std::size_t kSerialNumberSize = 14;
    static constexpr std::size_t kThreadNameSize = 30;
    static constexpr std::size_t kManufacturerNameSize = 40;

    uint32_t numberColours = 0;
    uint32_t colours[kMaxColours] = {};   // 0x00BBGGRR; element 0 is the main colour
    uint32_t materialType = 0;
    uint32_t threadWeight = 0;
    bool variegated = false;
    uint32_t lengths[kMaxColours] = {};
    char serialNumber[kSerialNumberSize] = {};
    char threadName[kThreadNameSize] = {};
    char manufacturerName[kManufacturerNameSize] = {};

    // ColourData{} is all zero; this is the record a new thread starts from.
    static ColourData Default()
    {
        ColourData c;
        c.numberColours = 1;
        c.materialType = 8;
        c.threadWeight = 5;
        c.lengths[0] = 1;
        return c;
    }

    friend bool operator==(ColourData const& a, ColourData const& b)
    {
        return a.numberColours == b.numberColours
            && std::memcmp(a.colours, b.colours, sizeof a.colours) == 0
            && a.materialType == b.materialType && a.threadWeight == b.threadWeight
            && a.variegated == b.variegated
            && std::memcmp(a.lengths, b.lengths, sizeof a.lengths) == 0
            && std::memcmp(a.serialNumber, b.serialNumber, sizeof a.serialNumber) == 0
            && std::memcmp(a.threadName, b.threadName, sizeof a.threadName) == 0
            && std::memcmp(a.manufacturerName, b.manufacturerName, sizeof a.manufacturerName) == 0;
    }
};

namespace ColourDataEx {

// Copies at most N-1 characters and zero-fills the rest of the field, so the
// field is always terminated and never carries stale bytes.
template <std::size_t N>
void Copy(char (&field)[N], char const* text)
{
    std::size_t i = 0;
    if (text != nullptr)
        for (; i + 1 < N && text[i] != '\0'; ++i)
            field[i] = text[i];
    for (; i < N; ++i)
        field[i] = '\0';
}

} // namespace ColourDataEx
} // namespace Brodix
