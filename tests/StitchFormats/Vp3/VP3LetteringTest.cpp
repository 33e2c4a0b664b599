// Texts, font characters and embedded SPX objects in VP3 files: where the
// lettering lands, what a text or character that cannot be used does to the
// rest of the file, and embedded SPX objects when no SPX reader library is
// set up (this program installs no settings provider). With the library,
// see Spx/SpxLibraryTest.cpp.
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"
#include "Vp3TestReading.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;

TEST(Vp3Lettering, CharactersArePlacedByTheirOwnTransformsNotTheTexts)
{
    CSimpleDesign design;
    ASSERT_EQ(ReadOne(File({LetteringText()}), design), kStatusOK);
    EXPECT_EQ(Points(design), kLetteringPoints);
    ASSERT_EQ(design.GetColourCount(), 4u);
    EXPECT_EQ(design.GetColour(0).colours[0], 0x0000FFu);
    EXPECT_EQ(design.GetColour(2).colours[0], 0xFF0000u);
    EXPECT_EQ(design.GetColour(3).colours[0], 0x090909u);
}

TEST(Vp3Lettering, ATextIsADesignOfItsOwnWithItsNotes)
{
    std::vector<std::shared_ptr<IDesign>> designs;
    ASSERT_EQ(ReadMany(File({PlainDesign(), LetteringText(L"Hello")}, L"root"), designs), kStatusOK);
    ASSERT_EQ(designs.size(), 2u);
    EXPECT_EQ(Points(*designs[0]), kPlainDesignPoints);
    EXPECT_EQ(Points(*designs[1]), kLetteringPoints);
    EXPECT_EQ(designs[1]->GetDesignNotes(), L"Hello");

    // Inside a sequence, the text joins the sequence's one design, notes and all.
    designs.clear();
    ASSERT_EQ(ReadMany(File({Block(4, SequenceBody({LetteringText(L"Hello"), PlainDesign()}))}), designs), kStatusOK);
    ASSERT_EQ(designs.size(), 1u);
    std::vector<Point> both = kLetteringPoints;
    both.insert(both.end(), kPlainDesignPoints.begin(), kPlainDesignPoints.end());
    EXPECT_EQ(Points(*designs[0]), both);
    EXPECT_EQ(designs[0]->GetDesignNotes(), L"Hello");
}

struct LetteringCase {
    char const* name;
    Bytes file;
    unsigned int status;
    std::vector<Point> points;
};

Bytes Character(std::vector<Bytes> const& blocks, unsigned version = 0)
{
    return Block(0x11, FontCharacterBody(blocks, 1000, 0), version);
}

Bytes GoodCharacter() { return Character({LetteringStitchBlock(PlainColour(1, 2, 3))}); }

// GoodCharacter in a text at (0, 0).
std::vector<Point> const kGoodCharacterPoints = {{10, 0, C}, {15, 0, N}, {15, 3, N}};

Bytes Text(std::vector<Bytes> const& characters, unsigned version = 0)
{
    TextFields text;
    text.characters = characters;
    return Block(0x13, TextBody(text), version);
}

// A text whose body is changed after it was built.
Bytes PatchedText(std::vector<Bytes> const& characters, std::function<void(TextFields&)> change,
                  std::function<void(Bytes&)> patch = nullptr)
{
    TextFields text;
    text.characters = characters;
    change(text);
    Bytes body = TextBody(text);
    if (patch)
        patch(body);
    return Block(0x13, body);
}

// Where the text's fields sit in TextBody: the placement (centre, flags,
// rotation and extents in 35 bytes, the notes, then 23 bytes of settings,
// matrix, codes and options), the extra data flag and its count, the
// producer (2 + 48), the unused value, then the first counted block.
constexpr std::size_t kNotesCountAt = 35;
constexpr std::size_t kExtraDataFlagAt = kNotesCountAt + 2 + 23;
constexpr std::size_t kFirstSkippedCountAt = kExtraDataFlagAt + 1 + 50 + 4;

std::vector<LetteringCase> LetteringCases()
{
    Bytes const badColour = [] {
        StitchBlockFields block;
        block.colour = ByteBuilder().u8(0).u8(0);
        block.data = {0x01, 0x01};
        return Block(5, StitchBlockBody(block));
    }();
    StitchBlockFields badCode;
    badCode.data = {0x01, 0x00, 0x80, 0x04};
    return {
        {"text without characters", File({Text({})}), kStatusNoDesign, {}},
        {"character without blocks is dropped with its text", File({PlainDesign(), Text({Character({})})}),
         kStatusOK, kPlainDesignPoints},
        {"block of another class in a text", File({Text({LetteringStitchBlock(PlainColour(0, 0, 0)), GoodCharacter()})}),
         kStatusUnexpectedClass, kGoodCharacterPoints},
        {"character of version 1", File({Text({Character({LetteringStitchBlock(PlainColour(0, 0, 0))}, 1),
                                               GoodCharacter()})}),
         kStatusUnreadable, kGoodCharacterPoints},
        {"text of version 1", File({Text({GoodCharacter()}, 1), PlainDesign()}), kStatusUnreadable,
         kPlainDesignPoints},
        {"block of another class in a character", File({Text({Character({Block(9, {1, 2}),
                                                                          LetteringStitchBlock(PlainColour(1, 2, 3))})})}),
         kStatusUnexpectedClass, kGoodCharacterPoints},
        {"bad colour ends a character's blocks", File({Text({Character({LetteringStitchBlock(PlainColour(1, 2, 3)),
                                                                        badColour,
                                                                        LetteringStitchBlock(PlainColour(4, 5, 6))})})}),
         kStatusOK, kGoodCharacterPoints},
        {"bad stitch code", File({Text({Character({Block(5, StitchBlockBody(badCode))})})}), kStatusBadData,
         {{10, 0, C}, {11, 0, N}}},
        {"extra data is skipped", File({PatchedText({GoodCharacter()}, [](TextFields& t) {
             t.extraData = {0x80, 0x04, 0x00, 0x13, 0x00};
         })}),
         kStatusOK, kGoodCharacterPoints},
        {"more characters than the text holds", File({PatchedText({GoodCharacter()}, [](TextFields&) {}, [](Bytes& b) {
             b[b.size() - GoodCharacter().size() - 2] = 0xFF;
         })}),
         kStatusUnexpectedClass, kGoodCharacterPoints},
        // A count that runs past the text makes it unreadable; the next block is still read.
        {"extra data past the text", File({PatchedText({GoodCharacter()}, [](TextFields& t) { t.extraData = {1}; },
                                                       [](Bytes& b) { b[kExtraDataFlagAt + 1] = 0xFF; }),
                                           PlainDesign()}),
         kStatusUnreadable, kPlainDesignPoints},
        {"counted block past the text", File({PatchedText({GoodCharacter()}, [](TextFields&) {},
                                                          [](Bytes& b) { b[kFirstSkippedCountAt] = 0x7F; }),
                                              PlainDesign()}),
         kStatusUnreadable, kPlainDesignPoints},
        {"notes past the text", File({PatchedText({GoodCharacter()}, [](TextFields&) {},
                                                  [](Bytes& b) { b[kNotesCountAt] = 0xFF; }),
                                      PlainDesign()}),
         kStatusUnreadable, kPlainDesignPoints},
        // No settings provider here, so no SPX reader: the object stays, empty.
        {"SPX object without the library", File({Block(0x22, SpxBody(SpxPoints({{kSpxNeedle, 0, 0}}))), PlainDesign()}),
         kStatusSpxNotLoaded, kPlainDesignPoints},
        {"SPX object of version 1", File({Block(0x22, SpxBody({}), 1), PlainDesign()}), kStatusUnreadable,
         kPlainDesignPoints},
        {"SPX object with a bad colour ends the list", File({PlainDesign(), Block(0x22, SpxBody({}, 0, 0, 0, 0, {0, 0})),
                                                            PlainDesign(1000)}),
         kStatusOK, kPlainDesignPoints},
        {"SPX object with a bad colour first", File({Block(0x22, SpxBody({}, 0, 0, 0, 0, {11, 0})), PlainDesign()}),
         kStatusNoDesign, {}},
    };
}

TEST(Vp3Lettering, TextsCharactersAndSpxObjectsThatCannotBeUsed)
{
    {
        SettingsProvider::Singleton::Lock lock;
        ASSERT_EQ(lock.get_no_init(), nullptr) << "these cases need a program without a settings provider";
    }
    for (auto const& c : LetteringCases()) {
        CSimpleDesign design;
        EXPECT_EQ(ReadOne(c.file, design, false), c.status) << c.name;
        EXPECT_EQ(Points(design), c.points) << c.name;
    }
}

TEST(Vp3Lettering, AnSpxObjectWithoutTheLibraryGivesAnEmptyDesign)
{
    std::vector<std::shared_ptr<IDesign>> designs;
    Bytes const file = File({PlainDesign(), Block(0x22, SpxBody(SpxPoints({{kSpxNeedle, 0, 0}})))});
    ASSERT_EQ(ReadMany(file, designs), kStatusSpxNotLoaded);
    ASSERT_EQ(designs.size(), 2u);
    EXPECT_EQ(Points(*designs[0]), kPlainDesignPoints);
    EXPECT_EQ(designs[1]->GetStitchCount(), 0u);
}

} // namespace
