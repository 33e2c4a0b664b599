// Little-endian fields of the machine formats, read from bytes whose bounds
// the caller has already checked.
#pragma once
#include <cstdint>
#include <cstring>

namespace ByteOrder {

inline uint16_t Le16(uint8_t const* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t Le32(uint8_t const* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline double LeDouble(uint8_t const* p)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace ByteOrder
