// Absolute designs back to relative records for the object-style writers.
#include "StitchFormats/RelativeStitches.h"
#include <algorithm>

using Brodix::CAbsStitch;
using Brodix::ColourData;
using Brodix::CommonTypes::RectI;

namespace {

bool IsValid(RectI const& r)
{
    return r.right > r.left && r.bottom > r.top;
}

unsigned PackStitch(CStitch const& s)
{
    return unsigned(s.flags) | unsigned(static_cast<uint8_t>(s.dx)) << 8 | unsigned(static_cast<uint8_t>(s.dy)) << 16;
}

} // namespace

CRelativeStitches::CRelativeStitches(IDesign const& design, bool noTrailingJump)
{
    ConvertFromAbsolute(design, noTrailingJump, true);
}

void CRelativeStitches::ConvertFromAbsolute(IDesign const& design, bool noTrailingJump, bool stopAsColour)
{
    int lastX = 0, lastY = 0;
    bool pendingMove = false;
    int pendingX = 0, pendingY = 0;
    bool firstColour = true;
    m_records.reserve(m_records.size() + design.GetStitchCount() + 1);

    auto startColour = [&](CAbsStitch const& s) {
        ColourData const colour = static_cast<unsigned long>(s.colourIndex) < design.GetColourCount()
                                      ? design.GetColour(static_cast<unsigned long>(s.colourIndex))
                                      : ColourData::Default();
        unsigned rgb = colour.colours[0];
        int const catalogue = CStitches::GetVipFormatColours(rgb, colour);
        m_colours.push_back(ColInfo{catalogue, rgb});
        if (firstColour) {
            firstColour = false;
            pendingMove = true;
            pendingX = s.position.x;
            pendingY = s.position.y;
            return;
        }
        m_records.push_back(CStitch{STITCH_COLOUR, 0, 0});
    };

    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    if (reader) {
        for (reader->First(); !reader->IsDone(); reader->Next()) {
            CAbsStitch const s = reader->GetCurrentItem();
            switch (s.type) {
            case CAbsStitch::Normal:
                StitchOutPut(lastX, lastY, s.position.x, s.position.y, STITCH_JUMP, STITCH_NORMAL, kMaxStep);
                lastX = s.position.x;
                lastY = s.position.y;
                pendingMove = false;
                break;
            case CAbsStitch::Jump:
                pendingMove = true;
                pendingX = s.position.x;
                pendingY = s.position.y;
                break;
            case CAbsStitch::ColourChange:
                startColour(s);
                break;
            case CAbsStitch::Stop:
                if (stopAsColour)
                    startColour(s);
                else
                    m_records.push_back(CStitch{STITCH_STOP, 0, 0});
                break;
            case CAbsStitch::Trim:
                m_records.push_back(CStitch{STITCH_TRIM, 0, 0});
                break;
            default:
                break;
            }
        }
    }
    if (pendingMove && !noTrailingJump)
        StitchOutPut(lastX, lastY, pendingX, pendingY, STITCH_JUMP, STITCH_JUMP, kMaxStep);
    m_records.push_back(CStitch{STITCH_END, 0, 0});
    for (CStitch& r : m_records)
        r.dy = static_cast<int8_t>(-r.dy);   // records count y upwards
}

void CRelativeStitches::StitchOutPut(int x1, int y1, int x2, int y2, uint8_t midFlags, uint8_t lastFlags,
                                     double maxStep)
{
    CStitches::StitchOutPut(m_records, x1, y1, x2, y2, midFlags, lastFlags, maxStep);
}

void CRelativeStitches::SetColInfo(int index, unsigned rgb, int catalogue)
{
    // The colour list never grows past what any format can declare.
    if (index < 0 || !CStitches::ValidateNumCols(index))
        return;
    if (static_cast<std::size_t>(index) >= m_colours.size())
        m_colours.resize(static_cast<std::size_t>(index) + 1);
    m_colours[static_cast<std::size_t>(index)] = ColInfo{catalogue, rgb};
}

RectI CRelativeStitches::GetRect()
{
    if (IsValid(m_rect))
        return m_rect;
    int x = 0, y = 0;
    for (CStitch const& s : m_records) {
        x += s.dx;
        y += s.dy;
        m_rect.left = std::min(m_rect.left, x);
        m_rect.right = std::max(m_rect.right, x);
        m_rect.top = std::min(m_rect.top, y);
        m_rect.bottom = std::max(m_rect.bottom, y);
    }
    return m_rect;
}

unsigned CRelativeStitches::GetColorRGB(int index) const
{
    return index >= 0 && index < GetColorCount() ? m_colours[static_cast<std::size_t>(index)].rgb : 0;
}

unsigned CRelativeStitches::GetStitch(int index) const
{
    return index >= 0 && index < GetCount() ? PackStitch(m_records[static_cast<std::size_t>(index)]) : 0;
}

void CRelativeStitches::Rotate180()
{
    for (CStitch& r : m_records) {
        r.dx = static_cast<int8_t>(-r.dx);
        r.dy = static_cast<int8_t>(-r.dy);
    }
    m_rect = RectI{};
}
