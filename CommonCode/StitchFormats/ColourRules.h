// The two placements of colour-change records. Under the new rules, which every
// loaded design gets, a colour change is the first needle position of its
// colour; under the old rules, which machine writers expect, it sits on the last
// needle position of the colour before. Both drop jump records.
// Each pass is linear. The new rules only drop records, so they compact the
// vector in place; the old rules add records and build a new one.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/CommonTypes.h"
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace Brodix::StitchAlgorithms {

namespace ColourRulesDetail {

// Moves a whole record, padding included: one wide move, where a member-wise
// copy of the record through a local stalls on forwarding its parts.
template <typename Stitch>
void MoveRecord(Stitch* records, std::size_t to, std::size_t from)
{
    static_assert(std::is_trivially_copyable_v<Stitch>);
    if (to != from)
        std::memcpy(static_cast<void*>(records + to), records + from, sizeof(Stitch));
}

// One pass, compacting in place.
template <typename Stitch>
void RemoveJumpsAndPinCommands(std::vector<Stitch>& stitches)
{
    Stitch* const records = stitches.data();
    std::size_t const size = stitches.size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
        uint8_t const type = records[i].type;
        if (type == CAbsStitch::Jump)
            continue;
        MoveRecord(records, kept, i);
        // A stop or trim acts where the needle last went down, not where a removed jump led.
        if (kept > 0 && (type == CAbsStitch::Stop || type == CAbsStitch::Trim))
            records[kept].position = records[kept - 1].position;
        ++kept;
    }
    stitches.resize(kept);
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
    // Written at kept, read at next: every step reads at least one record
    // more than it writes, so kept never passes next and nothing is read
    // after it was overwritten.
    Stitch* const records = stitches.data();
    std::size_t const size = stitches.size();
    std::size_t kept = 1;
    std::size_t next = 1;
    while (next < size) {
        std::size_t const current = next++;
        bool const follows =
            records[kept - 1].type == CAbsStitch::ColourChange && records[current].type != CAbsStitch::ColourChange;
        if (!follows) {
            ColourRulesDetail::MoveRecord(records, kept++, current);
            continue;
        }
        std::size_t first = current;
        while (first < size && records[first].type == CAbsStitch::Trim)
            ++first;
        bool const stitchAfterTrims = first < size && records[first].type == CAbsStitch::Normal;
        if (stitchAfterTrims)
            next = first + 1;
        records[kept - 1].position = records[stitchAfterTrims ? first : current].position;
        if (next < size)
            ColourRulesDetail::MoveRecord(records, kept++, next++);
    }
    stitches.resize(kept);
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
