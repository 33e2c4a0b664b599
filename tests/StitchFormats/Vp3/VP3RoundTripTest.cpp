// Every sample file that the format engine reads converts to VP3 and reads
// back to the same stitches and colours, up to what VP3 cannot hold: jumps
// become part of the next stitch's move, commands sit at the last needle
// position, colour blocks that produce no stitch code vanish, and a first
// stitch at (0, 0) is nudged off it.
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
namespace DF = Brodix::DesignFiles;

struct Record {
    CommonTypes::PointI position;
    uint8_t type;
    std::size_t colour;
    friend bool operator==(Record const&, Record const&) = default;
};

std::ostream& operator<<(std::ostream& out, Record const& r)
{
    return out << "(" << r.position.x << ", " << r.position.y << ") type " << int(r.type) << " colour " << r.colour;
}

struct Expected {
    std::vector<Record> records;
    std::vector<ColourData> colours;
};

// What VP3 keeps of a design: per colour block, its colour change, every
// stitch, a stitch to a command's position when a jump led there, and each
// command at the last needle position. Blocks without stitch code are lost.
Expected WhatVp3Keeps(IDesign const& design)
{
    Expected kept;
    std::vector<Record> block;
    bool blockHasCode = false;
    auto closeBlock = [&] {
        if (blockHasCode)
            kept.records.insert(kept.records.end(), block.begin(), block.end());
        else if (!block.empty())
            kept.colours.pop_back();
        block.clear();
        blockHasCode = false;
    };
    CommonTypes::PointI last{};
    bool jumpPending = false;
    auto const reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const r = reader->GetCurrentItem();
        if (r.type == CAbsStitch::ColourChange) {
            closeBlock();
            kept.colours.push_back(design.GetColour(static_cast<unsigned long>(r.colourIndex)));
            last = r.position;
            jumpPending = false;
            block.push_back({last, r.type, kept.colours.size() - 1});
            continue;
        }
        std::size_t const colour = kept.colours.size() - 1;
        if (r.type == CAbsStitch::Jump) {
            jumpPending = true;
            continue;
        }
        if (r.type == CAbsStitch::Normal || jumpPending) {
            last = r.position;
            block.push_back({last, CAbsStitch::Normal, colour});
            jumpPending = false;
            blockHasCode = true;
        }
        if (r.type == CAbsStitch::Stop || r.type == CAbsStitch::Trim) {
            block.push_back({last, r.type, colour});
            blockHasCode = true;
        }
    }
    closeBlock();
    return kept;
}

std::vector<Record> Records(IDesign const& design)
{
    std::vector<Record> records;
    auto const reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const r = reader->GetCurrentItem();
        records.push_back({r.position, r.type, static_cast<std::size_t>(r.colourIndex)});
    }
    return records;
}

// What a colour record keeps of a thread: the counted colours and, for a
// variegated thread, their lengths; names cut to their fields.
ColourData AsStored(ColourData colour)
{
    unsigned const count = std::min<uint32_t>(colour.numberColours & 0xFF, ColourData::kMaxColours);
    for (unsigned i = count; i < ColourData::kMaxColours; ++i)
        colour.colours[i] = colour.lengths[i] = 0;
    for (unsigned i = 0; i < count; ++i)
        colour.lengths[i] = count == 1 || (colour.lengths[i] & 0xFFFF) <= 1 ? 1 : colour.lengths[i] & 0xFFFF;
    colour.variegated = count >= 2 && colour.variegated;
    colour.colours[0] &= 0xFFFFFF;
    return colour;
}

std::vector<std::filesystem::path> CorpusFiles()
{
    std::vector<std::filesystem::path> files;
    for (auto const& entry : std::filesystem::recursive_directory_iterator("../shared/corpus")) {
        auto const format = DF::FileFormatFromExtension(entry.path().extension().string());
        if (entry.is_regular_file() && format && *format != DF::FileFormat::VP3)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Vp3RoundTrip, EveryCorpusDesignTheEngineReadsSurvivesVp3)
{
    int converted = 0;
    for (auto const& path : CorpusFiles()) {
        std::ifstream file(path, std::ios::binary);
        std::vector<unsigned char> const bytes((std::istreambuf_iterator<char>(file)),
                                               std::istreambuf_iterator<char>());
        DF::LoadResult const loaded = DF::LoadDesign(bytes, *DF::FileFormatFromExtension(path.extension().string()));
        if (!loaded.Loaded() || loaded.design->GetStitchCount() == 0)
            continue;   // a format the engine does not read yet, or a file it refuses
        IDesign const& original = *loaded.design;
        SCOPED_TRACE(path.string());

        CSimpleDesign nudged;
        Nudge00SubDesignForWrite(original, nudged);
        Expected const expected = WhatVp3Keeps(nudged);

        CVP3ReadWrite vp3;
        void* buffer = nullptr;
        unsigned long size = 0;
        ASSERT_EQ(vp3.WriteToMemory(CDesignHolder(original), buffer, size, {0, 0}, true), kStatusOK);
        std::vector<std::shared_ptr<IDesign>> designs;
        unsigned int const status = vp3.ReadFromMemory(CDesignHolder(&designs), buffer, size, {0, 0}, true);
        std::free(buffer);
        // A design of colour changes alone still makes a design object, which reads back empty.
        ASSERT_EQ(status, kStatusOK);
        ASSERT_EQ(designs.size(), 1u);
        IDesign const& read = *designs.front();

        std::vector<Record> const records = Records(read);
        ASSERT_EQ(records.size(), expected.records.size());
        auto const mismatch = std::mismatch(records.begin(), records.end(), expected.records.begin());
        EXPECT_TRUE(mismatch.first == records.end())
            << "record " << (mismatch.first - records.begin()) << ": read " << *mismatch.first << ", expected "
            << *mismatch.second;
        ASSERT_EQ(read.GetColourCount(), expected.colours.size());
        for (std::size_t i = 0; i < expected.colours.size(); ++i)
            EXPECT_EQ(read.GetColour(i), AsStored(expected.colours[i])) << "colour " << i;
        EXPECT_EQ(read.GetDesignNotes(), ConvertNewLines(original.GetDesignNotes().c_str(), L"\n"));
        ++converted;
    }
    EXPECT_GT(converted, 0) << "no corpus file was read by the engine";
    std::cout << "round trips: " << converted << " corpus designs\n";
}

// Every sample design, VP3 files included: the writer lays the nudge over
// the records, and the file is the one the nudged copy gives; WriteToBytes
// gives the bytes of WriteToMemory.
TEST(Vp3RoundTrip, EveryCorpusDesignWritesAsItsNudgedCopy)
{
    int compared = 0;
    for (auto const& entry : std::filesystem::recursive_directory_iterator("../shared/corpus")) {
        auto const format = DF::FileFormatFromExtension(entry.path().extension().string());
        if (!entry.is_regular_file() || !format)
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        std::vector<unsigned char> const bytes((std::istreambuf_iterator<char>(file)),
                                               std::istreambuf_iterator<char>());
        DF::LoadResult const loaded = DF::LoadDesign(bytes, *format);
        if (!loaded.Loaded() || loaded.design->GetStitchCount() == 0)
            continue;
        SCOPED_TRACE(entry.path().string());
        auto write = [](IDesign const& design, bool nudge) {
            void* buffer = nullptr;
            unsigned long size = 0;
            CVP3ReadWrite vp3;
            EXPECT_EQ(vp3.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, nudge), kStatusOK);
            std::vector<unsigned char> written(static_cast<unsigned char*>(buffer),
                                               static_cast<unsigned char*>(buffer) + size);
            std::free(buffer);
            return written;
        };
        CSimpleDesign nudged;
        Nudge00SubDesignForWrite(*loaded.design, nudged);
        std::vector<unsigned char> const direct = write(*loaded.design, true);
        EXPECT_EQ(direct, write(nudged, false));
        std::vector<unsigned char> asBytes;
        CVP3ReadWrite vp3;
        EXPECT_EQ(vp3.WriteToBytes(CDesignHolder(*loaded.design), asBytes, {0, 0}, true), kStatusOK);
        EXPECT_EQ(asBytes, direct);
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

} // namespace
