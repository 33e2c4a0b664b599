#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/FindAndReplace.h"
#include <gtest/gtest.h>

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
