// What reading a VP3 file costs in heap, against the file's own size. Every
// operator new of this program is counted, so the peak of a read is known
// exactly, in plain and sanitizer builds alike.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {

std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};
// Each block carries its size in front, so that a delete without one can count it off.
constexpr std::size_t kPrefix = alignof(std::max_align_t);

} // namespace

void* operator new(std::size_t size)
{
    void* const block = std::malloc(size + kPrefix);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    std::size_t const inUse = g_inUse += size;
    std::size_t peak = g_peak.load();
    while (inUse > peak && !g_peak.compare_exchange_weak(peak, inUse)) {
    }
    return static_cast<char*>(block) + kPrefix;
}

void operator delete(void* pointer) noexcept
{
    if (pointer == nullptr)
        return;
    void* const block = static_cast<char*>(pointer) - kPrefix;
    g_inUse -= *static_cast<std::size_t*>(block);
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;

// Heap the call took at its peak beyond what was in use before it.
template <typename Call>
std::size_t PeakHeapOf(Call&& call)
{
    std::size_t const before = g_inUse.load();
    g_peak = before;
    call();
    return g_peak.load() - before;
}

Bytes EmptyBlock() { return Block(kClassStitch, StitchBlockBody(StitchBlockFields{})); }

Bytes DesignOf(unsigned blocks)
{
    std::vector<Bytes> const children(blocks, EmptyBlock());
    return Block(kClassDesign, DesignBody(children));
}

// A design object of every design reserved room for 1,024 records, some
// 16 KiB, and each empty one got a second design as large: 8 MB of such
// designs took 600 MB. Now a read holds a small multiple of the file.
TEST(Vp3Heap, ReadsOfEmptyBlocksCostASmallMultipleOfTheFile)
{
    struct Case {
        char const* name;
        Bytes file;
    };
    Case const cases[] = {
        {"many designs of one empty block", File(std::vector<Bytes>(2000, DesignOf(1)))},
        {"one design of many empty blocks", File({DesignOf(2000)})},
        {"many designs in a sequence",
         File({Block(kClassSequence, SequenceBody(std::vector<Bytes>(2000, DesignOf(1))))})},
    };
    // An empty block of some 50 bytes is read into an object of some 400.
    constexpr std::size_t kFactor = 12;
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool const cleanup : {true, false}) {
            std::size_t const many = PeakHeapOf([&] {
                std::vector<std::shared_ptr<IDesign>> designs;
                CVP3ReadWrite vp3;
                std::size_t const before = g_inUse.load();
                EXPECT_LE(vp3.ReadFromMemory(CDesignHolder(&designs), c.file.data(), c.file.size(), {0, 0}, cleanup),
                          kStatusUnreadable);
                // The objects read are let go once the designs are out.
                EXPECT_LT(g_inUse.load() - before, 2 * c.file.size()) << "held after the read";
                CSimpleDesign merged;
                CSimpleDesign::MergeDesigns(merged, designs, true, false);
            });
            EXPECT_LT(many, kFactor * c.file.size()) << "into a list, clean-up " << cleanup;
            std::size_t const one = PeakHeapOf([&] {
                CSimpleDesign design;
                CVP3ReadWrite vp3;
                EXPECT_LE(vp3.ReadFromMemory(CDesignHolder(&design), c.file.data(), c.file.size(), {0, 0}, cleanup),
                          kStatusUnreadable);
            });
            EXPECT_LT(one, kFactor * c.file.size()) << "into one design, clean-up " << cleanup;
        }
    }
}

// Each stitch block being written reserved 5,000 bytes of code: a design of
// many one-stitch colours, as a hostile file of another format gives, cost
// hundreds of times the file written.
TEST(Vp3Heap, WritesOfManyShortColourBlocksCostWhatTheyWrite)
{
    CSimpleDesign design;
    for (int i = 0; i < 2000; ++i) {
        design.AddColourStitch(ColourData::Default(), {i, 0}, false);
        design.AddStitch(CAbsStitch{{i, 1}, i, CAbsStitch::Normal, false, true});
    }
    unsigned long size = 0;
    std::size_t const peak = PeakHeapOf([&] {
        void* buffer = nullptr;
        CVP3ReadWrite vp3;
        ASSERT_EQ(vp3.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, true), kStatusOK);
        std::free(buffer);
    });
    // A copy of the design (a thread record per colour), an object per block
    // and the file as it grows: some 13 times what is written.
    EXPECT_LT(peak, 24 * size);
}

} // namespace
