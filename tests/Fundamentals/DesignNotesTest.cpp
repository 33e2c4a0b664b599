#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/FindAndReplace.h"
#include <gtest/gtest.h>
#include <vector>

using namespace Brodix;

TEST(DesignNotes, SplitAtTheFirstMarker)
{
    std::wstring notes, settings;
    SplitIntoNotesAndSettings(L"abcSettings:x=1Settings:y", notes, settings);
    EXPECT_EQ(notes, L"abc");
    EXPECT_EQ(settings, L"x=1Settings:y");
    SplitIntoNotesAndSettings(L"abc", notes, settings);
    EXPECT_EQ(notes, L"abc");
    EXPECT_EQ(settings, L"");
    std::wstring text = L"aSettings:b";
    SplitIntoNotesAndSettings(text, text, settings);   // output aliasing the input
    EXPECT_EQ(text, L"a");
    EXPECT_EQ(settings, L"b");
}

TEST(DesignNotes, CombineEscapesTheMarkerInBothHalves)
{
    EXPECT_EQ(CombineNotesAndSettings(L"see Settings: here", L""), L"see Settings; hereSettings:");
    EXPECT_EQ(CombineNotesAndSettings(L"n", L"a=Settings:"), L"nSettings:a=Settings;");
}

TEST(DesignNotes, MergeJoinsEachHalfWithALineFeed)
{
    struct Case {
        std::wstring first, second, expected;
    } const cases[] = {
        {L"A", L"B", L"A\nBSettings:"},
        {L"", L"B", L"B"},
        {L"A", L"", L"A"},
        {L"ASettings:s1", L"BSettings:s2", L"A\nBSettings:s1\ns2"},
        {L"Settings:s1", L"B", L"BSettings:s1"},
    };
    for (Case const& c : cases)
        EXPECT_EQ(MakeMergedNotes(c.first, c.second, false), c.expected) << c.first << " + " << c.second;
}

// The pairwise merge as a chain of whole-text operations, written out here on
// its own: split both texts at their first marker, join each half, escape.
std::wstring PairwiseMerge(std::wstring const& first, std::wstring const& second)
{
    if (second.empty())
        return first;
    if (first.empty())
        return second;
    std::wstring const marker = L"Settings:";
    auto half = [&](std::wstring const& text, bool settings) {
        auto const at = text.find(marker);
        if (at == std::wstring::npos)
            return settings ? std::wstring() : text;
        return settings ? text.substr(at + marker.size()) : text.substr(0, at);
    };
    auto join = [](std::wstring const& a, std::wstring const& b) {
        return a.empty() ? b : b.empty() ? a : a + L"\n" + b;
    };
    auto escape = [&](std::wstring text) {
        for (auto at = text.find(marker); at != std::wstring::npos; at = text.find(marker, at + 1))
            text[at + marker.size() - 1] = L';';
        return text;
    };
    return escape(join(half(first, false), half(second, false))) + marker
        + escape(join(half(first, true), half(second, true)));
}

TEST(MergedNotes, JoinsOnceWhatPairwiseMergesGiveInTurn)
{
    std::vector<std::vector<std::wstring>> const chains = {
        {},
        {L""},
        {L"only"},
        {L"onlySettings:kept Settings: as is"},
        {L"", L"a", L"", L"b", L"c"},
        {L"aSettings:s1", L"b", L"Settings:s3", L"dSettings:s4Settings:s5"},
        {L"Settings:", L"x", L"Settings:"},
        {L"Settings; and Settings:", L"Settings:Settings:", L"line\nbreak"},
        {L"a", L"a", L"a", L"a", L"a", L"a"},
    };
    for (auto const& chain : chains) {
        std::wstring expected;
        CMergedNotes merged;
        for (std::wstring const& text : chain) {
            expected = PairwiseMerge(expected, text);
            merged.Add(text);
        }
        EXPECT_EQ(merged.Text(), expected) << testing::PrintToString(chain);
    }
}

TEST(DesignNotes, ConvertNewLinesFoldsEveryBreakForm)
{
    EXPECT_EQ(ConvertNewLines(L"a\r\nb\rc", L"\n"), L"a\nb\nc");
    EXPECT_EQ(ConvertNewLines(L"a\n\rb", L"\n"), L"a\nb");
    EXPECT_EQ(ConvertNewLines(L"1\u000B2\u000C3\u00854\u20285\u20296", L"|"), L"1|2|3|4|5|6");
    EXPECT_EQ(ConvertNewLines(L"", L"\n"), L"");
    EXPECT_EQ(ConvertNewLines(nullptr, L"\n"), L"");
}

TEST(FindAndReplace, ResumesAfterTheInsertedText)
{
    std::string text = "aaa";
    EXPECT_EQ(findAndReplace(text, std::string("a"), std::string("aa")), 3u);
    EXPECT_EQ(text, "aaaaaa");
    std::string path = "a////b";
    EXPECT_EQ(findAndReplace(path, std::string("//"), std::string("/")), 2u);
    EXPECT_EQ(path, "a//b");
    EXPECT_EQ(findAndReplace(path, std::string(""), std::string("x")), 0u);
}
