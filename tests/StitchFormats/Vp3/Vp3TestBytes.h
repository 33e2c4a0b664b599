// Builds VP3 byte images field by field for the tests, independently of the
// library's writer, so that tests can state a layout and hand-make files the
// writer never produces.
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace Vp3Test {

using Bytes = std::vector<unsigned char>;

class ByteBuilder {
public:
    ByteBuilder& u8(unsigned v) { m_bytes.push_back(static_cast<unsigned char>(v)); return *this; }
    ByteBuilder& u16(unsigned v) { return u8(v >> 8).u8(v & 0xFF); }
    ByteBuilder& u32(uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
    ByteBuilder& s32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    ByteBuilder& raw(Bytes const& bytes) { m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end()); return *this; }
    ByteBuilder& raw(std::initializer_list<unsigned> bytes)
    {
        for (unsigned const b : bytes)
            u8(b);
        return *this;
    }
    ByteBuilder& wide(std::wstring const& text)
    {
        u16(static_cast<unsigned>(text.size() * 2));
        for (wchar_t const c : text)
            u16(static_cast<unsigned>(c));
        return *this;
    }
    ByteBuilder& narrow(std::string const& text)
    {
        u16(static_cast<unsigned>(text.size()));
        for (char const c : text)
            u8(static_cast<unsigned char>(c));
        return *this;
    }
    // A class block: ID, version, the body's length, the body.
    ByteBuilder& block(unsigned classID, Bytes const& body, unsigned version = 0)
    {
        return u16(classID).u8(version).u32(static_cast<uint32_t>(body.size())).raw(body);
    }
    Bytes const& bytes() const { return m_bytes; }
    operator Bytes const&() const { return m_bytes; }

private:
    Bytes m_bytes;
};

inline std::wstring const kProducer = L"Produced by Ombrel Works";

inline Bytes FileHeader()
{
    return ByteBuilder().raw({'%', 'q', 'e', 'l', '%'}).u8(0).wide(kProducer);
}

// A plain thread of one colour, as the writer stores the default thread.
inline Bytes PlainColour(unsigned red, unsigned green, unsigned blue)
{
    return ByteBuilder().u8(1).u8(0).u8(red).u8(green).u8(blue).u8(0).u16(0).u8(5).u8(40)
        .narrow("").narrow("").narrow("");
}

struct StitchBlockFields {
    int32_t startX = 0;
    int32_t startY = 0;
    Bytes colour = PlainColour(0, 0, 0);
    int32_t endX = 0;
    int32_t endY = 0;
    unsigned kind = 1;
    unsigned flags = 0;
    int xScale = 10;
    int yScale = -10;
    unsigned reserved = 0;
    Bytes data;
    Bytes afterData = {0};   // the second container flag, and what follows it
    int64_t lengthOverride = -1;
};

inline Bytes StitchBlockBody(StitchBlockFields const& f)
{
    uint32_t const length = f.lengthOverride >= 0 ? static_cast<uint32_t>(f.lengthOverride)
                                                  : static_cast<uint32_t>(f.data.size() + 3);
    return ByteBuilder().s32(f.startX).s32(f.startY).raw(f.colour).s32(f.endX).s32(f.endY)
        .u16(f.kind).u8(f.flags).u32(length)
        .u8(static_cast<unsigned>(f.xScale & 0xFF)).u8(static_cast<unsigned>(f.yScale & 0xFF)).u8(f.reserved)
        .raw(f.data).raw(f.afterData);
}

// A placement matrix m00, m01, m10, m11 in fixed point with 12 fraction bits.
using FixedMatrix = std::array<int32_t, 4>;
inline constexpr FixedMatrix kIdentityMatrix = {4096, 0, 0, 4096};

// The fields a design and a sequence share, from the centre to the option
// flags; texts, font characters and embedded SPX objects start with them too.
inline ByteBuilder& PlacementFields(ByteBuilder& b, int32_t centreX, int32_t centreY, std::wstring const& notes,
                                    unsigned transformFlags = 0, unsigned rotation = 0,
                                    FixedMatrix const& matrix = kIdentityMatrix)
{
    b.s32(centreX).s32(centreY).u8(transformFlags).u16(rotation);
    for (int i = 0; i < 6; ++i)
        b.s32(0);
    b.wide(notes).u8(100).u8(100);
    for (int32_t const entry : matrix)
        b.s32(entry);
    b.raw({'x', 'x', 'P', 'P'}).u8(1);
    return b;
}

inline ByteBuilder& ExtraData(ByteBuilder& b, Bytes const& extraData)
{
    if (extraData.empty())
        return b.u8(0);
    return b.u8(1).u32(static_cast<uint32_t>(extraData.size())).raw(extraData);
}

inline Bytes DesignBody(std::vector<Bytes> const& children, int32_t centreX = 0, int32_t centreY = 0,
                        std::wstring const& notes = L"", Bytes const& extraData = {})
{
    ByteBuilder b;
    PlacementFields(b, centreX, centreY, notes);
    ExtraData(b, extraData);
    b.wide(kProducer).u16(static_cast<unsigned>(children.size()));
    for (Bytes const& child : children)
        b.raw(child);
    return b;
}

inline Bytes SequenceBody(std::vector<Bytes> const& children)
{
    ByteBuilder b;
    PlacementFields(b, 0, 0, L"");
    b.u16(static_cast<unsigned>(children.size()));
    for (Bytes const& child : children)
        b.raw(child);
    return b;
}

// Lettering: a text (class 0x13) of font characters (class 0x11), each
// holding stitch blocks.
struct TextFields {
    int32_t centreX = 0;
    int32_t centreY = 0;
    unsigned transformFlags = 0;
    unsigned rotation = 0;
    std::wstring notes;
    Bytes extraData;
    Bytes firstSkipped = {0xA1, 0xA2};     // the two counted blocks of settings
    Bytes secondSkipped = {0xB1};
    std::vector<Bytes> characters;         // blocks
};

inline Bytes TextBody(TextFields const& f)
{
    ByteBuilder b;
    PlacementFields(b, f.centreX, f.centreY, f.notes, f.transformFlags, f.rotation);
    ExtraData(b, f.extraData).wide(kProducer).s32(-1);
    b.u16(static_cast<unsigned>(f.firstSkipped.size())).raw(f.firstSkipped);
    for (int i = 0; i < 16; ++i)
        b.u8(0xC0 + i);
    b.u16(static_cast<unsigned>(f.secondSkipped.size())).raw(f.secondSkipped);
    b.u16(static_cast<unsigned>(f.characters.size()));
    for (Bytes const& child : f.characters)
        b.raw(child);
    return b;
}

inline Bytes FontCharacterBody(std::vector<Bytes> const& blocks, int32_t positionX, int32_t positionY,
                               unsigned transformFlags = 0, unsigned rotation = 0)
{
    ByteBuilder b;
    b.s32(11).s32(22).s32(33).s32(44);
    PlacementFields(b, positionX, positionY, L"A", transformFlags, rotation);
    b.u8(0).wide(L"Font").u16(static_cast<unsigned>(blocks.size()));
    for (Bytes const& block : blocks)
        b.raw(block);
    return b;
}

// An embedded SPX object (class 0x22): placement, colour, then SPX data up
// to the end of the block.
inline Bytes SpxBody(Bytes const& data, int32_t centreX = 0, int32_t centreY = 0, unsigned transformFlags = 0,
                     unsigned rotation = 0, Bytes const& colour = PlainColour(0x10, 0x20, 0x30))
{
    ByteBuilder b;
    PlacementFields(b, centreX, centreY, L"", transformFlags, rotation);
    b.u8(0).wide(kProducer).raw(colour).raw(data);
    return b;
}

// SPX data in the point format of the project's SPX test reader library:
// a magic, a count, then a kind byte (0 needle, 1 trim, 2 stop), x and y
// per point.
struct SpxPoint {
    unsigned kind;
    int32_t x, y;
};
inline constexpr unsigned kSpxNeedle = 0, kSpxTrim = 1, kSpxStop = 2;

inline Bytes SpxPoints(std::vector<SpxPoint> const& points, char const* magic = "QSPX")
{
    ByteBuilder b;
    b.raw({unsigned(magic[0]), unsigned(magic[1]), unsigned(magic[2]), unsigned(magic[3])});
    b.u32(static_cast<uint32_t>(points.size()));
    for (SpxPoint const& p : points)
        b.u8(p.kind).s32(p.x).s32(p.y);
    return b;
}

// A design block with one stitch, away from (0, 0), so the clean-up after
// reading leaves it alone.
inline Bytes PlainDesign(int32_t centreX = 0)
{
    StitchBlockFields block;
    block.startX = 200;
    block.startY = -300;
    block.data = {0x01, 0x01};
    block.endX = 100;
    block.endY = -100;
    return ByteBuilder().block(3, DesignBody({ByteBuilder().block(5, StitchBlockBody(block))}, centreX));
}

// A stitch block starting on its owner's position: a stitch 5 units right,
// then one 3 units down (the code's y grows downwards), ending there.
inline Bytes LetteringStitchBlock(Bytes const& colour)
{
    StitchBlockFields block;
    block.colour = colour;
    block.data = {0x05, 0x00, 0x00, 0x03};
    block.endX = 500;
    block.endY = -300;
    return ByteBuilder().block(5, StitchBlockBody(block));
}

// A text at (300, -200), turned a quarter, holding four characters of one
// block each: at (1000, 0) and (2000, 0) as they stand, at (1000, 0)
// mirrored in x, and at (1000, 0) turned a quarter.
inline Bytes LetteringText(std::wstring const& notes = L"Hello")
{
    TextFields text;
    text.centreX = 300;
    text.centreY = -200;
    text.rotation = 90;
    text.notes = notes;
    text.characters = {
        ByteBuilder().block(0x11, FontCharacterBody({LetteringStitchBlock(PlainColour(0xFF, 0, 0))}, 1000, 0)),
        ByteBuilder().block(0x11, FontCharacterBody({LetteringStitchBlock(PlainColour(0, 0xFF, 0))}, 2000, 0)),
        ByteBuilder().block(0x11, FontCharacterBody({LetteringStitchBlock(PlainColour(0, 0, 0xFF))}, 1000, 0, 0b01)),
        ByteBuilder().block(0x11, FontCharacterBody({LetteringStitchBlock(PlainColour(9, 9, 9))}, 1000, 0, 0, 90)),
    };
    return ByteBuilder().block(0x13, TextBody(text));
}

inline Bytes RootBody(std::vector<Bytes> const& children, std::wstring const& notes = L"")
{
    ByteBuilder b;
    b.wide(notes).s32(0).s32(0).s32(0).s32(0).u32(0).u16(0).u8(12).u16(static_cast<unsigned>(children.size()));
    for (Bytes const& child : children)
        b.raw(child);
    return b;
}

inline Bytes Block(unsigned classID, Bytes const& body, unsigned version = 0)
{
    return ByteBuilder().block(classID, body, version);
}

inline Bytes File(std::vector<Bytes> const& rootChildren, std::wstring const& rootNotes = L"")
{
    return ByteBuilder().raw(FileHeader()).block(2, RootBody(rootChildren, rootNotes));
}

// A file with one design holding the given stitch blocks.
inline Bytes FileWithBlocks(std::vector<StitchBlockFields> const& blocks)
{
    std::vector<Bytes> children;
    for (auto const& fields : blocks)
        children.push_back(Block(5, StitchBlockBody(fields)));
    return File({Block(3, DesignBody(children))});
}

// Files whose reads end in each kind of outcome a loader must tell apart: a
// clean read, a read that skips an unknown class or an unreadable stitch
// block (still usable), and a root without designs (nothing usable).
struct ReadOutcomeFiles {
    Bytes good;
    Bytes unknownClass;
    Bytes unreadableBlock;
    Bytes emptyRoot;
};

inline ReadOutcomeFiles MakeReadOutcomeFiles()
{
    StitchBlockFields good;
    good.data = {0x01, 0x01};
    good.endX = 100;
    good.endY = -100;
    StitchBlockFields reserved = good;
    reserved.reserved = 1;
    Bytes const goodDesign = Block(3, DesignBody({Block(5, StitchBlockBody(good))}));
    return {File({goodDesign}), File({goodDesign, Block(0x7E, {1, 2, 3})}), FileWithBlocks({good, reserved}),
            File({})};
}

} // namespace Vp3Test
