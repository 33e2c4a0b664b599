// The TVK/VIP coder: round trips, the exact bytes of known inputs, the
// symbols the encoder chooses (read back by a plain reference reader), and
// the refusal of streams no encoder writes.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/TvkVipCompressor/ALGlCompressor.h"
#include "StitchFormats/TvkVipCompressor/ALStatus.h"
#include "StitchFormats/TvkVipCompressor/BoundedMemoryStream.h"
#include "StitchFormats/TvkVipCompressor/GLCompress.h"
#include "StitchFormats/TvkVipCompressor/RCompress.h"
#include "StitchFormats/TvkVipCompressor/RExpand.h"
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include "StreamTesting.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Brodix::TvkVipCompressor;
using Brodix::IArchiverStream;
using Brodix::Archivers::MemoryStreamRW;
using TvkVipTesting::BitWriter;
using TvkVipTesting::ReferenceReader;
using TvkVipTesting::Symbol;
using Bytes = std::vector<char>;

constexpr int kWindow = 1024;

Bytes Compress(Bytes data)
{
    Bytes out;
    EXPECT_TRUE(Brodix::StitchFormats::MakeTvkVipCodec()->Compress("", data.data(), data.size(), out));
    return out;
}

bool Decompress(Bytes compressed, Bytes& out)
{
    return Brodix::StitchFormats::MakeTvkVipCodec()->Decompress("", compressed.data(), compressed.size(), out.data(),
                                                                 out.size());
}

int DecompressStatus(Bytes const& compressed, int levelIndex = 0)
{
    MemoryStreamRW<IArchiverStream> input(compressed.data(), compressed.size());
    MemoryStreamRW<IArchiverStream> output;
    StreamStore in(input);
    StreamStore out(output);
    return ALGlDecompressor(levelIndex).Decompress(in, out);
}

Bytes Random(std::size_t size, int alphabet, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, alphabet - 1);
    Bytes data(size);
    for (auto& c : data)
        c = static_cast<char>(byte(generator));
    return data;
}

Bytes Repeated(std::string const& pattern, std::size_t size)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = pattern[i % pattern.size()];
    return data;
}

struct RoundTripCase {
    char const* name;
    Bytes data;
};

TEST(TvkVipCodec, CompressThenDecompressGivesTheInput)
{
    RoundTripCase const cases[] = {
        {"empty", {}},
        {"one byte", {'\x80'}},
        {"a window of one byte", Bytes(kWindow, 'x')},
        {"a long run", Bytes(100'000, 0)},
        {"a short pattern", Repeated("\x80\x80\x81\x84", 20'000)},
        {"a pattern longer than a match", Repeated(std::string(300, 'a') + "b", 5'000)},
        {"random, short", Random(100, 256, 1)},
        {"random, longer than the window", Random(5'000, 256, 2)},
        {"random, several blocks", Random(70'000, 256, 3)},
        {"few letters, several blocks of matches", Random(60'000, 4, 4)},
        {"steps of a stitch stream", Random(30'000, 7, 5)},
    };
    for (auto const& c : cases) {
        Bytes const compressed = Compress(c.data);
        Bytes back(c.data.size());
        EXPECT_TRUE(Decompress(compressed, back)) << c.name;
        EXPECT_EQ(back, c.data) << c.name;
    }
}

TEST(TvkVipCodec, LevelsAboveTenRoundTripThroughTheFrontObjects)
{
    Bytes const data = Random(40'000, 5, 6);
    for (int levelIndex = 0; levelIndex <= 4; ++levelIndex) {
        MemoryStreamRW<IArchiverStream> input(data.data(), data.size());
        MemoryStreamRW<IArchiverStream> compressed;
        StreamStore in(input);
        StreamStore out(compressed);
        ASSERT_EQ(ALGlCompressor(levelIndex).Compress(in, out), kStatusOk) << levelIndex;
        compressed.SetPos(0);
        MemoryStreamRW<IArchiverStream> restored;
        StreamStore packed(compressed);
        StreamStore plain(restored);
        ASSERT_EQ(ALGlDecompressor(levelIndex).Decompress(packed, plain), kStatusOk) << levelIndex;
        EXPECT_EQ(Bytes(restored.Content().begin(), restored.Content().end()), data) << levelIndex;
    }
}

TEST(TvkVipCodec, AnEmptyInputIsOneBlockHoldingTheEndSymbol)
{
    EXPECT_EQ(Compress({}), (Bytes{0x00, 0x01, 0x00, 0x00, 0x1F, static_cast<char>(0xE0), 0x00}));
}

TEST(TvkVipCodec, EqualBytesBecomeALiteralAndMatchesAtPositionZero)
{
    auto const symbols = ReferenceReader(Compress(Bytes(kWindow, 'q'))).Symbols();
    std::vector<Symbol> const expected = {
        {Symbol::Literal, 'q', 0}, {Symbol::Match, 256, 0}, {Symbol::Match, 256, 0},
        {Symbol::Match, 256, 0},   {Symbol::Match, 255, 0}, {Symbol::End, 0, 0},
    };
    EXPECT_EQ(symbols, expected);
}

TEST(TvkVipCodec, MatchesSpanTheirWholeRangeOfLengthsAndPositions)
{
    // A three-byte repeat right behind, and one a window's width away.
    Bytes data = {'a', 'b', 'c', 'X', 'a', 'b', 'c'};
    auto symbols = ReferenceReader(Compress(data)).Symbols();
    ASSERT_EQ(symbols.size(), 6u);
    EXPECT_EQ(symbols[4], (Symbol{Symbol::Match, 3, 3}));

    Bytes far = Random(kWindow - 300, 256, 7);
    Bytes const tail(far.begin(), far.begin() + 40);
    far.insert(far.end(), tail.begin(), tail.end());
    symbols = ReferenceReader(Compress(far)).Symbols();
    ASSERT_GE(symbols.size(), 2u);
    Symbol const last = symbols[symbols.size() - 2];
    EXPECT_EQ(last.kind, Symbol::Match);
    EXPECT_EQ(last.value, 40);
    EXPECT_EQ(last.position, kWindow - 300 - 1);
}

// The block buffer holds groups of a flag byte and eight items; a new group
// that would start at 8162 bytes or later starts a new block instead. Eight
// literals take 9 bytes, so a block of literals ends after 907 groups.
TEST(TvkVipCodec, BlocksOfLiteralsHold7256Symbols)
{
    ReferenceReader reader(Compress(Random(20'000, 256, 13)));
    auto const symbols = reader.Symbols();
    EXPECT_EQ(symbols.size(), 20'001u);
    EXPECT_EQ(reader.BlockSizes(), (std::vector<unsigned>{7256, 7256, 20'001 - 2 * 7256}));
}

TEST(TvkVipCodec, DecompressNeedsTheExactSizeAndLeavesOutUntouchedOtherwise)
{
    Bytes const data = Random(3'000, 16, 8);
    Bytes const compressed = Compress(data);
    for (std::size_t size : {data.size() - 1, data.size() + 1, std::size_t{0}}) {
        Bytes out(size, '\x55');
        EXPECT_FALSE(Decompress(compressed, out)) << size;
        EXPECT_EQ(out, Bytes(size, '\x55')) << size;
    }
}

TEST(TvkVipCodec, TruncatedDataFailsWithoutReadingPastIt)
{
    Bytes const data = Random(5'000, 8, 9);
    Bytes const compressed = Compress(data);
    for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{5}, compressed.size() / 2, compressed.size() - 3}) {
        Bytes out(data.size());
        EXPECT_FALSE(Decompress(Bytes(compressed.begin(), compressed.begin() + static_cast<long>(keep)), out)) << keep;
    }
}

// A block that promises 1000 literals, each a plain 8-bit code, and then
// holds only three: past the input the decoder reads zero bytes, but no more
// than kMaxFillerBytes of them.
TEST(TvkVipCodec, PastTheInputOnlyAFewZeroBytesAreRead)
{
    BitWriter w;
    w.Put(16, 1000).Put(5, 0).Put(5, 8 + 2).Put(9, 256).Put(5, 0).Put(5, 0);
    for (char c : {'a', 'b', 'c'})
        w.Put(8, static_cast<unsigned char>(c));
    MemoryStreamRW<IArchiverStream> input(w.Bytes().data(), w.Bytes().size());
    MemoryStreamRW<IArchiverStream> output;
    EXPECT_TRUE(GLDecompress(input, output));
    auto const& bytes = output.Content();
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_LE(bytes.size(), 3u + kMaxFillerBytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "abc");
    EXPECT_TRUE(std::all_of(bytes.begin() + 3, bytes.end(), [](unsigned char b) { return b == 0; }));
}

// A block of 65535 matches of 256 bytes whose codes take no bits: a few bytes
// that claim 16 MB. The output stops at the size the caller allows.
TEST(TvkVipCodec, OutputNeverPassesTheExpectedSize)
{
    BitWriter bomb;
    bomb.Put(16, 0xFFFF).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 509).Put(5, 0).Put(5, 0);
    Bytes out(100'000);
    EXPECT_FALSE(Decompress(bomb.Bytes(), out));

    MemoryStreamRW<IArchiverStream> input(bomb.Bytes().data(), bomb.Bytes().size());
    BoundedMemoryStream output(50'000);
    EXPECT_FALSE(GLDecompress(input, output));
    EXPECT_TRUE(output.WasRefused());
    EXPECT_LE(output.GetSize(), 50'000u);
}

// Streams built by hand, each one step away from a valid stream of the single
// letter A. Every invalid one ends decoding with kStatusBadData.
void ValidPrefix(BitWriter& w)
{
    w.Put(16, 2);
    // Length code: entries 0 0 1, no zero run, 1; so symbol 2 is "0" and 3 is "1".
    w.Put(5, 4).Put(3, 0).Put(3, 0).Put(3, 1).Put(2, 0).Put(3, 1);
}

void ValidSymbolLengths(BitWriter& w)
{
    // 65 zeros, A of length 1, 444 zeros, the end symbol of length 1.
    w.Put(9, 511).Put(1, 0).Put(9, 45).Put(1, 1).Put(1, 0).Put(9, 424).Put(1, 1);
}

struct BadStreamCase {
    char const* name;
    std::function<void(BitWriter&)> build;
    int status;
};

TEST(TvkVipCodec, StreamsNoEncoderWritesAreRefused)
{
    BadStreamCase const cases[] = {
        {"valid: the letter A",
         [](BitWriter& w) {
             ValidPrefix(w);
             ValidSymbolLengths(w);
             w.Put(5, 0).Put(5, 0).Put(1, 0).Put(1, 1).Put(16, 0);
         },
         kStatusOk},
        {"no symbols in a block", [](BitWriter& w) { w.Put(16, 0).Put(16, 0); }, kStatusBadData},
        {"more length-code lengths than symbols", [](BitWriter& w) { w.Put(16, 1).Put(5, 20).Put(32, 0); },
         kStatusBadData},
        {"a lone length-code symbol outside the alphabet", [](BitWriter& w) { w.Put(16, 1).Put(5, 0).Put(5, 19); },
         kStatusBadData},
        {"a lone symbol outside the alphabet",
         [](BitWriter& w) { w.Put(16, 1).Put(5, 0).Put(5, 0).Put(9, 0).Put(9, 511); }, kStatusBadData},
        {"more position lengths than classes",
         [](BitWriter& w) {
             ValidPrefix(w);
             ValidSymbolLengths(w);
             w.Put(5, 16).Put(32, 0).Put(32, 0);
         },
         kStatusBadData},
        {"a lone position class outside the alphabet",
         [](BitWriter& w) {
             ValidPrefix(w);
             ValidSymbolLengths(w);
             w.Put(5, 0).Put(5, 15);
         },
         kStatusBadData},
        {"a zero run past the last symbol",
         [](BitWriter& w) {
             ValidPrefix(w);
             w.Put(9, 511).Put(1, 0).Put(9, 45).Put(1, 1).Put(1, 0).Put(9, 480);
         },
         kStatusBadData},
        {"a code length above 16",
         [](BitWriter& w) { w.Put(16, 1).Put(5, 1).Put(3, 7).Put(10, 0b1111111111).Put(16, 0); }, kStatusBadData},
        {"symbol lengths that leave codes unused",
         [](BitWriter& w) {
             ValidPrefix(w);
             w.Put(9, 511).Put(1, 0).Put(9, 45).Put(1, 1).Put(1, 0).Put(9, 424).Put(1, 0);
         },
         kStatusBadData},
        {"length-code lengths that are twice too many",
         [](BitWriter& w) { w.Put(16, 1).Put(5, 4).Put(3, 1).Put(3, 1).Put(3, 1).Put(2, 0).Put(3, 1).Put(16, 0); },
         kStatusBadData},
        {"no length at all",
         [](BitWriter& w) { w.Put(16, 1).Put(5, 0).Put(5, 1).Put(9, 3).Put(4, 0).Put(16, 0); }, kStatusBadData},
    };
    for (auto const& c : cases) {
        BitWriter w;
        c.build(w);
        EXPECT_EQ(DecompressStatus(w.Bytes()), c.status) << c.name;
        Bytes out(1);
        EXPECT_EQ(Decompress(w.Bytes(), out), c.status == kStatusOk) << c.name;
        if (c.status == kStatusOk) {
            EXPECT_EQ(out, Bytes{'A'});
        }
    }
}

TEST(TvkVipCodec, ALevelOutsideTenToFourteenIsRefusedBeforeAnyCoding)
{
    Bytes const data = Random(100, 256, 10);
    for (int levelIndex : {-2, 5}) {
        MemoryStreamRW<IArchiverStream> input(data.data(), data.size());
        MemoryStreamRW<IArchiverStream> output;
        StreamStore in(input);
        StreamStore out(output);
        EXPECT_EQ(ALGlCompressor(levelIndex).Compress(in, out), kStatusBadLevel) << levelIndex;
        EXPECT_EQ(output.GetSize(), 0u) << levelIndex;
        EXPECT_EQ(DecompressStatus(Compress(data), levelIndex), kStatusBadLevel) << levelIndex;
    }
}

TEST(TvkVipCodec, DataThatDoNotShrinkAreStoredWhenAsked)
{
    Bytes const data = Random(4'000, 256, 11);
    MemoryStreamRW<IArchiverStream> input(data.data(), data.size());
    MemoryStreamRW<IArchiverStream> output;
    StreamStore in(input);
    StreamStore out(output);
    ALGlCompressor compressor(0, 1);
    ASSERT_EQ(compressor.Compress(in, out), kStatusOk);
    EXPECT_EQ(compressor.GetLevelIndex(), kStoredLevelIndex);
    EXPECT_EQ(Bytes(output.Content().begin(), output.Content().end()), data);

    output.SetPos(0);
    MemoryStreamRW<IArchiverStream> restored;
    StreamStore stored(output);
    StreamStore plain(restored);
    ASSERT_EQ(ALGlDecompressor(kStoredLevelIndex).Decompress(stored, plain, static_cast<long>(data.size())), kStatusOk);
    EXPECT_EQ(Bytes(restored.Content().begin(), restored.Content().end()), data);
}

TEST(TvkVipCodec, AFullOutputIsAFailureNotASuccess)
{
    Bytes const data = Random(20'000, 256, 12);
    MemoryStreamRW<IArchiverStream> input(data.data(), data.size());
    Brodix::TvkVipCompressor::BoundedMemoryStream output(1'000);
    EXPECT_FALSE(GLCompress(input, output));

    Bytes const compressed = Compress(data);
    MemoryStreamRW<IArchiverStream> packed(compressed.data(), compressed.size());
    Brodix::TvkVipCompressor::BoundedMemoryStream small(data.size() - 1);
    EXPECT_FALSE(GLDecompress(packed, small));
}

} // namespace
