// Conversion between the relative records of CStitches and the absolute
// stitches of a common design, and the splitting of moves that do not fit one
// record.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/ColourRules.h"
#include "StitchFormats/MoveSplitting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cmath>
#include <limits>

using Brodix::CAbsStitch;
using Brodix::ColourData;
using Brodix::CommonTypes::PointI;
using Brodix::StitchFormats::MoveSteps;
using Brodix::StitchFormats::SplitMove;
using Brodix::StitchFormats::CarryLargeRest;
using Brodix::StitchFormats::kMaxRecordStep;

namespace {

// Moves written back into records stay a few units inside the signed-byte
// range, so a merged rest of up to 5 units still fits.
constexpr double kRecordStep = 120.0;

// Keeps hostile step sums inside the design's 32-bit coordinates.
int ClampCoordinate(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

int CStitches::ColourTypeFor(int index, bool useStoredTypes) const
{
    return useStoredTypes ? GetManufacturer(index) : m_defaultColourType;
}

// Written for the common design itself where it is one, so that each record
// is appended without a virtual call.
template <typename Target>
int CStitches::AppendAbsolute(Target& target, int firstDesignColour, PointI origin, bool useStoredTypes,
                              bool addJumps)
{
    ColourData colour;
    GetNearestColourData(colour, GetColour(0), ColourTypeFor(0, useStoredTypes));
    target.AddColourStitch(colour, origin, false);
    int nextColour = 1;

    long long x = origin.x, y = origin.y;
    int32_t colourIndex = firstDesignColour;
    for (int i = 0; i < m_count; ++i) {
        uint8_t type = CAbsStitch::Normal;
        switch (m_flags[i]) {
        case STITCH_NORMAL:
            x += m_dx[i];
            y -= m_dy[i];
            break;
        case STITCH_JUMP:
            x += m_dx[i];
            y -= m_dy[i];
            if (!addJumps)
                continue;
            type = CAbsStitch::Jump;
            break;
        case STITCH_STOP:
            type = CAbsStitch::Stop;
            break;
        case STITCH_TRIM:
            type = CAbsStitch::Trim;
            break;
        case STITCH_COLOUR: {
            int const k = nextColour++;
            GetNearestColourData(colour, GetColour(k), ColourTypeFor(k, useStoredTypes));
            target.AddColourStitch(colour, PointI{ClampCoordinate(x), ClampCoordinate(y)}, false);
            colourIndex = firstDesignColour + k;
            continue;
        }
        default:
            continue;
        }
        // One place that appends, so that the append is written into the loop.
        target.AddStitch(CAbsStitch{PointI{ClampCoordinate(x), ClampCoordinate(y)}, colourIndex, type, false, true});
    }
    return nextColour;
}

int CStitches::ConvertToAbsolute(IDesign& design, PointI origin, bool useStoredTypes, bool addJumps)
{
    // Colour-change records number colours from the design's own count, so a
    // design that already holds colours keeps its stitches pointing right.
    int const firstDesignColour = static_cast<int>(design.GetColourCount());
    if (auto* simple = dynamic_cast<Brodix::CSimpleDesign*>(&design)) {
        simple->ReserveStitches(design.GetStitchCount() + static_cast<std::size_t>(m_count) + 1);
        return AppendAbsolute(*simple, firstDesignColour, origin, useStoredTypes, addJumps);
    }
    return AppendAbsolute(design, firstDesignColour, origin, useStoredTypes, addJumps);
}

namespace {

// Takes the records of the conversion through the new colour rules on their
// way into an empty design; colour changes are numbered as they come, and the
// rules drop none.
class NewRulesTarget {
public:
    explicit NewRulesTarget(Brodix::CSimpleDesign& design)
        : m_colours(design.Colours()), m_out(design.Stitches()), m_walk(m_out, m_noHook)
    {
    }
    void AddColourStitch(ColourData const& colour, PointI point, bool colourChangeFlag)
    {
        CAbsStitch const change{point, static_cast<int32_t>(m_colours.size()), CAbsStitch::ColourChange,
                                colourChangeFlag, true};
        m_colours.push_back(colour);
        m_walk.Feed(change);
    }
    void AddStitch(CAbsStitch const& stitch) { m_walk.Feed(stitch); }
    void Finish() { m_walk.Finish(); }

private:
    struct NoHook {
        void operator()(CAbsStitch&) const {}
    };
    using Output = Brodix::StitchAlgorithms::AppendingOutput<CAbsStitch>;
    std::vector<ColourData>& m_colours;
    Output m_out;
    NoHook m_noHook;
    Brodix::StitchAlgorithms::NewColourRulesWalk<CAbsStitch, Output, NoHook> m_walk;
};

} // namespace

bool CStitches::ConvertToAbsoluteUnderNewColourRules(Brodix::CSimpleDesign& design, bool useStoredTypes)
{
    if (design.GetStitchCount() != 0 || design.GetColourCount() != 0)
        return false;
    design.ReserveStitches(static_cast<std::size_t>(m_count) + 1);
    NewRulesTarget target(design);
    AppendAbsolute(target, 0, PointI{0, 0}, useStoredTypes, false);
    target.Finish();
    return true;
}

void CStitches::StitchOutPut(std::vector<CStitch>& out, int x1, int y1, int x2, int y2, uint8_t midFlags,
                             uint8_t lastFlags, double maxStep)
{
    if ((x1 == x2 && y1 == y2) || !(maxStep >= 1.0))
        return;
    MoveSteps const split = SplitMove(x1, y1, x2, y2, maxStep);
    for (long long i = 0; i < split.count; ++i)
        out.push_back(CStitch{midFlags, static_cast<int8_t>(split.stepX), static_cast<int8_t>(split.stepY)});
    long long rx = split.restX;
    long long ry = split.restY;
    if (split.RestMergeable() && split.count >= 1 && out.size() >= 2) {
        CStitch& last = out.back();
        last.flags = lastFlags;
        last.dx = static_cast<int8_t>(last.dx + rx);
        last.dy = static_cast<int8_t>(last.dy + ry);
        return;
    }
    CarryLargeRest(rx, ry, [&](int x, int y) {
        out.push_back(CStitch{midFlags, static_cast<int8_t>(x), static_cast<int8_t>(y)});
        return true;
    });
    out.push_back(CStitch{lastFlags, static_cast<int8_t>(rx), static_cast<int8_t>(ry)});
}

// Rebuilds records and colours from design, each colour through the catalogue
// that names it. Jumps are kept as jump records; noTrailingJump drops the moves
// after the last needle position.
bool CStitches::ConvertFromAbsolute(IDesign const& design, bool noTrailingJump)
{
    ClearStitches();
    std::vector<CStitch> records;
    records.reserve(std::min<std::size_t>(design.GetStitchCount(), kMaxStitchCount) + 2);
    std::vector<unsigned> colours;
    std::vector<int> colourTypes;

    // A far-flung stitch would take millions of records; a move that no format
    // could hold ends the conversion before they are made.
    bool overflow = false;
    auto putMove = [&](int x1, int y1, int x2, int y2, uint8_t lastFlags) {
        double const steps = std::hypot(double(x2) - x1, double(y2) - y1) / kRecordStep;
        if (overflow || double(records.size()) + steps > kMaxStitchCount) {
            overflow = true;
            return;
        }
        StitchOutPut(records, x1, y1, x2, y2, STITCH_JUMP, lastFlags, kRecordStep);
    };

    int x = 0, y = 0;
    bool pendingMove = false;
    int pendingX = 0, pendingY = 0;
    auto emitPendingMove = [&] {
        if (!pendingMove)
            return;
        putMove(x, y, pendingX, pendingY, STITCH_JUMP);
        x = pendingX;
        y = pendingY;
        pendingMove = false;
    };

    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    for (reader ? reader->First() : void(); reader && !reader->IsDone() && !overflow; reader->Next()) {
        CAbsStitch const s = reader->GetCurrentItem();
        switch (s.type) {
        case CAbsStitch::Normal:
            emitPendingMove();
            putMove(x, y, s.position.x, s.position.y, STITCH_NORMAL);
            if (s.position.x == x && s.position.y == y)
                records.push_back(CStitch{STITCH_NORMAL, 0, 0});
            x = s.position.x;
            y = s.position.y;
            break;
        case CAbsStitch::Jump:
            pendingMove = true;
            pendingX = s.position.x;
            pendingY = s.position.y;
            break;
        case CAbsStitch::ColourChange: {
            ColourData colour = static_cast<unsigned long>(s.colourIndex) < design.GetColourCount()
                                    ? design.GetColour(static_cast<unsigned long>(s.colourIndex))
                                    : ColourData::Default();
            unsigned rgb = colour.colours[0];
            colourTypes.push_back(GetVipFormatColours(rgb, colour));
            colours.push_back(rgb);
            pendingMove = true;
            pendingX = s.position.x;
            pendingY = s.position.y;
            if (colours.size() > 1) {
                emitPendingMove();
                records.push_back(CStitch{STITCH_COLOUR, 0, 0});
            }
            break;
        }
        case CAbsStitch::Stop:
            records.push_back(CStitch{STITCH_STOP, 0, 0});
            break;
        case CAbsStitch::Trim:
            records.push_back(CStitch{STITCH_TRIM, 0, 0});
            break;
        default:
            break;
        }
    }
    if (!noTrailingJump)
        emitPendingMove();
    records.push_back(CStitch{STITCH_END, 0, 0});
    if (overflow || records.size() > static_cast<std::size_t>(kMaxStitchCount))
        return false;

    // Cleared above, so the storage is sized for exactly these records.
    if (AllocStorage(static_cast<int>(records.size())) != kStatusOk)
        return false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        CStitch r = records[i];
        r.dy = static_cast<int8_t>(-r.dy);   // records count y upwards
        if (PutStitch(static_cast<int>(i), r) != kStatusOk)
            return false;
    }
    if (colours.empty()) {
        colours.push_back(0);
        colourTypes.push_back(m_defaultColourType);
    }
    SetNumberColours(static_cast<int>(colours.size()));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        SetColour(static_cast<int>(i), colours[i]);
        SetManufacturer(static_cast<int>(i), colourTypes[i]);
    }
    return true;
}

namespace {

bool FitsStep(long long value) { return value >= -kMaxRecordStep && value <= kMaxRecordStep; }

// Writes the move in steps of at most step units; the final record has
// lastFlags and takes up a rest of up to 5 units.
void PutLongMove(CStitches* stitches, int x0, int y0, int x1, int y1, double step, int& index, uint8_t lastFlags)
{
    if (stitches == nullptr || (x0 == x1 && y0 == y1) || !(step > 0))
        return;
    MoveSteps const split = SplitMove(x0, y0, x1, y1, step);
    long long const steps = split.count;
    CStitch const jump{STITCH_JUMP, static_cast<int8_t>(split.stepX), static_cast<int8_t>(split.stepY)};
    // The storage bounds the work: a move longer than the file could hold ends there.
    long long written = 0;
    for (; written < steps && stitches->PutStitch(index, jump) == CStitches::kStatusOk; ++written)
        ++index;
    long long rx = split.restX;
    long long ry = split.restY;
    bool const smallRest = split.RestMergeable();
    if (smallRest && steps >= 1) {
        if (written < steps || index < 1)
            return;
        CStitch last = *stitches->GetStitch(index - 1);
        long long const mergedX = last.dx + rx;
        long long const mergedY = last.dy + ry;
        if (FitsStep(mergedX) && FitsStep(mergedY)) {
            last.flags = lastFlags;
            last.dx = static_cast<int8_t>(mergedX);
            last.dy = static_cast<int8_t>(mergedY);
            // The record just written takes the rest, so it lies inside the storage.
            static_cast<void>(stitches->PutStitch(index - 1, last));
            return;
        }
    }
    if (smallRest && rx == 0 && ry == 0)
        return;
    bool const restFits = CarryLargeRest(rx, ry, [&](int x, int y) {
        if (stitches->PutStitch(index, CStitch{STITCH_JUMP, static_cast<int8_t>(x), static_cast<int8_t>(y)}) != 0)
            return false;
        ++index;
        return true;
    });
    if (!restFits)
        return;
    if (stitches->PutStitch(index, CStitch{lastFlags, static_cast<int8_t>(rx), static_cast<int8_t>(ry)}) == 0)
        ++index;
}

} // namespace

void LongStitchPut(CStitches* stitches, int x0, int y0, int x1, int y1, double step, int& index)
{
    PutLongMove(stitches, x0, y0, x1, y1, step, index, STITCH_NORMAL);
}

void LongJumpStitchPut(CStitches* stitches, int x0, int y0, int x1, int y1, double step, int& index)
{
    PutLongMove(stitches, x0, y0, x1, y1, step, index, STITCH_JUMP);
}
