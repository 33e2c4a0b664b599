// The VP3 reader and writer on input made to cost: many designs with notes,
// and a file whose format-version byte is not ours.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "Vp3TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Brodix;
using namespace Brodix::Vp3Lib;
using namespace Vp3Test;

// A design object with one block of one stitch, and the given notes.
Bytes OneStitchDesign(std::wstring const& notes)
{
    StitchBlockFields block;
    block.data = {0x01, 0x01};
    block.endX = 100;
    block.endY = -100;
    return Block(kClassDesign, DesignBody({Block(kClassStitch, StitchBlockBody(block))}, 0, 0, notes));
}

// A sequence of count copies of one child.
Bytes SequenceOf(Bytes const& child, unsigned count)
{
    ByteBuilder body;
    PlacementFields(body, 0, 0, L"");
    body.u16(count);
    for (unsigned i = 0; i < count; ++i)
        body.raw(child);
    return Block(kClassSequence, body);
}

std::wstring Joined(std::wstring const& note, std::size_t count)
{
    std::wstring text;
    text.reserve((note.size() + 1) * count + 9);
    for (std::size_t i = 0; i < count; ++i)
        text += i == 0 ? note : L"\n" + note;
    return text + L"Settings:";
}

// Every design's notes used to be merged into the whole text so far, each
// time split and copied again: this file took minutes. The test's timeout
// catches a return of that.
TEST(Vp3Hostile, NotesOfManyDesignsMergeInLinearTime)
{
    constexpr unsigned kDesigns = 0xFFFF;
    std::wstring const note(128, L'n');
    Bytes const design = OneStitchDesign(note);
    Bytes const file = File({SequenceOf(SequenceOf(design, kDesigns), 1)});

    std::vector<std::shared_ptr<IDesign>> designs;
    CVP3ReadWrite vp3;
    ASSERT_EQ(vp3.ReadFromMemory(CDesignHolder(&designs), file.data(), file.size(), {0, 0}, true), kStatusOK);
    ASSERT_EQ(designs.size(), 1u);
    EXPECT_EQ(designs[0]->GetDesignNotes(), Joined(note, kDesigns));
    EXPECT_EQ(designs[0]->GetColourCount(), kDesigns);
}

// A file with a format-version byte of its own is refused, and the object
// that refused it still writes files that every reader takes: the byte it
// writes is always 0, never the one it last read.
TEST(Vp3Hostile, WritesVersionZeroAfterReadingAnotherVersion)
{
    constexpr std::size_t kVersionByte = 5;   // right after "%qel%"
    Bytes foreign = File({OneStitchDesign(L"")});
    ASSERT_EQ(foreign[kVersionByte], 0);
    foreign[kVersionByte] = 7;

    CVP3ReadWrite vp3;
    CSimpleDesign read;
    EXPECT_EQ(vp3.ReadFromMemory(CDesignHolder(&read), foreign.data(), foreign.size(), {0, 0}, true),
              kStatusNoDesign);

    CSimpleDesign design;
    design.AddColourStitch(ColourData::Default(), {0, 0}, false);
    design.AddStitch(CAbsStitch{{10, 5}, 0, CAbsStitch::Normal, false, true});
    void* buffer = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(vp3.WriteToMemory(CDesignHolder(design), buffer, size, {0, 0}, true), kStatusOK);
    Bytes const written(static_cast<unsigned char*>(buffer), static_cast<unsigned char*>(buffer) + size);
    std::free(buffer);
    ASSERT_GT(written.size(), kVersionByte);
    EXPECT_EQ(written[kVersionByte], 0);

    CVP3ReadWrite reader;
    CSimpleDesign back;
    EXPECT_EQ(reader.ReadFromMemory(CDesignHolder(&back), written.data(), written.size(), {0, 0}, true), kStatusOK);
    EXPECT_EQ(back.GetStitchCount(), design.GetStitchCount());
}

} // namespace
