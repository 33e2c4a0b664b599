// The strict UTF-8 codec against the classic well-formed and malformed
// sequences, with the expected values written out by hand.
#include "Fundamentals/Utf8.h"
#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace Brodix;

namespace {

struct DecodeCase {
    char const* name;
    std::string bytes;
    std::optional<char32_t> codePoint;   // nothing: refused
    std::size_t length;
};

DecodeCase const kDecodeCases[] = {
    // Well formed, at each length and at the edges of each length.
    {"NUL", std::string(1, '\0'), U'\0', 1},
    {"last one-byte", "\x7F", 0x7F, 1},
    {"first two-byte", "\xC2\x80", 0x80, 2},
    {"e acute", "\xC3\xA9", 0xE9, 2},
    {"last two-byte", "\xDF\xBF", 0x7FF, 2},
    {"first three-byte", "\xE0\xA0\x80", 0x800, 3},
    {"euro", "\xE2\x82\xAC", 0x20AC, 3},
    {"last before surrogates", "\xED\x9F\xBF", 0xD7FF, 3},
    {"first after surrogates", "\xEE\x80\x80", 0xE000, 3},
    {"noncharacter is still UTF-8", "\xEF\xBF\xBE", 0xFFFE, 3},
    {"last three-byte", "\xEF\xBF\xBF", 0xFFFF, 3},
    {"first four-byte", "\xF0\x90\x80\x80", 0x10000, 4},
    {"grinning face", "\xF0\x9F\x98\x80", 0x1F600, 4},
    {"last code point", "\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
    {"only the first sequence", "a\xC3\xA9", U'a', 1},
    // Stray continuation bytes and bytes that never lead.
    {"empty", "", std::nullopt, 0},
    {"first continuation byte", "\x80", std::nullopt, 0},
    {"last continuation byte", "\xBF", std::nullopt, 0},
    {"C0 never leads", "\xC0\x80", std::nullopt, 0},
    {"C1 never leads", "\xC1\xBF", std::nullopt, 0},
    {"F5 never leads", "\xF5\x80\x80\x80", std::nullopt, 0},
    {"F8 five-byte lead", "\xF8\x88\x80\x80\x80", std::nullopt, 0},
    {"FC six-byte lead", "\xFC\x84\x80\x80\x80\x80", std::nullopt, 0},
    {"FE", "\xFE", std::nullopt, 0},
    {"FF", "\xFF", std::nullopt, 0},
    // Bad or missing continuation bytes.
    {"two-byte with ASCII second", "\xC3" "A", std::nullopt, 0},
    {"two-byte with lead second", "\xC3\xC3", std::nullopt, 0},
    {"three-byte with ASCII third", "\xE2\x82" "A", std::nullopt, 0},
    {"four-byte with bad last", "\xF0\x9F\x98\xC0", std::nullopt, 0},
    {"two-byte cut short", "\xC3", std::nullopt, 0},
    {"three-byte cut short", "\xE2\x82", std::nullopt, 0},
    {"four-byte cut short", "\xF0\x9F\x98", std::nullopt, 0},
    // Overlong forms.
    {"overlong slash in two", "\xC0\xAF", std::nullopt, 0},
    {"overlong slash in three", "\xE0\x80\xAF", std::nullopt, 0},
    {"overlong slash in four", "\xF0\x80\x80\xAF", std::nullopt, 0},
    {"overlong NUL in two", "\xC0\x80", std::nullopt, 0},
    {"largest overlong three", "\xE0\x9F\xBF", std::nullopt, 0},
    {"largest overlong four", "\xF0\x8F\xBF\xBF", std::nullopt, 0},
    // Surrogates, alone and as a CESU-8 pair.
    {"first high surrogate", "\xED\xA0\x80", std::nullopt, 0},
    {"last high surrogate", "\xED\xAF\xBF", std::nullopt, 0},
    {"first low surrogate", "\xED\xB0\x80", std::nullopt, 0},
    {"last low surrogate", "\xED\xBF\xBF", std::nullopt, 0},
    {"surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", std::nullopt, 0},
    // Beyond U+10FFFF.
    {"U+110000", "\xF4\x90\x80\x80", std::nullopt, 0},
    {"largest four-byte form", "\xF7\xBF\xBF\xBF", std::nullopt, 0},
};

TEST(Utf8Codec, DecodesWellFormedSequencesAndRefusesMalformedOnes)
{
    for (DecodeCase const& c : kDecodeCases) {
        SCOPED_TRACE(c.name);
        auto const decoded = Utf8::DecodeOne(c.bytes);
        ASSERT_EQ(decoded.has_value(), c.codePoint.has_value());
        if (decoded) {
            EXPECT_EQ(static_cast<uint32_t>(decoded->codePoint), static_cast<uint32_t>(*c.codePoint));
            EXPECT_EQ(decoded->length, c.length);
        }
    }
}

TEST(Utf8Codec, EncodesScalarValuesInTheirShortestFormAndNothingElse)
{
    struct Case {
        char32_t codePoint;
        std::optional<std::string> bytes;   // nothing: refused
    } const cases[] = {
        {0x00, std::string(1, '\0')},
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0xD800, std::nullopt},
        {0xDBFF, std::nullopt},
        {0xDC00, std::nullopt},
        {0xDFFF, std::nullopt},
        {0x110000, std::nullopt},
        {0x7FFFFFFF, std::nullopt},
        {0xFFFFFFFF, std::nullopt},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(static_cast<uint32_t>(c.codePoint));
        std::string out = "x";
        bool const encoded = Utf8::Encode(c.codePoint, out);
        EXPECT_EQ(encoded, c.bytes.has_value());
        EXPECT_EQ(out, "x" + c.bytes.value_or(""));
    }
    std::string replacement;
    ASSERT_TRUE(Utf8::Encode(Utf8::kReplacementCharacter, replacement));
    EXPECT_EQ(replacement, Utf8::kReplacementBytes);
}

// Every scalar value survives encoding and decoding, and every encoded form
// is the one sequence the decoder takes whole.
TEST(Utf8Codec, EveryScalarValueRoundTrips)
{
    for (char32_t c = 0; c <= Utf8::kLargestCodePoint; ++c) {
        std::string bytes;
        if (!Utf8::Encode(c, bytes)) {
            ASSERT_FALSE(Utf8::IsScalarValue(c)) << static_cast<uint32_t>(c);
            continue;
        }
        auto const decoded = Utf8::DecodeOne(bytes);
        ASSERT_TRUE(decoded.has_value()) << static_cast<uint32_t>(c);
        ASSERT_EQ(decoded->codePoint, c);
        ASSERT_EQ(decoded->length, bytes.size());
    }
}

} // namespace
