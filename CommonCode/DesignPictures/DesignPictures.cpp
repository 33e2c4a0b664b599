#include "DesignPictures/DesignPictures.h"
#include <cairo-svg.h>
#include <cairo.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace Brodix::DesignPictures {

namespace {

using CommonTypes::PointI;

// Real thread is about 0.4 mm across: four design units.
constexpr double kThreadWidth = 4.0;
// A design smaller than this (in design units) is not blown up to fill the
// picture, so a single stitch stays a dot and not a disc.
constexpr double kSmallestExtent = 40.0;
// Below this width (in pixels) a line is too thin for an edge to show.
constexpr double kThinnestEdgedLine = 3.0;
// Edged runs are stroked in pieces, so a later stitch's edge shows over an
// earlier one of the same colour, as on cloth.
constexpr std::size_t kSegmentsPerStroke = 24;
// Bounds of the picture of all colour blocks together.
constexpr double kLongestStrip = 16384.0;
constexpr double kMostPixels = 32.0 * 1024 * 1024;
constexpr int kPanelsPerRow = 10;

uint32_t ColourOf(IDesign const& design, long long index)
{
    if (index < 0 || static_cast<unsigned long long>(index) >= design.GetColourCount())
        return 0x808080;
    uint32_t const bgr = design.GetColour(static_cast<unsigned long>(index)).colours[0];
    return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

struct Layout {
    long long minX = 0, minY = 0;
    double scale = 1;         // pixels per design unit
    int panelWidth = 1, panelHeight = 1;
    int columns = 1, rows = 1, gap = 0;
    int width = 1, height = 1;
};

// Where the design goes in each panel and how the panels sit in the picture.
Layout MakeLayout(std::vector<ColourBlock> const& blocks, int size, bool colourBlocks)
{
    long long minX = std::numeric_limits<long long>::max(), minY = minX;
    long long maxX = std::numeric_limits<long long>::min(), maxY = maxX;
    for (ColourBlock const& block : blocks)
        for (auto const& run : block.runs)
            for (PointI const& p : run) {
                minX = std::min<long long>(minX, p.x);
                maxX = std::max<long long>(maxX, p.x);
                minY = std::min<long long>(minY, p.y);
                maxY = std::max<long long>(maxY, p.y);
            }
    // 64-bit differences: coordinates at the ends of the 32-bit range do not overflow.
    double const extentX = static_cast<double>(maxX - minX) + kThreadWidth;
    double const extentY = static_cast<double>(maxY - minY) + kThreadWidth;
    std::size_t const panels = colourBlocks ? blocks.size() : 1;

    Layout layout;
    layout.minX = minX;
    layout.minY = minY;
    layout.columns = static_cast<int>(std::min<std::size_t>(panels, kPanelsPerRow));
    layout.rows = static_cast<int>((panels + kPanelsPerRow - 1) / kPanelsPerRow);
    double panelSize = size;
    for (;;) {
        layout.scale = panelSize / std::max({extentX, extentY, kSmallestExtent});
        layout.panelWidth = std::max(1, static_cast<int>(std::lround(extentX * layout.scale)));
        layout.panelHeight = std::max(1, static_cast<int>(std::lround(extentY * layout.scale)));
        layout.gap = panels > 1 ? std::max(1, static_cast<int>(panelSize / 16)) : 0;
        double const width = double(layout.columns) * layout.panelWidth + double(layout.columns - 1) * layout.gap;
        double const height = double(layout.rows) * layout.panelHeight + double(layout.rows - 1) * layout.gap;
        // Many colour blocks shrink the panels rather than the memory running out.
        double const shrink = std::min({1.0, kLongestStrip / width, kLongestStrip / height,
                                        std::sqrt(kMostPixels / (width * height))});
        if (shrink >= 1.0 || panelSize <= 1.0) {
            layout.width = static_cast<int>(std::min(width, kLongestStrip));
            layout.height = static_cast<int>(std::min(height, kLongestStrip));
            return layout;
        }
        panelSize = std::max(1.0, std::floor(panelSize * shrink * 0.99));
    }
}

void SetColour(cairo_t* cr, uint32_t rgb, double factor)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0 * factor, ((rgb >> 8) & 0xFF) / 255.0 * factor,
                         (rgb & 0xFF) / 255.0 * factor);
}

void AddPoints(cairo_t* cr, Layout const& layout, std::vector<PointI> const& run, std::size_t first,
               std::size_t last)
{
    auto const x = [&](PointI p) { return (static_cast<double>(p.x - layout.minX) + kThreadWidth / 2) * layout.scale; };
    auto const y = [&](PointI p) { return (static_cast<double>(p.y - layout.minY) + kThreadWidth / 2) * layout.scale; };
    cairo_move_to(cr, x(run[first]), y(run[first]));
    for (std::size_t i = first + 1; i <= last; ++i)
        cairo_line_to(cr, x(run[i]), y(run[i]));
}

// Draws one block into the current panel. Vector output gets one stroke per
// block, so each colour block is one object to select in an editor; pixel
// output gets a darker edge under each piece of thread.
void DrawBlock(cairo_t* cr, Layout const& layout, ColourBlock const& block, bool vector)
{
    double const width = std::max(1.0, kThreadWidth * layout.scale);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (vector || width < kThinnestEdgedLine) {
        cairo_set_line_width(cr, width);
        for (auto const& run : block.runs)
            AddPoints(cr, layout, run, 0, run.size() - 1);
        SetColour(cr, block.rgb, 1.0);
        cairo_stroke(cr);
        return;
    }
    for (auto const& run : block.runs) {
        for (std::size_t first = 0; first + 1 < run.size(); first += kSegmentsPerStroke) {
            std::size_t const last = std::min(run.size() - 1, first + kSegmentsPerStroke);
            AddPoints(cr, layout, run, first, last);
            cairo_set_line_width(cr, width);
            SetColour(cr, block.rgb, 0.6);
            cairo_stroke_preserve(cr);
            cairo_set_line_width(cr, width * 0.7);
            SetColour(cr, block.rgb, 1.0);
            cairo_stroke(cr);
        }
    }
}

void DrawAll(cairo_t* cr, std::vector<ColourBlock> const& blocks, Layout const& layout,
             PictureOptions const& options, bool vector)
{
    if (options.background) {
        SetColour(cr, *options.background, 1.0);
        cairo_paint(cr);
    }
    if (!options.colourBlocks) {
        for (ColourBlock const& block : blocks)
            DrawBlock(cr, layout, block, vector);
        return;
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        int const column = static_cast<int>(i % kPanelsPerRow), row = static_cast<int>(i / kPanelsPerRow);
        cairo_save(cr);
        cairo_translate(cr, column * (layout.panelWidth + layout.gap), row * (layout.panelHeight + layout.gap));
        DrawBlock(cr, layout, blocks[i], vector);
        cairo_restore(cr);
    }
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using ContextPtr = std::unique_ptr<cairo_t, ContextDeleter>;

cairo_status_t AppendBytes(void* closure, unsigned char const* data, unsigned int length)
{
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<char const*>(data), length);
    } catch (std::bad_alloc const&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

Picture Failure(PictureStatus status, std::string message)
{
    Picture picture;
    picture.status = status;
    picture.message = std::move(message);
    return picture;
}

Picture CairoFailure(cairo_status_t status)
{
    return Failure(PictureStatus::DrawingFailed, std::string("cannot draw: ") + cairo_status_to_string(status));
}

enum class Output { Png, Svg, Pixels };

Picture Draw(IDesign const& design, PictureOptions const& options, Output output)
{
    if (options.size < 1 || options.size > kMaxPictureSize)
        return Failure(PictureStatus::BadSize,
                       "the size must be between 1 and " + std::to_string(kMaxPictureSize) + " pixels");
    std::vector<ColourBlock> const blocks = SewnBlocks(design);
    if (blocks.empty())
        return Failure(PictureStatus::NothingSewn, "the design has no stitches to draw");
    Layout const layout = MakeLayout(blocks, options.size, options.colourBlocks);

    Picture picture;
    picture.width = layout.width;
    picture.height = layout.height;
    SurfacePtr surface(output == Output::Svg
                           ? cairo_svg_surface_create_for_stream(AppendBytes, &picture.bytes, layout.width,
                                                                 layout.height)
                           : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout.width, layout.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return CairoFailure(cairo_surface_status(surface.get()));
    {
        ContextPtr const cr(cairo_create(surface.get()));
        DrawAll(cr.get(), blocks, layout, options, output == Output::Svg);
        if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
            return CairoFailure(cairo_status(cr.get()));
    }
    cairo_surface_flush(surface.get());
    switch (output) {
    case Output::Svg:
        cairo_surface_finish(surface.get());
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
            return CairoFailure(cairo_surface_status(surface.get()));
        break;
    case Output::Png:
        if (cairo_status_t const status = cairo_surface_write_to_png_stream(surface.get(), AppendBytes, &picture.bytes);
            status != CAIRO_STATUS_SUCCESS)
            return CairoFailure(status);
        break;
    case Output::Pixels: {
        unsigned char const* data = cairo_image_surface_get_data(surface.get());
        int const stride = cairo_image_surface_get_stride(surface.get());
        picture.pixels.reserve(static_cast<std::size_t>(layout.width) * layout.height);
        for (int y = 0; y < layout.height; ++y) {
            auto const* row = reinterpret_cast<uint32_t const*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < layout.width; ++x) {
                // Cairo keeps colours multiplied by alpha; people and tests want them back.
                uint32_t const p = row[x];
                uint32_t const a = p >> 24;
                auto const channel = [&](int shift) -> uint32_t {
                    uint32_t const c = (p >> shift) & 0xFF;
                    return a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a);
                };
                picture.pixels.push_back(a << 24 | channel(16) << 16 | channel(8) << 8 | channel(0));
            }
        }
        break;
    }
    }
    return picture;
}

void AppendColour(std::string& out, char const* prefix, uint32_t argb)
{
    out += prefix;
    out += std::to_string((argb >> 16) & 0xFF) + ";" + std::to_string((argb >> 8) & 0xFF) + ";"
         + std::to_string(argb & 0xFF) + "m";
}

} // namespace

std::vector<ColourBlock> SewnBlocks(IDesign const& design)
{
    std::vector<ColourBlock> blocks;
    ColourBlock current{ColourOf(design, 0), {}};
    std::vector<PointI> run;
    std::optional<PointI> pen;
    bool afterTrim = false;
    auto const endRun = [&] {
        if (!run.empty())
            current.runs.push_back(std::move(run));
        run.clear();
    };
    auto reader = HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next()) {
        CAbsStitch const stitch = reader->GetCurrentItem();
        switch (stitch.type) {
        case CAbsStitch::Normal:
            // After a trim the thread is cut: the next stitch is where sewing starts again.
            if (stitch.visible && !afterTrim) {
                if (run.empty())
                    run.push_back(pen.value_or(stitch.position));
                run.push_back(stitch.position);
            } else {
                endRun();
            }
            break;
        case CAbsStitch::ColourChange:
            endRun();
            if (!current.runs.empty())
                blocks.push_back(std::move(current));
            current = ColourBlock{ColourOf(design, stitch.colourIndex), {}};
            break;
        default:   // jumps, trims and stops only move the needle
            endRun();
            break;
        }
        afterTrim = stitch.type == CAbsStitch::Trim;
        pen = stitch.position;
    }
    endRun();
    if (!current.runs.empty())
        blocks.push_back(std::move(current));
    return blocks;
}

Picture DrawPng(IDesign const& design, PictureOptions const& options)
{
    return Draw(design, options, Output::Png);
}

Picture DrawSvg(IDesign const& design, PictureOptions const& options)
{
    return Draw(design, options, Output::Svg);
}

Picture DrawPixels(IDesign const& design, PictureOptions const& options)
{
    return Draw(design, options, Output::Pixels);
}

std::string TerminalPreview(IDesign const& design, int columns)
{
    // A square of columns pixels: half blocks make each pixel about square.
    Picture const picture = DrawPixels(design, PictureOptions{std::clamp(columns, 1, kMaxPictureSize), {}, false});
    if (!picture.Drawn())
        return {};
    auto const at = [&](int x, int y) -> uint32_t {
        return y < picture.height ? picture.pixels[static_cast<std::size_t>(y) * picture.width + x] : 0;
    };
    auto const shown = [](uint32_t argb) { return (argb >> 24) >= 96; };
    std::string out;
    for (int y = 0; y < picture.height; y += 2) {
        for (int x = 0; x < picture.width; ++x) {
            uint32_t const upper = at(x, y), lower = at(x, y + 1);
            if (shown(upper) && shown(lower)) {
                AppendColour(out, "\x1b[38;2;", upper);
                AppendColour(out, "\x1b[48;2;", lower);
                out += "\u2580";
            } else if (shown(upper) || shown(lower)) {
                out += "\x1b[49m";
                AppendColour(out, "\x1b[38;2;", shown(upper) ? upper : lower);
                out += shown(upper) ? "\u2580" : "\u2584";
            } else {
                out += "\x1b[0m ";
            }
        }
        out += "\x1b[0m\n";
    }
    return out;
}

std::optional<uint32_t> ParseColour(std::string_view text)
{
    if (text.starts_with('#'))
        text.remove_prefix(1);
    if (text.size() != 6)
        return std::nullopt;
    uint32_t value = 0;
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace Brodix::DesignPictures
