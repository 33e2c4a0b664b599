// The VIP scrambler: its key schedule, both directions in both modes, and the
// colour tables of the sample VIP files, which unscramble into thread colours.
#include "StitchFormats/CryptoBlackBox.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<char>;

// The VIP format's fixed password pieces, formatted in the format's order.
std::string VipPassword()
{
    constexpr int32_t p0 = 12921000;
    constexpr int32_t p1 = 463;
    constexpr int32_t p2 = 323025;
    char text[80];
    std::snprintf(text, sizeof text, "%d%d%d%d%d%d%d", p0, p1, p2, p1, p0, p2, p1);
    return text;
}

Bytes Transformed(Bytes data, std::string const& password, CryptoBlackBox::eDir direction, CryptoBlackBox::eMode mode)
{
    CryptoBlackBox box(password.c_str(), direction, mode);
    box.TransformBuf(data.data(), static_cast<int>(data.size()));
    return data;
}

Bytes Sample(std::size_t size)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(i * 37 + 11);
    return data;
}

TEST(CryptoBlackBox, TheScheduleTakesTextBytesAsSigned)
{
    struct Case {
        char const* text;
        std::vector<unsigned char> first;
    } const cases[] = {
        {"A", {0xD2, 0xB4}},          // a one-letter text repeats itself: c = d = 65
        {"\xFF", {0x10, 0x10, 0xFF}},   // c = -1, d = 255
    };
    for (auto const& c : cases) {
        Bytes out(c.first.size());
        CryptoBlackBox::HashString(c.text, 1, out.data(), static_cast<int>(out.size()));
        EXPECT_EQ(std::vector<unsigned char>(out.begin(), out.end()), c.first) << c.text;
    }
}

TEST(CryptoBlackBox, TheVipPasswordGivesItsKeyStream)
{
    EXPECT_EQ(VipPassword(), "1292100046332302546312921000323025463");
    CryptoBlackBox box(VipPassword().c_str());
    std::vector<unsigned char> key;
    for (int i = 0; i < 8; ++i)
        key.push_back(static_cast<unsigned char>(box.NextKey()));
    EXPECT_EQ(key, (std::vector<unsigned char>{0x2E, 0x82, 0xE4, 0x6F, 0x38, 0xA9, 0xDC, 0xC6}));
}

TEST(CryptoBlackBox, SetPtrAndResetMoveAlongTheKeyStream)
{
    CryptoBlackBox box(VipPassword().c_str());
    std::vector<char> stream;
    for (int i = 0; i < 1001; ++i)
        stream.push_back(box.NextKey());
    box.SetPtr(1000);
    EXPECT_EQ(box.NextKey(), stream[1000]);
    box.Reset();
    EXPECT_EQ(box.NextKey(), stream[0]);
}

TEST(CryptoBlackBox, ASecondPasswordIsRefusedAndTheFirstKeyStays)
{
    CryptoBlackBox box;
    EXPECT_TRUE(box.SetPassword("first"));
    EXPECT_FALSE(box.SetPassword("second"));
    EXPECT_EQ(Transformed(Sample(64), "first", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained),
              [&] {
                  Bytes data = Sample(64);
                  box.SetMode(CryptoBlackBox::ModeChained);
                  box.TransformBuf(data.data(), static_cast<int>(data.size()));
                  return data;
              }());
}

TEST(CryptoBlackBox, ChainedScramblingUnscramblesInAnySplitOfCalls)
{
    Bytes const plain = Sample(10);
    Bytes const cipher = Transformed(plain, "secret", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained);
    EXPECT_NE(cipher, plain);

    CryptoBlackBox encrypt("secret", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained);
    Bytes split = plain;
    encrypt.TransformBuf(split.data(), 4);
    encrypt.TransformBuf(split.data() + 4, 6);
    EXPECT_EQ(split, cipher);

    CryptoBlackBox decrypt("secret", CryptoBlackBox::DirDecrypt, CryptoBlackBox::ModeChained);
    decrypt.TransformBuf(split.data(), 4);
    decrypt.TransformBuf(split.data() + 4, 6);
    EXPECT_EQ(split, plain);
}

TEST(CryptoBlackBox, PlainModeIsItsOwnInverseAndChainingDiffersFromIt)
{
    Bytes const plain = Sample(300);
    Bytes const once = Transformed(plain, "pw", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModePlain);
    EXPECT_EQ(Transformed(once, "pw", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModePlain), plain);
    EXPECT_EQ(Transformed(once, "pw", CryptoBlackBox::DirDecrypt, CryptoBlackBox::ModePlain), plain);
    EXPECT_NE(Transformed(plain, "pw", CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained), once);
}

// Each object keeps its own working state, so objects on separate threads
// give the same bytes as one thread alone.
TEST(CryptoBlackBox, ObjectsOnSeparateThreadsDoNotDisturbEachOther)
{
    Bytes const plain = Sample(200'000);
    Bytes const expected = Transformed(plain, VipPassword(), CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained);
    std::vector<Bytes> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&] {
            result = Transformed(plain, VipPassword(), CryptoBlackBox::DirEncrypt, CryptoBlackBox::ModeChained);
        });
    for (auto& thread : threads)
        thread.join();
    for (auto const& result : results)
        EXPECT_EQ(result, expected);
}

// The colour table of a VIP file holds 0x00BBGGRR values scrambled in chained
// mode; with the right key every top byte comes out 0.
TEST(CryptoBlackBox, SampleVipColoursUnscrambleIntoThreadColours)
{
    struct Case {
        char const* path;
        std::vector<uint32_t> colours;
    } const cases[] = {
        {"../shared/corpus/vip/Embroidermodder.vip", {0x00FF0000}},
        {"../shared/corpus/vip/Star.VIP", {0x001F31E3, 0x00F7F3F7}},
        {"../shared/corpus/vip/geometric_objects.vip", {0x00C80000, 0x0080F3FF, 0x00FF00FF, 0x00FFCA82}},
        {"../shared/corpus/vip/rectangle.vip", {0x00FF8C10}},
        {"../shared/corpus/vip/shamrockin.vip", {0x0000FF00}},   // shamrock green
    };
    constexpr std::size_t kColourCountOffset = 8;
    constexpr std::size_t kColourTableOffset = 46;
    for (auto const& c : cases) {
        std::ifstream input(c.path, std::ios::binary);
        Bytes const file{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), kColourTableOffset) << c.path;
        auto const count = static_cast<std::size_t>(static_cast<unsigned char>(file[kColourCountOffset])
                                                    | static_cast<unsigned char>(file[kColourCountOffset + 1]) << 8);
        ASSERT_EQ(count, c.colours.size()) << c.path;
        Bytes table(file.begin() + kColourTableOffset, file.begin() + static_cast<long>(kColourTableOffset + 4 * count));

        CryptoBlackBox box;
        ASSERT_TRUE(box.SetPassword(VipPassword().c_str()));
        box.SetDir(CryptoBlackBox::DirDecrypt);
        box.SetMode(CryptoBlackBox::ModeChained);
        box.TransformBuf(table.data(), static_cast<int>(table.size()));

        std::vector<uint32_t> colours;
        for (std::size_t i = 0; i < count; ++i) {
            uint32_t value = 0;
            for (int b = 3; b >= 0; --b)
                value = value << 8 | static_cast<unsigned char>(table[4 * i + static_cast<std::size_t>(b)]);
            colours.push_back(value);
        }
        EXPECT_EQ(colours, c.colours) << c.path;
    }
}

} // namespace
