// Embedded SPX objects with an SPX reader library: the project's SPX test
// reader, named by the settings provider this program installs before its
// first read. Where the points land, what a library that fails or hands back
// nonsense does to the file, and the binding itself: which libraries open,
// one opening for all threads, and the stream record the library reads
// through.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/SpxLibrary.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "SpxTestReaderSettings.h"
#include "Vp3TestBytes.h"
#include "Vp3TestReading.h"

#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;

class InstallTheTestReader : public ::testing::Environment {
public:
    void SetUp() override { InstallSpxTestReader(QEL_SPX_TEST_READER); }
};
::testing::Environment* const gEnvironment = ::testing::AddGlobalTestEnvironment(new InstallTheTestReader);

Bytes SpxObject(std::vector<SpxPoint> const& points, int32_t centreX = 0, int32_t centreY = 0, unsigned flags = 0,
                unsigned rotation = 0)
{
    return Block(0x22, SpxBody(SpxPoints(points), centreX, centreY, flags, rotation));
}

constexpr int32_t kTrimX = 0x7F00000;
constexpr int32_t kStopX = 0x7F00001;

struct PlacementCase {
    char const* name;
    Bytes object;
    std::vector<Point> expected;
};

// Points are in VP3 units (hundredths, y up) relative to the object's centre.
TEST(SpxObjects, PlacesPointsWithTrimsAndStops)
{
    PlacementCase const cases[] = {
        {"centre (0, 0), as it stands",
         SpxObject({{kSpxNeedle, 0, 0}, {kSpxNeedle, 1000, 0}, {kSpxTrim, 0, 0}, {kSpxNeedle, 2000, 0}}),
         {{0, 0, C}, {0, 0, N}, {10, 0, N}, {10, 0, T}, {20, 0, N}}},
        // (100, 200) mirrored in y is (100, -200), plus the centre (600, -500);
        // divisions by 100 truncate towards zero.
        {"moved and mirrored in y",
         SpxObject({{kSpxNeedle, 100, 200}, {kSpxStop, 0, 0}, {kSpxNeedle, -250, 0}, {kSpxNeedle, -1049, 51}}, 500, -300,
             0b10),
         {{6, 5, C}, {6, 5, N}, {6, 5, S}, {2, 3, N}, {-5, 3, N}}},
        // A quarter turn takes (1000, 250) to (-250, 1000).
        {"turned a quarter", SpxObject({{kSpxNeedle, 1000, 0}, {kSpxNeedle, 1000, 250}}, 0, 0, 0, 90),
         {{0, -10, C}, {0, -10, N}, {-2, -10, N}}},
        // Commands wait for the first needle point; x values past the stop
        // marker mean nothing.
        {"commands first, unknown markers",
         SpxObject({{kSpxTrim, 0, 0}, {kSpxStop, 0, 0}, {kSpxNeedle, kStopX + 1, 5}, {kSpxNeedle, 100, 100},
              {kSpxNeedle, 0x7FFFFFFF, 0}, {kSpxTrim, 0, 0}}),
         {{1, -1, C}, {1, -1, N}, {1, -1, T}}},
        {"no points", SpxObject({}), {}},
    };
    for (auto const& c : cases) {
        CSimpleDesign design;
        EXPECT_EQ(ReadOne(File({c.object}), design, false), kStatusOK) << c.name;
        EXPECT_EQ(Points(design), c.expected) << c.name;
    }
    // The marker values are the library contract's.
    EXPECT_EQ(kTrimX, Spx::kTrimX);
    EXPECT_EQ(kStopX, Spx::kStopX);
}

TEST(SpxObjects, TakeTheirColourAndReadOnAtTheEndOfTheirBlock)
{
    Bytes body = SpxBody(SpxPoints({{kSpxNeedle, 300, 0}}), 0, 0, 0, 0, PlainColour(0x12, 0x34, 0x56));
    body.insert(body.end(), {0xEE, 0xEE, 0xEE, 0xEE, 0xEE});   // left unread by the library
    CSimpleDesign design;
    ASSERT_EQ(ReadOne(File({Block(0x22, body), PlainDesign()}), design, false), kStatusOK);
    std::vector<Point> expected = {{3, 0, C}, {3, 0, N}};
    expected.insert(expected.end(), kPlainDesignPoints.begin(), kPlainDesignPoints.end());
    EXPECT_EQ(Points(design), expected);
    EXPECT_EQ(design.GetColour(0).colours[0], 0x563412u);

    // Read one by one, the object is a design of its own; in a sequence it
    // joins the sequence's design.
    std::vector<std::shared_ptr<IDesign>> designs;
    ASSERT_EQ(ReadMany(File({PlainDesign(), SpxObject({{kSpxNeedle, 300, 0}})}), designs), kStatusOK);
    ASSERT_EQ(designs.size(), 2u);
    EXPECT_EQ(Points(*designs[1]), (std::vector<Point>{{3, 0, C}, {3, 0, N}}));
    designs.clear();
    ASSERT_EQ(ReadMany(File({Block(4, SequenceBody({SpxObject({{kSpxNeedle, 300, 0}}), PlainDesign()}))}), designs),
              kStatusOK);
    ASSERT_EQ(designs.size(), 1u);
    EXPECT_EQ(Points(*designs[0]), expected);
}

struct FailureCase {
    char const* name;
    Bytes data;
};

// Whatever the library does wrong, the object is kept without points, the
// status says so, and the rest of the file loads.
TEST(SpxObjects, LibraryFailuresLeaveTheObjectEmpty)
{
    std::vector<SpxPoint> const points = {{kSpxNeedle, 100, 100}, {kSpxNeedle, 200, 100}};
    Bytes shortData = SpxPoints(points);
    shortData.resize(shortData.size() - 1);
    FailureCase const cases[] = {
        {"failure with an array", SpxPoints(points, "QSPF")},
        {"success without an array", SpxPoints(points, "QSPN")},
        {"a count of 2^31 - 1", SpxPoints(points, "QSPH")},
        {"a count of -1", SpxPoints(points, "QSPM")},
        {"data it does not know", SpxPoints(points, "ABCD")},
        {"data cut short", shortData},
        {"a record of an unknown kind", SpxPoints({{7, 0, 0}})},
    };
    for (auto const& c : cases) {
        CSimpleDesign design;
        EXPECT_EQ(ReadOne(File({Block(0x22, SpxBody(c.data)), PlainDesign()}), design, false), kStatusSpxNotLoaded)
            << c.name;
        EXPECT_EQ(Points(design), kPlainDesignPoints) << c.name;
    }
}

std::string LibcPath()
{
    Dl_info info{};
    EXPECT_NE(dladdr(reinterpret_cast<void*>(&std::printf), &info), 0);
    return info.dli_fname != nullptr ? info.dli_fname : "";
}

TEST(SpxBinding, OpensOnlyAnAbsolutePathThatExportsTheLoader)
{
    std::filesystem::path const reader = QEL_SPX_TEST_READER;
    std::string const relative = std::filesystem::relative(reader).string();
    ASSERT_TRUE(std::filesystem::exists(relative));
    ASSERT_NE(relative.front(), '/');
    std::string const libc = LibcPath();
    ASSERT_EQ(libc.front(), '/');

    struct Case {
        char const* name;
        std::string path;
        bool available;
    } const cases[] = {
        {"the test reader", reader.string(), true},
        {"no such file", "/nonexistent/libSpxRW-dy.dylib", false},
        {"a relative path", relative, false},
        {"a library without the loader", libc, false},
        {"no path", "", false},
    };
    Bytes const data = SpxPoints({{kSpxNeedle, 1, 2}});
    for (auto const& c : cases) {
        Spx::LazyExports library(c.path);
        EXPECT_EQ(Spx::IsAvailable(library), c.available) << c.name;
        Archivers::MemoryStreamRW<IArchiverStream> stream(data.data(), data.size());
        std::vector<CommonTypes::PointI> points = {{7, 7}};
        EXPECT_EQ(Spx::LoadPoints(library, stream, points), c.available) << c.name;
        EXPECT_EQ(points.size(), c.available ? 2u : 1u) << c.name;
    }
    Spx::DylibExports const opened(libc);
    EXPECT_TRUE(opened.IsLoaded());
    EXPECT_THROW(opened.findSym<Spx::LoadSpxInVp3Function>("LoadSpxInVp3"), Spx::BadLibraryLoadOrSymbol);
    Spx::DylibExports const closed("/nonexistent/lib.so");
    EXPECT_THROW(closed.findSym<void (*)()>("printf"), Spx::BadLibraryLoadOrSymbol);

    // The process's library is the one the settings name.
    EXPECT_TRUE(Spx::IsAvailable(Spx::Library()));
}

TEST(SpxBinding, OpensOnceForAllThreads)
{
    Spx::LazyExports library(QEL_SPX_TEST_READER);
    std::vector<std::shared_ptr<Spx::DylibExports>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&library, &slot] { slot = library.get(); });
    for (auto& thread : threads)
        thread.join();
    for (auto const& exports : seen) {
        ASSERT_NE(exports, nullptr);
        EXPECT_EQ(exports, seen.front());
    }
    EXPECT_TRUE(seen.front()->IsLoaded());
}

// The record the library reads through forwards to the stream, and never
// lets the stream's exceptions out into the library: writing to a read-only
// VP3 stream throws, writing through the record gives 0.
TEST(SpxBinding, TheStreamRecordForwardsToTheStream)
{
    std::string const text = "abcdef";
    CVP3ReadWrite::MemoryReadStream stream(text.data(), text.size());
    Spx::SpxRW_Stream record = Spx::MakeStream(stream);
    EXPECT_EQ(record.size, 72u);
    EXPECT_EQ(record.context, &stream);
    EXPECT_EQ(record.GetSize(record.context), 6u);
    unsigned char bytes[4] = {};
    EXPECT_EQ(record.Read(record.context, bytes, 4), 4u);
    EXPECT_EQ(std::string(bytes, bytes + 4), "abcd");
    EXPECT_EQ(record.Tell(record.context), 4u);
    EXPECT_FALSE(record.IsEOF(record.context));
    record.SetPos(record.context, 6);
    EXPECT_TRUE(record.IsEOF(record.context));
    EXPECT_TRUE(record.Flush(record.context));
    EXPECT_EQ(record.Read(record.context, bytes, 4), 0u);
    EXPECT_EQ(record.Write(record.context, bytes, 4), 0u);

    // Within a block, the library sees the block's end as the stream's end.
    stream.SetPos(1);
    CBlockStream block(stream, 3);
    Spx::SpxRW_Stream blockRecord = Spx::MakeStream(block);
    EXPECT_EQ(blockRecord.GetSize(blockRecord.context), 3u);
    EXPECT_EQ(blockRecord.Read(blockRecord.context, bytes, 4), 2u);
    EXPECT_EQ(std::string(bytes, bytes + 2), "bc");
}

} // namespace
