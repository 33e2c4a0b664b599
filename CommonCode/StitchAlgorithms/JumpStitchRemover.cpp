#include "StitchAlgorithms/JumpStitchRemover.h"
#include <algorithm>
#include <cmath>

namespace Brodix::StitchAlgorithms {

namespace {

// Lengths are in design units (tenths of a millimetre).
constexpr double kShortFillLength = 125.0;      // below this a fill stitch counts as short
constexpr double kLongestThreshold = 450.0;     // no stitch longer than 45 mm belongs to a fill
constexpr double kThresholdStart = 300000.0;
constexpr double kThresholdMeanFactor = 3.0;
constexpr uint32_t kLengthsForMean = 5;         // fewer accepted lengths say nothing about the fill
constexpr double kLoneStitchLength = 80.0;      // a lone stitch up to 8 mm is embroidery
constexpr uint32_t kStitchesOfRealLine = 2;
// Squared cosines, so the tests need no square roots: 10 degrees for "the same
// direction" within a row, 15 degrees for "the opposite direction" between rows.
constexpr double kSameDirection = 0.9698463;
constexpr double kOppositeDirection = 0.9330127;
constexpr double kRowLengthRatio = 0.5;         // neighbouring rows of a fill have similar lengths

constexpr uint8_t kDraw = 1;
constexpr uint8_t kHide = 0;

bool IsCommand(uint8_t type)
{
    return type == CAbsStitch::ColourChange || type == CAbsStitch::Stop || type == CAbsStitch::Trim;
}

struct Vector {
    double x;
    double y;
};

Vector Between(CAbsStitch const& from, CAbsStitch const& to)
{
    return {static_cast<double>(to.position.x) - from.position.x,
            static_cast<double>(to.position.y) - from.position.y};
}

double Dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y; }
double SquaredLength(Vector a) { return Dot(a, a); }

} // namespace

CJumpStitchRemover::CDesignStitches::CDesignStitches(IDesign const& design)
{
    m_records.reserve(std::max<std::size_t>(design.GetStitchCount(), 1024));
    auto reader = HoldIterator(design.GetStitchReader());
    if (!reader)
        return;
    for (reader->First(); !reader->IsDone(); reader->Next())
        m_records.push_back(reader->GetCurrentItem());
}

void CJumpStitchRemover::CDesignStitches::AddRange(std::size_t first, std::size_t last, uint8_t value)
{
    if (last >= m_verdict.size())
        m_verdict.resize(last + 1, kDraw);
    std::fill(m_verdict.begin() + static_cast<std::ptrdiff_t>(first),
              m_verdict.begin() + static_cast<std::ptrdiff_t>(last) + 1, value);
}

CJumpStitchRemover::CJumpStitchRemover(IDesign const& design)
    : m_stitches(std::make_unique<CDesignStitches>(design))
{
}

CJumpStitchRemover::~CJumpStitchRemover() = default;

void CJumpStitchRemover::RemoveJumps(IDesign const& design, std::vector<uint8_t>& verdict)
{
    CJumpStitchRemover remover(design);
    remover.ProcessAll();
    verdict = remover.m_stitches->Verdict();
}

CJumpStitchRemover::Complete CJumpStitchRemover::ReadCompleteStitch(std::size_t k, std::size_t& e) const
{
    CDesignStitches const& s = *m_stitches;
    e = k;
    if (IsCommand(s[k].type))
        return Complete::Command;
    if (s[k].type == CAbsStitch::Normal)
        return Complete::Stitch;
    // Anything that is neither a stitch nor a command moves the needle like a jump.
    std::size_t j = k;
    while (j + 1 < s.size()) {
        uint8_t const next = s[j + 1].type;
        if (next == CAbsStitch::Normal) {
            e = j + 1;
            return Complete::JumpsToStitch;
        }
        if (IsCommand(next))
            break;
        ++j;
    }
    e = j;
    return Complete::JumpsToNothing;
}

double CJumpStitchRemover::MoveLength(std::size_t k, std::size_t e) const
{
    return std::sqrt(SquaredLength(Between((*m_stitches)[Origin(k)], (*m_stitches)[e])));
}

double CJumpStitchRemover::GetStitchLineLengthThreshold() const
{
    if (m_lengthCount < kLengthsForMean)
        return std::min(kThresholdStart, kLongestThreshold);
    double const mean = m_lengthSum / m_lengthCount;
    return std::clamp(kThresholdMeanFactor * mean, kShortFillLength, kLongestThreshold);
}

// 0: too long for a fill; 1: a short fill stitch; 2: a fill stitch of middle length.
int CJumpStitchRemover::IsGoodFillLength(std::size_t k, std::size_t e)
{
    if (k == 0)
        return 1;
    double const length = MoveLength(k, e);
    if (length > GetStitchLineLengthThreshold())
        return 0;
    m_lengthSum += length;
    ++m_lengthCount;
    return length < kShortFillLength ? 1 : 2;
}

bool CJumpStitchRemover::IsGoodParallelDirection(CStitchLine const& line, std::size_t e) const
{
    if (line.start == 0)
        return true;
    CDesignStitches const& s = *m_stitches;
    Vector const a = Between(s[line.start - 1], s[line.end]);
    Vector const b = Between(s[line.end], s[e]);
    double const dot = Dot(a, b);
    return dot * std::fabs(dot) >= kSameDirection * SquaredLength(a) * SquaredLength(b);
}

bool CJumpStitchRemover::JoinToGroupCriteria(CStitchLine const& line) const
{
    CDesignStitches const& s = *m_stitches;
    CStitchLine const& last = m_group.back();
    Vector const a = Between(s[Origin(last.start)], s[last.end]);
    Vector const b = Between(s[last.end], s[line.end]);
    double const dot = Dot(a, b);
    double const aa = SquaredLength(a);
    double const bb = SquaredLength(b);
    if (dot * std::fabs(dot) > -kOppositeDirection * aa * bb)
        return false;
    double const la = std::sqrt(aa);
    double const lb = std::sqrt(bb);
    double const longer = std::max(la, lb);
    return longer > 0.0 && std::min(la, lb) / longer > kRowLengthRatio;
}

void CJumpStitchRemover::ProcessFinishedStitchLine(CStitchLine const& line)
{
    if (line.empty)
        return;
    if (!m_group.empty() && line.start == m_group.back().end + 1 && JoinToGroupCriteria(line)) {
        m_group.push_back(line);
        return;
    }
    if (!m_group.empty()) {
        ProcessStitchGroup();
        m_lengthSum = 0.0;
        m_lengthCount = 0;
    }
    m_group.assign(1, line);
}

void CJumpStitchRemover::ProcessStitchGroup()
{
    if (m_group.empty())
        return;
    if (m_group.size() == 1) {
        ProcessSingletonStitchGroup(m_group.front());
        return;
    }
    for (CStitchLine const& line : m_group)
        m_stitches->AddRange(line.start, line.end, kDraw);
    ProcessOutInitialLongJump();
}

void CJumpStitchRemover::ProcessSingletonStitchGroup(CStitchLine const& line)
{
    uint8_t verdict = kDraw;
    if (line.stitches < kStitchesOfRealLine)
        verdict = MoveLength(line.start, line.end) <= kLoneStitchLength ? kDraw : kHide;
    m_stitches->AddRange(line.start, line.end, verdict);
}

void CJumpStitchRemover::ProcessOutInitialLongJump()
{
    if (m_lengthCount < kLengthsForMean)
        return;
    CStitchLine const& first = m_group.front();
    std::size_t e = 0;
    Complete const kind = ReadCompleteStitch(first.start, e);
    if (kind != Complete::Stitch && kind != Complete::JumpsToStitch)
        return;
    if (first.start > 0 && MoveLength(first.start, e) > GetStitchLineLengthThreshold())
        m_stitches->AddRange(first.start, first.end, kHide);
}

void CJumpStitchRemover::ResetGroup()
{
    m_group.clear();
    m_lengthSum = 0.0;
    m_lengthCount = 0;
}

void CJumpStitchRemover::ProcessAll()
{
    CDesignStitches& s = *m_stitches;
    std::size_t const count = s.size();
    s.AddRange(0, count, kDraw);
    ResetGroup();
    CStitchLine line;
    bool afterLong = false;

    // Ends the current row of stitches and settles every row gathered so far.
    auto closeGroup = [&] {
        ProcessFinishedStitchLine(line);
        ProcessStitchGroup();
        ResetGroup();
        line = CStitchLine{};
    };

    for (std::size_t k = 0; k < count;) {
        std::size_t e = k;
        Complete const kind = ReadCompleteStitch(k, e);
        switch (kind) {
        case Complete::Stitch:
        case Complete::JumpsToStitch: {
            int const fill = IsGoodFillLength(k, e);
            if (fill == 0) {
                s.AddRange(k, e, kHide);
                closeGroup();
            } else if (line.empty) {
                line = CStitchLine{false, k, e, 1};
                if (fill == 2 && m_group.empty())
                    afterLong = true;
            } else {
                bool const wasAfterLong = afterLong;
                afterLong = false;
                if (wasAfterLong && fill == 1) {
                    // A short stitch after a middle-length opening one: the opening was no fill row.
                    closeGroup();
                } else if (IsGoodParallelDirection(line, e)) {
                    line.end = e;
                    ++line.stitches;
                } else {
                    ProcessFinishedStitchLine(line);
                    line = CStitchLine{false, k, e, 1};
                }
            }
            break;
        }
        case Complete::JumpsToNothing:
            s.AddRange(k, e, kHide);
            closeGroup();
            break;
        case Complete::Command:
            s.AddRange(k, e, kDraw);
            closeGroup();
            break;
        }
        k = e + 1;
    }
    // A row still open here keeps the verdict it started with.
    ProcessStitchGroup();
    ResetGroup();
    ProcessOutTrimJumps();
}

void CJumpStitchRemover::ProcessOutTrimJumps()
{
    CDesignStitches& s = *m_stitches;
    bool afterTrim = false;
    bool inRun = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        switch (s[k].type) {
        case CAbsStitch::Trim:
            afterTrim = true;
            break;
        case CAbsStitch::Jump:
            if (afterTrim) {
                s.AddRange(k, k, kHide);
                inRun = true;
                afterTrim = false;
            } else if (inRun) {
                s.AddRange(k, k, kHide);
            }
            break;
        case CAbsStitch::Normal:
            if (inRun)
                s.AddRange(k, k, kHide);
            afterTrim = inRun = false;
            break;
        case CAbsStitch::ColourChange:
        case CAbsStitch::Stop:
            afterTrim = inRun = false;
            break;
        default:
            break;
        }
    }
}

} // namespace Brodix::StitchAlgorithms
