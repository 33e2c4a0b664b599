// The one UTF-8 codec of the system. Decoding takes only well-formed
// sequences: shortest form, complete, no surrogates, nothing above U+10FFFF.
// What becomes of the bytes it refuses is each caller's choice, so a caller
// keeps its own fallback and every caller agrees on what is valid.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Brodix::Utf8 {

inline constexpr char32_t kLargestCodePoint = 0x10FFFF;
inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::string_view kReplacementBytes = "\xEF\xBF\xBD";

// A Unicode scalar value: at most U+10FFFF and not a surrogate.
constexpr bool IsScalarValue(char32_t c)
{
    return c <= kLargestCodePoint && (c < 0xD800 || c > 0xDFFF);
}

struct Decoded {
    char32_t codePoint;
    std::size_t length;   // bytes taken, 1 to 4
};

// The well-formed sequence at the start of bytes. Nothing for an empty input,
// a stray continuation byte, a byte that never leads (C0, C1, F5 to FF), a
// missing or bad continuation byte, an overlong form, a surrogate or a value
// above U+10FFFF.
std::optional<Decoded> DecodeOne(std::string_view bytes);

// Appends the UTF-8 form of c. False, with nothing appended, when c is not a
// scalar value: the encoder never writes a surrogate.
[[nodiscard]] bool Encode(char32_t c, std::string& out);

} // namespace Brodix::Utf8
