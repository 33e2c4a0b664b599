#include "Fundamentals/TextConversion.h"
#include <gtest/gtest.h>
#include <unistd.h>
#include <string>

using namespace Brodix;

TEST(Win1252, ToUnicodeMapsTheHighBlockAndUndefinedBytes)
{
    EXPECT_EQ(Win1252ToUnicode("\x80\x81\x99\x9F\xE9" "a"), std::wstring(L"\u20AC?\u2122\u0178\u00E9a"));
    EXPECT_EQ(Win1252ToUnicode("ab\0cd"), L"ab");
    EXPECT_EQ(Win1252ToUnicode(nullptr), L"");
}

TEST(Win1252, FromUnicodeUsesTheTableOrTheReplacement)
{
    struct Case {
        std::wstring text;
        int replacement;
        std::string expected;
    } const cases[] = {
        {L"\u20AC\u2122\u0178", '?', "\x80\x99\x9F"},
        {L"a\u00E9\u00A0", '?', "a\xE9\xA0"},
        {L"\u4E2D", '?', "?"},
        {L"\u4E2D", -1, ""},
        {L"\u0081", '?', "?"},   // undefined slots never come back as bytes
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, '#', "#"},
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, -1, ""},
    };
    for (Case const& c : cases)
        EXPECT_EQ(UnicodeToWin1252(c.text.c_str(), c.replacement), c.expected);
    EXPECT_EQ(UnicodeToWin1252(nullptr, '?'), "");
}

// What the strict codec refuses comes through byte by byte as Latin-1.
TEST(Utf8, ExpandFollowsLeadBytesAndNeverReadsPastTheInput)
{
    struct Case {
        std::string utf8;
        std::u32string expected;
    } const cases[] = {
        {"\xC3\xA9", U"\u00E9"},
        {"\xA9", U"\u00A9"},
        {"\xE2\x82\xAC", U"\u20AC"},
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
        {"\xFF" "a", U"\u00FF" "a"},
        {"a\xE2\x82", U"a\u00E2\u0082"},   // cut-off sequence: each byte alone
        {"\xF0", U"\u00F0"},
        {"\xC3" "A", U"\u00C3" "A"},                             // bad continuation byte
        {"\xC0\xAF", U"\u00C0\u00AF"},                           // overlong "/"
        {"\xE0\x80\xAF", U"\u00E0\u0080\u00AF"},                 // overlong "/" in three bytes
        {"\xED\xA0\x80", U"\u00ED\u00A0\u0080"},                 // surrogate
        {"\xF4\x90\x80\x80", U"\u00F4\u0090\u0080\u0080"},       // above U+10FFFF
        {"caf\xE9 \xC3\xA9", U"caf\u00E9 \u00E9"},                // Latin-1 beside UTF-8
        {std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
    };
    for (Case const& c : cases) {
        EXPECT_EQ(ExpandUtf8ToU32(c.utf8), c.expected);
        EXPECT_EQ(ExpandUtf8(c.utf8), std::wstring(c.expected.begin(), c.expected.end()));
    }
}

TEST(Utf8, AppendAndRoundTripThroughThePlatformString)
{
    std::string out;
    AppendUtf8(0x1F600, out);
    EXPECT_EQ(out, "\xF0\x9F\x98\x80");
    // No surrogate and nothing above U+10FFFF is ever written.
    for (unsigned int const invalid : {0xD800u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) {
        std::string replaced;
        AppendUtf8(invalid, replaced);
        EXPECT_EQ(replaced, "\xEF\xBF\xBD") << invalid;
    }
    // Text read as 16-bit units keeps a surrogate pair's character; a lone
    // surrogate becomes U+FFFD.
    struct Case {
        std::wstring text;
        std::string utf8;
    } const cases[] = {
        {{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
        {{L'a', wchar_t(0xD83D), L'b'}, "a\xEF\xBF\xBD" "b"},
        {{wchar_t(0xDE00), wchar_t(0xD83D)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {{wchar_t(0xD83D)}, "\xEF\xBF\xBD"},
    };
    for (Case const& c : cases)
        EXPECT_EQ(makeNSString(c.text.c_str()), c.utf8);
    std::wstring const text = L"Ros\u00E9 \u20AC \U0001F600";
    EXPECT_EQ(makeWString(makeNSString(text.c_str())), text);
    EXPECT_EQ(makeNSString(nullptr), "");
    EXPECT_EQ(makeWString(static_cast<char const*>(nullptr)), L"");
}

TEST(Utf8, WfopenOpensUtf8Paths)
{
    std::string const path = ::testing::TempDir() + std::to_string(::getpid()) + "-caf\xC3\xA9.txt";
    std::FILE* file = wfopen(ExpandUtf8(path).c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(wfopen(nullptr, L"rb"), nullptr);
}
