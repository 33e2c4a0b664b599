// Every compressed section of the sample TVK and VIP files, written by the
// formats' own software, must decompress to the stitch count and compress
// back to exactly the stored bytes: the strongest check that our encoder
// makes the same choices, bit for bit.
#include "StitchFormats/TvkVipCompressor/TvkVipCodec.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeaderSize = 42;
constexpr std::size_t kStitchCountOffset = 4;
constexpr std::size_t kStreamOffsetsOffset = 20;
constexpr int kStreamCount = 3;
constexpr char const* kStreamNames[kStreamCount] = {"Command", "X data", "Y data"};

// Who wrote a sample file's sections decides what recompressing them gives.
enum class Writer {
    // The formats' own software: our encoder must give back the stored bytes.
    Own,
    // Another program: it never sends a match and gives code lengths to
    // symbols that do not occur, so only the decompressed bytes can agree.
    Other,
    // Not a valid section: a one-entry position code that is not complete,
    // and no end symbol. The decoder refuses it.
    Invalid,
};

struct CorpusFile {
    char const* path;
    Writer writer;
};

constexpr CorpusFile kCorpusFiles[] = {
    {"../shared/corpus/tvk/01Peacock.tvk", Writer::Other},
    {"../shared/corpus/tvk/Bean.tvk", Writer::Other},
    {"../shared/corpus/tvk/Cake_3.tvk", Writer::Other},
    {"../shared/corpus/tvk/Embroidermodder.tvk", Writer::Other},
    {"../shared/corpus/tvk/Embroidermodder_conflicts.tvk", Writer::Own},
    {"../shared/corpus/tvk/Star.tvk", Writer::Own},
    {"../shared/corpus/tvk/geometric_objects.tvk", Writer::Own},
    {"../shared/corpus/tvk/rectangle.tvk", Writer::Other},
    {"../shared/corpus/tvk/shamrockin.tvk", Writer::Other},
    {"../shared/corpus/tvk/synthetic.tvk", Writer::Invalid},
    {"../shared/corpus/vip/Embroidermodder.vip", Writer::Other},
    {"../shared/corpus/vip/Star.VIP", Writer::Own},
    {"../shared/corpus/vip/geometric_objects.vip", Writer::Own},
    {"../shared/corpus/vip/rectangle.vip", Writer::Other},
    {"../shared/corpus/vip/shamrockin.vip", Writer::Other},
};

struct CorpusStream {
    std::string label;
    std::vector<char> compressed;
    unsigned long size = 0;
};

int32_t ReadInt32(std::vector<char> const& bytes, std::size_t at)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return static_cast<int32_t>(value);
}

// A section runs from its offset to the next larger offset of the other two,
// or to the end of the file.
std::vector<CorpusStream> StreamsOf(fs::path const& file)
{
    std::ifstream input(file, std::ios::binary);
    std::vector<char> const bytes{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
    if (bytes.size() < kHeaderSize)
        return {};
    long const stitches = ReadInt32(bytes, kStitchCountOffset);
    long offsets[kStreamCount];
    for (int i = 0; i < kStreamCount; ++i)
        offsets[i] = ReadInt32(bytes, kStreamOffsetsOffset + 4 * static_cast<std::size_t>(i));
    std::vector<CorpusStream> streams;
    for (int i = 0; i < kStreamCount; ++i) {
        long end = static_cast<long>(bytes.size());
        for (long const other : offsets)
            if (other > offsets[i] && other < end)
                end = other;
        if (offsets[i] < 0 || end < offsets[i])
            continue;
        streams.push_back({file.filename().string() + " " + kStreamNames[i],
                           std::vector<char>(bytes.begin() + offsets[i], bytes.begin() + end),
                           static_cast<unsigned long>(stitches)});
    }
    return streams;
}

TEST(TvkVipCorpus, TheTableNamesEverySampleFile)
{
    std::vector<std::string> onDisk;
    for (char const* folder : {"../shared/corpus/tvk", "../shared/corpus/vip"})
        for (auto const& entry : fs::directory_iterator(folder))
            onDisk.push_back(entry.path().string());
    std::vector<std::string> listed;
    for (auto const& file : kCorpusFiles)
        listed.emplace_back(file.path);
    std::sort(onDisk.begin(), onDisk.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(onDisk, listed);
}

TEST(TvkVipCorpus, SectionsDecompressAndOurOwnCompressBackToTheStoredBytes)
{
    auto const codec = Brodix::StitchFormats::MakeTvkVipCodec();
    int sections = 0;
    int identical = 0;
    for (auto const& file : kCorpusFiles) {
        auto streams = StreamsOf(file.path);
        ASSERT_EQ(streams.size(), static_cast<std::size_t>(kStreamCount)) << file.path;
        for (auto& stream : streams) {
            ++sections;
            std::vector<char> plain(stream.size);
            bool const decompressed = codec->Decompress("", stream.compressed.data(), stream.compressed.size(),
                                                        plain.data(), plain.size());
            if (file.writer == Writer::Invalid) {
                EXPECT_FALSE(decompressed) << stream.label;
                continue;
            }
            ASSERT_TRUE(decompressed) << stream.label;
            std::vector<char> again;
            ASSERT_TRUE(codec->Compress("", plain.data(), plain.size(), again)) << stream.label;
            if (file.writer == Writer::Own)
                EXPECT_EQ(again, stream.compressed) << stream.label;
            else
                EXPECT_NE(again, stream.compressed) << stream.label;
            identical += again == stream.compressed ? 1 : 0;
            // Whoever wrote the section, our own output must read back.
            std::vector<char> back(plain.size());
            ASSERT_TRUE(codec->Decompress("", again.data(), again.size(), back.data(), back.size())) << stream.label;
            EXPECT_EQ(back, plain) << stream.label;
        }
    }
    EXPECT_EQ(sections, 45);
    EXPECT_EQ(identical, 15);
    std::cout << identical << " of " << sections << " sections compress back to the stored bytes\n";
}

} // namespace
