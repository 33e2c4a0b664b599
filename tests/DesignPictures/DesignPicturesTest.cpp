// Pictures of designs: what is drawn where, in which colour, at which size.
#include "DesignFiles/DesignFiles.h"
#include "DesignPictures/DesignPictures.h"
#include "Fundamentals/SimpleDesign.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Brodix::CAbsStitch;
using Brodix::CSimpleDesign;
using Brodix::ColourData;
using namespace Brodix::DesignPictures;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

ColourData Thread(uint32_t rgb)
{
    ColourData c = ColourData::Default();
    // Designs keep 0x00BBGGRR.
    c.colours[0] = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
    return c;
}

void Add(CSimpleDesign& design, CAbsStitch::Type type, int x, int y, bool visible = true)
{
    CAbsStitch s;
    s.position = {x, y};
    s.type = type;
    s.visible = visible;
    design.AddStitch(s);
}

// Red along y = 0 from x = 0 to 200, a jump across to (0, 200), then blue
// along y = 200 back to x = 200. Drawn at 408 pixels, one design unit is two
// pixels and the thread is 8 pixels wide.
CSimpleDesign TwoLines()
{
    CSimpleDesign d;
    d.AddColourStitch(Thread(kRed), {0, 0}, false);
    Add(d, CAbsStitch::Normal, 100, 0);
    Add(d, CAbsStitch::Normal, 200, 0);
    Add(d, CAbsStitch::Jump, 0, 200);
    d.AddColourStitch(Thread(kBlue), {0, 200}, false);
    Add(d, CAbsStitch::Normal, 200, 200);
    return d;
}

// The pixel where design point (x, y) lands at two pixels per unit.
uint32_t At(Picture const& p, int x, int y)
{
    int const px = (x + 2) * 2, py = (y + 2) * 2;
    EXPECT_TRUE(px >= 0 && px < p.width && py >= 0 && py < p.height) << px << "," << py;
    return p.pixels.at(static_cast<std::size_t>(py) * p.width + px);
}

TEST(DesignPictures, StitchesAreDrawnInTheirThreadColourAndNothingElse)
{
    CSimpleDesign const design = TwoLines();
    Picture const p = DrawPixels(design, {408, {}, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_EQ(p.width, 408);
    EXPECT_EQ(p.height, 408);
    EXPECT_EQ(At(p, 50, 0), 0xFF000000 | kRed);
    EXPECT_EQ(At(p, 150, 0), 0xFF000000 | kRed);
    EXPECT_EQ(At(p, 100, 200), 0xFF000000 | kBlue);
    // The jump's middle and a point beside the lines stay transparent.
    EXPECT_EQ(At(p, 100, 100) >> 24, 0u);
    EXPECT_EQ(At(p, 50, 150) >> 24, 0u);
    EXPECT_EQ(At(p, 100, 20) >> 24, 0u);
}

TEST(DesignPictures, BackgroundFillsWhatIsNotSewn)
{
    Picture const p = DrawPixels(TwoLines(), {408, 0x00FF00, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_EQ(At(p, 100, 100), 0xFF00FF00);
    EXPECT_EQ(At(p, 50, 0), 0xFF000000 | kRed);
}

// Trims, hidden stitches, stops and colour changes move the pen without a line.
TEST(DesignPictures, OnlySewnVisibleStitchesMakeLines)
{
    CSimpleDesign d;
    d.AddColourStitch(Thread(kRed), {0, 0}, false);
    Add(d, CAbsStitch::Normal, 200, 0);
    Add(d, CAbsStitch::Trim, 200, 0);
    Add(d, CAbsStitch::Normal, 200, 200);   // the move after the trim
    Add(d, CAbsStitch::Normal, 0, 200);
    Add(d, CAbsStitch::Normal, 0, 100, false);
    Add(d, CAbsStitch::Stop, 100, 100);
    Add(d, CAbsStitch::Normal, 100, 150);
    d.AddColourStitch(Thread(kBlue), {50, 50}, false);
    Add(d, CAbsStitch::Normal, 50, 60);

    std::vector<ColourBlock> const blocks = SewnBlocks(d);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].rgb, kRed);
    using P = Brodix::CommonTypes::PointI;
    std::vector<std::vector<P>> const red{{{0, 0}, {200, 0}}, {{200, 200}, {0, 200}}, {{100, 100}, {100, 150}}};
    EXPECT_EQ(blocks[0].runs, red);
    EXPECT_EQ(blocks[1].rgb, kBlue);
    std::vector<std::vector<P>> const blue{{{50, 50}, {50, 60}}};
    EXPECT_EQ(blocks[1].runs, blue);

    Picture const p = DrawPixels(d, {408, {}, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_EQ(At(p, 200, 100) >> 24, 0u);   // after the trim
    EXPECT_EQ(At(p, 0, 150) >> 24, 0u);     // hidden
    EXPECT_EQ(At(p, 50, 100) >> 24, 0u);    // into the stop
    EXPECT_EQ(At(p, 75, 75) >> 24, 0u);     // into the colour change
    EXPECT_EQ(At(p, 100, 200), 0xFF000000 | kRed);
    EXPECT_EQ(At(p, 100, 125), 0xFF000000 | kRed);
}

TEST(DesignPictures, KeepsTheAspectRatioAndFitsTheLongerSide)
{
    struct Case {
        int dx, dy, size;
    } const cases[] = {{400, 100, 200}, {100, 400, 200}, {1000, 1000, 64}, {996, 0, 512}, {30000, 7, 1}};
    for (Case const& c : cases) {
        CSimpleDesign d;
        d.AddColourStitch(Thread(kRed), {-c.dx / 2, 0}, false);
        Add(d, CAbsStitch::Normal, c.dx - c.dx / 2, c.dy);
        Picture const p = DrawPng(d, {c.size, {}, false});
        ASSERT_TRUE(p.Drawn()) << p.message;
        // The thread's width (four units) is part of the picture.
        double const w = c.dx + 4.0, h = c.dy + 4.0;
        EXPECT_EQ(std::max(p.width, p.height), c.size) << c.dx << "x" << c.dy;
        EXPECT_NEAR(double(p.width) / p.height, w / h, std::max(w / h, h / w) * 2.0 / std::min(p.width, p.height))
            << c.dx << "x" << c.dy;
        EXPECT_GE(std::min(p.width, p.height), 1);

        // The PNG holds the picture at that size.
        struct Reader {
            std::string const* bytes;
            std::size_t at = 0;
        } reader{&p.bytes};
        cairo_surface_t* png = cairo_image_surface_create_from_png_stream(
            [](void* closure, unsigned char* data, unsigned int length) {
                auto* r = static_cast<Reader*>(closure);
                if (r->bytes->size() - r->at < length)
                    return CAIRO_STATUS_READ_ERROR;
                std::copy_n(r->bytes->data() + r->at, length, data);
                r->at += length;
                return CAIRO_STATUS_SUCCESS;
            },
            &reader);
        ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(png), p.width);
        EXPECT_EQ(cairo_image_surface_get_height(png), p.height);
        cairo_surface_destroy(png);
    }
}

TEST(DesignPictures, OnePointIsADot)
{
    CSimpleDesign d;
    d.AddColourStitch(Thread(kRed), {5, 5}, false);
    Add(d, CAbsStitch::Normal, 5, 5);
    Picture const p = DrawPixels(d, {512, {}, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_GT(p.width, 1);
    EXPECT_EQ(p.width, p.height);
    EXPECT_EQ(p.pixels[static_cast<std::size_t>(p.height / 2) * p.width + p.width / 2], 0xFF000000 | kRed);
    EXPECT_EQ(p.pixels[0] >> 24, 0u);   // round, not a square
}

TEST(DesignPictures, RefusesWhatCannotBeDrawn)
{
    CSimpleDesign empty;
    CSimpleDesign onlyJumps;
    onlyJumps.AddColourStitch(Thread(kRed), {0, 0}, false);
    Add(onlyJumps, CAbsStitch::Jump, 100, 100);
    for (IDesign const* d : {static_cast<IDesign const*>(&empty), static_cast<IDesign const*>(&onlyJumps)}) {
        for (Picture const& p : {DrawPng(*d, {}), DrawSvg(*d, {}), DrawPixels(*d, {})}) {
            EXPECT_EQ(p.status, PictureStatus::NothingSewn);
            EXPECT_TRUE(p.bytes.empty());
            EXPECT_FALSE(p.message.empty());
        }
        EXPECT_EQ(TerminalPreview(*d), "");
    }
    for (int const size : {0, -5, kMaxPictureSize + 1})
        EXPECT_EQ(DrawPng(TwoLines(), {size, {}, false}).status, PictureStatus::BadSize) << size;
}

TEST(DesignPictures, CoordinatesAtTheLimitsDoNotOverflow)
{
    CSimpleDesign d;
    d.AddColourStitch(Thread(kRed), {INT_MIN, INT_MIN}, false);
    Add(d, CAbsStitch::Normal, INT_MAX, INT_MAX);
    Add(d, CAbsStitch::Normal, INT_MAX, INT_MIN);
    Picture const p = DrawPixels(d, {100, {}, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 100);
    EXPECT_GT(p.pixels[99 * 100 + 99] >> 24, 0u);   // the corner at the maximum is sewn
    EXPECT_EQ(p.pixels[99 * 100] >> 24, 0u);
}

TEST(DesignPictures, ColourBlocksSitSideBySideInOneFrame)
{
    Picture const p = DrawPixels(TwoLines(), {408, {}, true});
    ASSERT_TRUE(p.Drawn()) << p.message;
    int const gap = 408 / 16;
    EXPECT_EQ(p.width, 2 * 408 + gap);
    EXPECT_EQ(p.height, 408);
    auto const at = [&](int panel, int x, int y) {
        return p.pixels.at(static_cast<std::size_t>((y + 2) * 2) * p.width + panel * (408 + gap) + (x + 2) * 2);
    };
    EXPECT_EQ(at(0, 50, 0), 0xFF000000 | kRed);
    EXPECT_EQ(at(0, 100, 200) >> 24, 0u);
    EXPECT_EQ(at(1, 50, 0) >> 24, 0u);
    EXPECT_EQ(at(1, 100, 200), 0xFF000000 | kBlue);

    // Thousands of blocks shrink the panels; the picture stays bounded.
    CSimpleDesign many;
    for (int i = 0; i < 1000; ++i) {
        many.AddColourStitch(Thread(static_cast<uint32_t>(i)), {i, 0}, false);
        Add(many, CAbsStitch::Normal, i, 500);
    }
    Picture const strip = DrawPng(many, {kMaxPictureSize, {}, true});
    ASSERT_TRUE(strip.Drawn()) << strip.message;
    EXPECT_LE(strip.width, 16384);
    EXPECT_LE(strip.height, 16384);
    EXPECT_LE(double(strip.width) * strip.height, 32.0 * 1024 * 1024);
}

TEST(DesignPictures, SvgHasOnePathPerColourBlockInItsColour)
{
    Picture const p = DrawSvg(TwoLines(), {408, {}, false});
    ASSERT_TRUE(p.Drawn()) << p.message;
    EXPECT_NE(p.bytes.find("<svg"), std::string::npos);
    // The stroke colour of each path element, as cairo writes it: rgb(R%,G%,B%).
    std::vector<std::string> strokes;
    for (std::size_t at = p.bytes.find("<path"); at != std::string::npos; at = p.bytes.find("<path", at + 1)) {
        std::string const element = p.bytes.substr(at, p.bytes.find('>', at) - at);
        std::size_t const colour = element.find("stroke:rgb(");
        ASSERT_NE(colour, std::string::npos) << element;
        std::size_t const from = colour + std::string("stroke:rgb(").size();
        strokes.push_back(element.substr(from, element.find(')', from) - from));
    }
    std::vector<std::string> const expected{"100%,0%,0%", "0%,0%,100%"};
    EXPECT_EQ(strokes, expected);
    auto const count = [&](std::string const& what) {
        std::size_t n = 0;
        for (std::size_t at = p.bytes.find(what); at != std::string::npos; at = p.bytes.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("<path"), 2u);
}

TEST(DesignPictures, TerminalPreviewIsHalfBlocksInTrueColour)
{
    std::string const preview = TerminalPreview(TwoLines(), 40);
    EXPECT_NE(preview.find("\x1b[38;2;255;0;0m"), std::string::npos);
    EXPECT_NE(preview.find("\x1b[38;2;0;0;255m"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = 0, end; (end = preview.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
        std::string const line = preview.substr(at, end - at);
        // Each cell is one character: a space or a half block (three bytes).
        std::string cells;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '\x1b') {
                cells += line[i];
                continue;
            }
            i = line.find('m', i);   // the end of the colour sequence
            if (i == std::string::npos)
                break;
        }
        std::size_t const width = std::count(cells.begin(), cells.end(), ' ')
                                + (cells.size() - std::count(cells.begin(), cells.end(), ' ')) / 3;
        EXPECT_EQ(width, 40u) << line;
    }
    EXPECT_EQ(lines, 20u);
}

TEST(DesignPictures, ParsesColours)
{
    struct Case {
        char const* text;
        std::optional<uint32_t> value;
    } const cases[] = {{"#FF0080", 0xFF0080}, {"00ff80", 0x00FF80}, {"#abcdef", 0xABCDEF}, {"#FFF", {}},
                       {"#GG0000", {}},       {"", {}},             {"#1234567", {}},       {"red", {}},
                       {"-12345", {}},        {" 12345", {}},       {"+12345", {}}};
    for (Case const& c : cases)
        EXPECT_EQ(ParseColour(c.text), c.value) << c.text;
}

// Every corpus file that loads gives a picture.
TEST(DesignPictures, EveryCorpusDesignThatLoadsIsDrawn)
{
    namespace DF = Brodix::DesignFiles;
    std::size_t drawn = 0;
    for (auto const& entry : std::filesystem::recursive_directory_iterator("../shared/corpus")) {
        if (!entry.is_regular_file())
            continue;
        auto const format = DF::FileFormatFromExtension(entry.path().extension().string());
        if (!format)
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<unsigned char> const bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        DF::LoadResult const loaded = DF::LoadDesign(bytes, *format);
        if (!loaded.Loaded())
            continue;
        if (SewnBlocks(*loaded.design).empty())
            continue;
        Picture const png = DrawPng(*loaded.design, {128, {}, false});
        EXPECT_TRUE(png.Drawn()) << entry.path() << ": " << png.message;
        // Designs under 4 mm are not blown up to the full size.
        EXPECT_LE(std::max(png.width, png.height), 128) << entry.path();
        EXPECT_GE(std::min(png.width, png.height), 1) << entry.path();
        Picture const svg = DrawSvg(*loaded.design, {128, {}, true});
        EXPECT_TRUE(svg.Drawn()) << entry.path() << ": " << svg.message;
        ++drawn;
    }
    EXPECT_GT(drawn, 100u);
}

} // namespace
