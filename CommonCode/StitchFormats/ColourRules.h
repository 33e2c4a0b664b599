// The two placements of colour-change records. Under the new rules, which every
// loaded design gets, a colour change is the first needle position of its
// colour; under the old rules, which machine writers expect, it sits on the last
// needle position of the colour before. Both drop jump records.
// Each pass is linear: records are moved into a new vector, never erased in place.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/CommonTypes.h"
#include <algorithm>
#include <utility>
#include <vector>

namespace Brodix::StitchAlgorithms {

namespace ColourRulesDetail {

template <typename Stitch>
void RemoveJumpsAndPinCommands(std::vector<Stitch>& stitches)
{
    std::erase_if(stitches, [](Stitch const& s) { return s.type == CAbsStitch::Jump; });
    // A stop or trim acts where the needle last went down, not where a removed jump led.
    for (std::size_t i = 1; i < stitches.size(); ++i) {
        Stitch& s = stitches[i];
        if (s.type == CAbsStitch::Stop || s.type == CAbsStitch::Trim)
            s.position = stitches[i - 1].position;
    }
}

} // namespace ColourRulesDetail

// The colours are not read; the parameter keeps both rule sets interchangeable.
template <typename Stitch, typename Colour>
void ConvertStitchesToNewColourRules(std::vector<Stitch>& stitches, std::vector<Colour> const&)
{
    ColourRulesDetail::RemoveJumpsAndPinCommands(stitches);
    if (stitches.size() < 2)
        return;

    // Each colour change takes over the position of the record after it, which
    // is dropped; the record after that one is never merged into it again.
    // Trims between a colour change and the first stitch of its colour are
    // passed over and dropped with that stitch: the change cuts the thread
    // anyway, and the colour starts where the needle first goes down.
    std::vector<Stitch> out;
    out.reserve(stitches.size());
    out.push_back(stitches[0]);
    std::size_t next = 1;
    while (next < stitches.size()) {
        Stitch const& current = stitches[next++];
        bool const follows = out.back().type == CAbsStitch::ColourChange && current.type != CAbsStitch::ColourChange;
        if (!follows) {
            out.push_back(current);
            continue;
        }
        std::size_t first = next - 1;
        while (first < stitches.size() && stitches[first].type == CAbsStitch::Trim)
            ++first;
        bool const stitchAfterTrims = first < stitches.size() && stitches[first].type == CAbsStitch::Normal;
        if (stitchAfterTrims)
            next = first + 1;
        out.back().position = stitchAfterTrims ? stitches[first].position : current.position;
        if (next < stitches.size())
            out.push_back(stitches[next++]);
    }
    stitches = std::move(out);
}

template <typename Stitch, typename Colour>
void ConvertStitchesToOldColourRules(std::vector<Stitch>& stitches, std::vector<Colour> const&)
{
    ColourRulesDetail::RemoveJumpsAndPinCommands(stitches);

    int minX = 0x3FFFFFFF, minY = 0x3FFFFFFF, maxX = -0x3FFFFFFF, maxY = -0x3FFFFFFF;
    for (Stitch const& s : stitches) {
        minX = std::min(minX, s.position.x);
        minY = std::min(minY, s.position.y);
        maxX = std::max(maxX, s.position.x);
        maxY = std::max(maxY, s.position.y);
    }
    // Halves first so that extreme boxes cannot overflow the sum.
    CommonTypes::PointI const centre{static_cast<int>((static_cast<long long>(minX) + maxX) / 2),
                                     static_cast<int>((static_cast<long long>(minY) + maxY) / 2)};
    if (stitches.size() < 2)
        return;

    // Every colour change but a final one gets an explicit first stitch of its
    // colour at its old place and moves back to the last position of the colour
    // before (the first one, having none, to the design centre).
    std::vector<Stitch> out;
    out.reserve(stitches.size());
    for (std::size_t i = 0; i < stitches.size(); ++i) {
        Stitch const& s = stitches[i];
        out.push_back(s);
        if (s.type != CAbsStitch::ColourChange || i + 1 == stitches.size())
            continue;
        Stitch first = s;
        first.type = CAbsStitch::Normal;
        Stitch& change = out.back();
        if (out.size() >= 2) {
            change.position = out[out.size() - 2].position;
        } else {
            change.position = centre;
            if (s.position == centre)
                change.position.x = centre.x + 1;
        }
        out.push_back(first);
    }
    stitches = std::move(out);
}

} // namespace Brodix::StitchAlgorithms
