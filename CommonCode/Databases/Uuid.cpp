#include "Databases/Uuid.h"
#include <array>
#include <cstdint>
#include <random>

namespace Brodix::Databases {

std::string MakeUuidV4()
{
    // The system's entropy source, not a seeded generator: two processes making
    // rows at the same moment must not repeat each other.
    static thread_local std::random_device source;
    std::array<uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t const word = source();
        for (std::size_t j = 0; j < 4; ++j)
            bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);   // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);   // the RFC 4122 variant

    constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace Brodix::Databases
