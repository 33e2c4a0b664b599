// Builds VP3 byte images field by field for the tests, independently of the
// library's writer, so that tests can state a layout and hand-make files the
// writer never produces.
#pragma once
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

// The fields a design and a sequence share, from the centre to the option flags.
inline ByteBuilder& PlacementFields(ByteBuilder& b, int32_t centreX, int32_t centreY, std::wstring const& notes,
                                    unsigned transformFlags = 0, unsigned rotation = 0)
{
    b.s32(centreX).s32(centreY).u8(transformFlags).u16(rotation);
    for (int i = 0; i < 6; ++i)
        b.s32(0);
    b.wide(notes).u8(100).u8(100).s32(4096).s32(0).s32(0).s32(4096).raw({'x', 'x', 'P', 'P'}).u8(1);
    return b;
}

inline Bytes DesignBody(std::vector<Bytes> const& children, int32_t centreX = 0, int32_t centreY = 0,
                        std::wstring const& notes = L"", Bytes const& extraData = {})
{
    ByteBuilder b;
    PlacementFields(b, centreX, centreY, notes);
    if (extraData.empty())
        b.u8(0);
    else
        b.u8(1).u32(static_cast<uint32_t>(extraData.size())).raw(extraData);
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
