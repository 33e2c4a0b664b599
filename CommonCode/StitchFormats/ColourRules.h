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

// Where a walk writes: the front of the vector it reads (it never writes
// more records than it has read), or the end of another one.
template <typename Stitch>
class InPlaceOutput {
public:
    explicit InPlaceOutput(Stitch* records) : m_records(records) {}
    void Push(Stitch const& s)
    {
        if (&s != m_records + m_size)
            std::memcpy(static_cast<void*>(m_records + m_size), &s, sizeof(Stitch));
        ++m_size;
    }
    Stitch& At(std::size_t i) { return m_records[i]; }
    std::size_t Size() const { return m_size; }
    void Truncate(std::size_t size) { m_size = size; }

private:
    Stitch* m_records;
    std::size_t m_size = 0;
};

template <typename Stitch>
class AppendingOutput {
public:
    explicit AppendingOutput(std::vector<Stitch>& records) : m_records(records) {}
    void Push(Stitch const& s) { m_records.push_back(s); }
    Stitch& At(std::size_t i) { return m_records[i]; }
    std::size_t Size() const { return m_records.size(); }
    void Truncate(std::size_t size) { m_records.resize(size); }

private:
    std::vector<Stitch>& m_records;
};

// The new rules as one walk: records are fed in sewing order, jumps dropped,
// stops and trims pinned where the needle last went down, and each colour
// change takes over the position of the record after it, which is dropped;
// the record after that one is never merged into it again. Trims between a
// colour change and the first stitch of its colour are passed over and
// dropped with that stitch: the change cuts the thread anyway, and the colour
// starts where the needle first goes down. Such trims are written as they
// come and taken back once the record after them shows what they were.
// kept(record) sees each colour change as it is written (its position may
// still change after that); no colour change is ever dropped.
template <typename Stitch, typename Output, typename KeptChange>
class NewColourRulesWalk {
public:
    NewColourRulesWalk(Output& out, KeptChange& kept) : m_out(out), m_kept(kept) {}

    void Feed(Stitch const& s)
    {
        uint8_t const type = s.type;
        if (type == CAbsStitch::Jump)
            return;
        bool const pin = m_started && (type == CAbsStitch::Stop || type == CAbsStitch::Trim);
        CommonTypes::PointI const position = pin ? m_last : s.position;
        m_last = position;
        m_started = true;
        switch (m_mode) {
        case Mode::TakeNext:
            Keep(s, pin, position);
            m_mode = Mode::Keep;
            return;
        case Mode::Trims:
            if (type == CAbsStitch::Trim) {
                Keep(s, pin, position);
                return;
            }
            if (type == CAbsStitch::Normal) {
                m_out.At(m_change).position = position;
                m_out.Truncate(m_change + 1);
                m_mode = Mode::TakeNext;
                return;
            }
            DropFirstTrim();
            Keep(s, pin, position);
            m_mode = Mode::Keep;
            return;
        case Mode::Keep:
            if (m_out.Size() > 0 && m_out.At(m_out.Size() - 1).type == CAbsStitch::ColourChange
                && type != CAbsStitch::ColourChange) {
                if (type == CAbsStitch::Trim) {
                    m_change = m_out.Size() - 1;
                    Keep(s, pin, position);
                    m_mode = Mode::Trims;
                } else {
                    m_out.At(m_out.Size() - 1).position = position;
                    m_mode = Mode::TakeNext;
                }
                return;
            }
            Keep(s, pin, position);
            return;
        }
    }

    // Trims still open at the end lose their first one, as before a record that is no stitch.
    void Finish()
    {
        if (m_mode == Mode::Trims)
            DropFirstTrim();
        m_mode = Mode::Keep;
    }

private:
    enum class Mode { Keep, TakeNext, Trims };

    void Keep(Stitch const& s, bool pin, CommonTypes::PointI position)
    {
        m_out.Push(s);
        Stitch& written = m_out.At(m_out.Size() - 1);
        if (pin)
            written.position = position;
        else if (written.type == CAbsStitch::ColourChange)
            m_kept(written);
    }

    // Without a stitch after the trims, the colour change takes the first
    // trim's place and the others stay.
    void DropFirstTrim()
    {
        m_out.At(m_change).position = m_out.At(m_change + 1).position;
        std::size_t const size = m_out.Size();
        for (std::size_t i = m_change + 1; i + 1 < size; ++i)
            m_out.At(i) = m_out.At(i + 1);
        m_out.Truncate(size - 1);
    }

    Output& m_out;
    KeptChange& m_kept;
    Mode m_mode = Mode::Keep;
    bool m_started = false;
    CommonTypes::PointI m_last{};
    std::size_t m_change = 0;
};

// The new rules over a whole vector, in place.
template <typename Stitch, typename KeptChange>
void ApplyNewColourRules(std::vector<Stitch>& stitches, KeptChange&& kept)
{
    InPlaceOutput<Stitch> out(stitches.data());
    NewColourRulesWalk<Stitch, InPlaceOutput<Stitch>, std::remove_reference_t<KeptChange>> walk(out, kept);
    for (Stitch const& s : stitches)
        walk.Feed(s);
    walk.Finish();
    stitches.resize(out.Size());
}

// The colours are not read; the parameter keeps both rule sets interchangeable.
template <typename Stitch, typename Colour>
void ConvertStitchesToNewColourRules(std::vector<Stitch>& stitches, std::vector<Colour> const&)
{
    ApplyNewColourRules(stitches, [](Stitch&) {});
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
