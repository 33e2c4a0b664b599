// gcc 12 at -O3 warns falsely about the standard library's copies and fills of the
// fixed-size starts of the ART images (their vectors are larger than it
// assumes); the warning is off for this file of generators alone.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
#include "BenchFormatImages.h"
#include "ArtTestImages.h"
#include "PesTestImages.h"
#include <algorithm>
#include <cstdint>

namespace BenchFormatImages {

namespace {

using BenchShape::Move;

void PutLittle(Bytes& out, std::size_t at, uint32_t value, int size)
{
    if (out.size() < at + static_cast<std::size_t>(size))
        out.resize(at + static_cast<std::size_t>(size), 0);
    for (int i = 0; i < size; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

void PutBig(Bytes& out, uint32_t value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void Put(Bytes& out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(static_cast<unsigned char>(b));
}

int ColourChanges(Moves const& moves)
{
    return static_cast<int>(std::count_if(moves.begin(), moves.end(),
                                          [](Move const& m) { return m.kind == Move::ColourChange; }));
}

// The two-byte stream JEF and SEW share: y upwards, 0x80 escapes.
Bytes JanomeStream(Moves const& moves)
{
    Bytes out;
    out.reserve(2 * moves.size() + 2);
    for (Move const& m : moves) {
        switch (m.kind) {
        case Move::Stitch: Put(out, {m.dx, -m.dy}); break;
        case Move::Jump: Put(out, {0x80, 0x02, m.dx, -m.dy}); break;
        case Move::ColourChange: Put(out, {0x80, 0x01}); break;
        case Move::Trim: break;
        }
    }
    Put(out, {0x80, 0x10});
    return out;
}

// Brother card data: 7-bit stitch steps, 12-bit jump steps whose y step
// carries the trim, colour changes as FE B0 n, y downwards.
Bytes CardData(Moves const& moves)
{
    Bytes out;
    out.reserve(2 * moves.size() + 2);
    bool trim = false;
    int colour = 0;
    auto feed = [&](int form, int v) { Put(out, {form | ((v >> 8) & 0x0F), v & 0xFF}); };
    for (Move const& m : moves) {
        switch (m.kind) {
        case Move::Stitch: Put(out, {m.dx & 0x7F, m.dy & 0x7F}); break;
        case Move::Jump:
            feed(0x90, m.dx);
            feed(trim ? 0xA0 : 0x90, m.dy);
            trim = false;
            break;
        case Move::Trim: trim = true; break;
        case Move::ColourChange: Put(out, {0xFE, 0xB0, ++colour}); break;
        }
    }
    out.push_back(0xFF);
    return out;
}

std::vector<int> BrotherColours(Moves const& moves)
{
    std::vector<int> colours;
    for (int k = 0; k <= ColourChanges(moves); ++k)
        colours.push_back(1 + k % 64);
    return colours;
}

} // namespace

// A 256-byte header with no length (the file's is taken), 2-byte steps with
// y upwards, 0x7F commands: 01 jump, 03 trim, 9..19 colour, 7F end.
Bytes Xxx(Moves const& moves)
{
    Bytes out(256, 0);
    out.reserve(256 + 4 * moves.size() + 2);
    int colour = 0;
    for (Move const& m : moves) {
        switch (m.kind) {
        case Move::Stitch: Put(out, {m.dx, -m.dy}); break;
        case Move::Jump: Put(out, {0x7F, 0x01, m.dx, -m.dy}); break;
        case Move::Trim: Put(out, {0x7F, 0x03, 0, 0}); break;
        case Move::ColourChange: Put(out, {0x7F, 9 + colour++ % 11, 0, 0}); break;
        }
    }
    Put(out, {0x7F, 0x7F});
    return out;
}

// The header, a Janome code and an unused entry per colour, then the stream.
Bytes Jef(Moves const& moves)
{
    int const colours = ColourChanges(moves) + 1;
    uint32_t const start = 116 + 8 * static_cast<uint32_t>(colours);
    Bytes out(start, 0);
    PutLittle(out, 0, start, 4);
    PutLittle(out, 24, static_cast<uint32_t>(colours), 4);
    for (int k = 0; k < colours; ++k)
        PutLittle(out, 116 + 4 * static_cast<std::size_t>(k), static_cast<uint32_t>(1 + k % 78), 4);
    Bytes const stream = JanomeStream(moves);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

// Twelve colour codes (further changes reuse the last), then the stream at 7544.
Bytes Sew(Moves const& moves)
{
    Bytes out(7544, 0);
    PutLittle(out, 0, 12, 2);
    for (int k = 0; k < 12; ++k)
        PutLittle(out, 2 + 2 * static_cast<std::size_t>(k), static_cast<uint32_t>(1 + k), 2);
    Bytes const stream = JanomeStream(moves);
    out.insert(out.end(), stream.begin(), stream.end());
    return out;
}

Bytes Pec(Moves const& moves)
{
    return PesTestImages::EncodePec(BrotherColours(moves), CardData(moves));
}

// A version 1 PES file of one card-data block.
Bytes Pes(Moves const& moves)
{
    PesTestImages::Block block;
    block.codes = CardData(moves);
    block.colours = BrotherColours(moves);
    return PesTestImages::EncodePes(PesTestImages::Header{}, {block});
}

// A design body: 86 header bytes, no name, a 2 x 3 preview, the colour
// entries, then each colour's units: steps with y downwards, and each jump in
// the long form (escape, 16-bit x and y, an unused unit). No trims.
Bytes Shv(Moves const& moves)
{
    std::vector<Bytes> units(1);
    for (Move const& m : moves) {
        switch (m.kind) {
        case Move::Stitch: Put(units.back(), {m.dx, m.dy}); break;
        case Move::Jump:
            Put(units.back(), {0x80, 0x01});
            PutBig(units.back(), static_cast<uint16_t>(m.dx), 2);
            PutBig(units.back(), static_cast<uint16_t>(m.dy), 2);
            Put(units.back(), {0, 0});
            break;
        case Move::ColourChange: units.emplace_back(); break;
        case Move::Trim: break;
        }
    }
    Bytes out(86, 0);
    Put(out, {0, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0});
    out.push_back(static_cast<unsigned char>(units.size()));
    out.resize(out.size() + 14, 0);
    std::size_t size = 0;
    for (Bytes const& u : units)
        size += u.size();
    PutBig(out, static_cast<uint32_t>(size), 4);
    for (Bytes const& u : units) {
        PutBig(out, static_cast<uint32_t>(u.size() / 2), 4);
        Put(out, {1, 0});
        PutBig(out, 0, 4);
        PutBig(out, 0, 4);
    }
    for (Bytes const& u : units)
        out.insert(out.end(), u.begin(), u.end());
    return out;
}

// The points of each colour as absolute file units (a unit of 0.1 mm in x
// and half of it in y), one colour block each; no trims, and the moves longer
// than the design's longest stitch become jumps.
Bytes Art(Moves const& moves)
{
    ArtTestImages::ArtLayout art;
    art.points.reserve(moves.size());
    art.blocks.push_back({0, BenchShape::ColourOf(0)});
    int x = 0, y = 0;
    for (Move const& m : moves) {
        if (m.kind == Move::ColourChange) {
            art.blocks.push_back({0, BenchShape::ColourOf(static_cast<int>(art.blocks.size()))});
            continue;
        }
        if (m.kind == Move::Trim)
            continue;
        x += m.dx;
        y += m.dy;
        art.points.push_back({x, 2 * y});
        ++art.blocks.back().points;
    }
    return ArtTestImages::BuildArt(art);
}

} // namespace BenchFormatImages
