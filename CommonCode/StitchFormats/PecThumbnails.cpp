// The thumbnails of a Brother card-data block: 48 x 38 one-bit pictures drawn
// from the stitches inside a rounded frame, the first of the whole design and
// then one per colour block, all scaled alike so that each colour sits where
// it sits in the whole. A set bit is a dark pixel; bit 0 is the leftmost.
#include "StitchFormats/PecWriting.h"
#include <algorithm>
#include <climits>
#include <cstdlib>

using Brodix::CommonTypes::PointI;
using Brodix::CommonTypes::RectI;

namespace PecWriting {

namespace {

// The frame's lines, and the area inside it that the design is scaled into.
constexpr int kFrameLeft = 1, kFrameRight = kThumbnailWidth - 2;
constexpr int kFrameTop = 1, kFrameBottom = kThumbnailHeight - 2;
constexpr int kCornerCut = 3;   // pixels left out at each corner of the frame
constexpr int kDrawLeft = 4, kDrawRight = kThumbnailWidth - 5;
constexpr int kDrawTop = 4, kDrawBottom = kThumbnailHeight - 5;

void SetPixel(Thumbnail& picture, int x, int y)
{
    if (x < 0 || x >= kThumbnailWidth || y < 0 || y >= kThumbnailHeight)
        return;
    picture[static_cast<std::size_t>(y * kThumbnailRowBytes + x / 8)] |= static_cast<uint8_t>(1u << (x % 8));
}

void DrawLine(Thumbnail& picture, PointI a, PointI b)
{
    int const dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
    int const dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        SetPixel(picture, a.x, a.y);
        if (a.x == b.x && a.y == b.y)
            return;
        int const twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            a.x += sx;
        }
        if (twice <= dx) {
            error += dx;
            a.y += sy;
        }
    }
}

// The frame Brother machines draw: straight sides, corners cut by a step of two pixels.
void DrawFrame(Thumbnail& picture)
{
    DrawLine(picture, {kFrameLeft + kCornerCut, kFrameTop}, {kFrameRight - kCornerCut, kFrameTop});
    DrawLine(picture, {kFrameLeft + kCornerCut, kFrameBottom}, {kFrameRight - kCornerCut, kFrameBottom});
    DrawLine(picture, {kFrameLeft, kFrameTop + kCornerCut}, {kFrameLeft, kFrameBottom - kCornerCut});
    DrawLine(picture, {kFrameRight, kFrameTop + kCornerCut}, {kFrameRight, kFrameBottom - kCornerCut});
    DrawLine(picture, {kFrameLeft + 1, kFrameTop + 2}, {kFrameLeft + 2, kFrameTop + 1});
    DrawLine(picture, {kFrameRight - 1, kFrameTop + 2}, {kFrameRight - 2, kFrameTop + 1});
    DrawLine(picture, {kFrameLeft + 1, kFrameBottom - 2}, {kFrameLeft + 2, kFrameBottom - 1});
    DrawLine(picture, {kFrameRight - 1, kFrameBottom - 2}, {kFrameRight - 2, kFrameBottom - 1});
}

// The box scaled alike on both axes and centred in the drawing area.
class Scale {
public:
    explicit Scale(RectI const& box) : m_box(box)
    {
        double const width = double(box.right) - box.left;
        double const height = double(box.bottom) - box.top;
        // A box without width or height scales as if it had one unit, and
        // what it holds still goes to the middle.
        m_factor = std::min((kDrawRight - kDrawLeft) / std::max(1.0, width),
                            (kDrawBottom - kDrawTop) / std::max(1.0, height));
        m_marginX = ((kDrawRight - kDrawLeft) - width * m_factor) / 2;
        m_marginY = ((kDrawBottom - kDrawTop) - height * m_factor) / 2;
    }

    PointI operator()(PointI p) const
    {
        return {kDrawLeft + static_cast<int>(m_marginX + (double(p.x) - m_box.left) * m_factor + 0.5),
                kDrawTop + static_cast<int>(m_marginY + (double(p.y) - m_box.top) * m_factor + 0.5)};
    }

private:
    RectI m_box;
    double m_factor = 1.0;
    double m_marginX = 0;
    double m_marginY = 0;
};

RectI BoxOf(std::vector<ColourBlockLines> const& blocks)
{
    RectI box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (ColourBlockLines const& block : blocks)
        for (Polyline const& line : block)
            for (PointI p : line) {
                box.left = std::min(box.left, p.x);
                box.top = std::min(box.top, p.y);
                box.right = std::max(box.right, p.x);
                box.bottom = std::max(box.bottom, p.y);
            }
    return box.left > box.right ? RectI{} : box;
}

} // namespace

Thumbnail MakeCardBmp(std::vector<ColourBlockLines const*> const& blocks, RectI const& box)
{
    Thumbnail picture{};
    DrawFrame(picture);
    Scale const scale(box);
    for (ColourBlockLines const* block : blocks)
        for (Polyline const& line : *block) {
            if (line.empty())
                continue;
            // One point alone still shows as a dot.
            PointI previous = scale(line.front());
            SetPixel(picture, previous.x, previous.y);
            for (PointI p : line) {
                PointI const next = scale(p);
                DrawLine(picture, previous, next);
                previous = next;
            }
        }
    return picture;
}

void WriteDisplayData(std::vector<uint8_t>& image, std::vector<ColourBlockLines> const& blocks)
{
    RectI const box = BoxOf(blocks);
    std::vector<ColourBlockLines const*> all;
    for (ColourBlockLines const& block : blocks)
        all.push_back(&block);
    Thumbnail const whole = MakeCardBmp(all, box);
    image.insert(image.end(), whole.begin(), whole.end());
    for (ColourBlockLines const& block : blocks) {
        Thumbnail const one = MakeCardBmp({&block}, box);
        image.insert(image.end(), one.begin(), one.end());
    }
}

} // namespace PecWriting
