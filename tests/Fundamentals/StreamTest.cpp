#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/FileStream.h"
#include "Fundamentals/MemoryStream.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <vector>

using Brodix::IArchiverStream;
using Memory = Brodix::Archivers::MemoryStreamRW<IArchiverStream>;
using File = Brodix::Archivers::FileStreamRW<IArchiverStream>;

TEST(MemoryStream, ReadStopsAtTheEnd)
{
    unsigned char const bytes[] = {1, 2, 3, 4};
    Memory stream(bytes, sizeof bytes);
    stream.SetPos(2);
    unsigned char buffer[10] = {};
    EXPECT_EQ(stream.Read(buffer, 10), 2u);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(buffer[1], 4);
    EXPECT_TRUE(stream.IsEOF());
    EXPECT_EQ(stream.Read(buffer, 10), 0u);
    stream.SetPos(100);   // unchecked; reading there gives nothing
    EXPECT_EQ(stream.Read(buffer, 1), 0u);
    EXPECT_FALSE(stream.IsEOF());
}

TEST(MemoryStream, WriteOverwritesThenAppends)
{
    unsigned char const bytes[] = {9, 9};
    Memory stream(bytes, sizeof bytes);
    stream.SetPos(1);
    unsigned char const data[] = {1, 2, 3};
    EXPECT_EQ(stream.Write(data, 3), 3u);
    EXPECT_EQ(stream.GetSize(), 4u);
    EXPECT_EQ(stream.Content(), (std::vector<unsigned char>{9, 1, 2, 3}));
    EXPECT_EQ(stream.Write(data, 0), 0u);
    EXPECT_TRUE(stream.Flush());
}

TEST(MemoryStream, WriteBeyondTheEndZeroFillsTheGap)
{
    Memory stream;
    stream.SetPos(3);
    unsigned char const data[] = {7};
    EXPECT_EQ(stream.Write(data, 1), 1u);
    EXPECT_EQ(stream.Content(), (std::vector<unsigned char>{0, 0, 0, 7}));
    EXPECT_EQ(stream.GetPos(), 4u);
}

TEST(FileStream, ReadsWritesAndMeasuresWithoutMovingThePosition)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        File stream(file, false);
        EXPECT_EQ(stream.Write("abcdef", 6), 6u);
        stream.SetPos(2);
        EXPECT_EQ(stream.GetSize(), 6u);
        EXPECT_EQ(stream.GetPos(), 2u);
        char buffer[8] = {};
        EXPECT_EQ(stream.Read(buffer, 8), 4u);
        EXPECT_STREQ(buffer, "cdef");
        EXPECT_TRUE(stream.IsEOF());
        EXPECT_TRUE(stream.Flush());
    }
    // Not owned: still open after the stream is gone.
    EXPECT_EQ(std::fseek(file, 0, SEEK_SET), 0);
    File owner(file, true);
    char first = 0;
    EXPECT_EQ(owner.Read(&first, 1), 1u);
    EXPECT_EQ(first, 'a');
}
