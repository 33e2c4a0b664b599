// The one implementation of IDesign, and the free operations on designs
// (copy, merge, offset) that the loaders and the front end share.
#pragma once
#include "Fundamentals/Design.h"
#include <iterator>
#include <memory>
#include <span>
#include <vector>

namespace Brodix {

class CSimpleDesign final : public IDesign {
public:
    struct BadAccess {};

    // One walk over the stitch list; Reverse walks from the last record to the first.
    template <typename Record, typename ArrayIterator>
    class Iterator : public IIterator<Record> {
    public:
        Iterator(ArrayIterator begin, ArrayIterator end) : m_begin(begin), m_end(end), m_current(begin) {}
        void First() override { m_current = m_begin; }
        void Next() override
        {
            if (m_current != m_end)
                ++m_current;
        }
        bool IsDone() const override { return m_current == m_end; }
        CAbsStitch GetCurrentItem() const override
        {
            if (IsDone())
                throw IteratorOutOfBounds();
            return *m_current;
        }
        void SetCurrentItem(CAbsStitch const& item) override
        {
            if constexpr (std::is_const_v<Record>) {
                (void)item;
                throw IteratorOutOfBounds();
            } else {
                if (IsDone())
                    throw IteratorOutOfBounds();
                *m_current = item;
            }
        }
        void Release() override { delete this; }

    private:
        ArrayIterator m_begin;
        ArrayIterator m_end;
        ArrayIterator m_current;
    };

    CSimpleDesign();

    void ClearOtherData() override;
    void ClearStitchesAndColours() override;
    CommonTypes::RectI GetDesignRectangle() const override;
    // Inline, so that loaders holding a CSimpleDesign append without a call.
    void AddColourStitch(ColourData const& colour, CommonTypes::PointI const& point, bool colourChangeFlag) override
    {
        CAbsStitch record;
        record.position = point;
        record.colourIndex = static_cast<int32_t>(m_colours.size());
        record.type = CAbsStitch::ColourChange;
        record.colourChangeFlag = colourChangeFlag;
        record.visible = true;
        m_stitches.push_back(record);
        m_colours.push_back(colour);
    }
    void AddStitch(CAbsStitch const& stitch) override { m_stitches.push_back(stitch); }
    void PopLastStitch() override;
    unsigned long GetStitchCount() const override;
    unsigned long GetColourCount() const override;
    ColourData GetColour(unsigned long index) const override;
    void SetColour(unsigned long index, ColourData const& colour) override;
    std::wstring GetDesignNotes() const override;
    void SetDesignNotes(std::wstring const& notes) override;
    IIterator<CAbsStitch>* GetStitchReader() override;
    IIterator<CAbsStitch const>* GetStitchReader() const override;
    IIterator<CAbsStitch>* GetReverseStitchReader() override;
    IIterator<CAbsStitch const>* GetReverseStitchReader() const override;
    IDesign* Clone() const override;

    // Lets a loader that knows its record count grow the list once.
    void ReserveStitches(std::size_t count) { m_stitches.reserve(count); }
    // What Copy makes of this design, made in place: the n-th colour change
    // takes the n-th colour of the table (the default once the table runs
    // out) as colour n, visible; the table keeps just those colours.
    void RenumberColourChanges();

    // The rectangle of GetDesignRectangle, widened from start by the records;
    // of no records, start itself.
    static CommonTypes::RectI Bounds(std::span<CAbsStitch const> records, CommonTypes::RectI start = EmptyBounds());
    // The rectangle of no records: left above right, so any point replaces it.
    static CommonTypes::RectI EmptyBounds();

    // The records and colours themselves, for the engine's passes over whole
    // designs, which would otherwise cost a virtual call per record. A colour
    // change's colourIndex must stay the index of its colour.
    std::vector<CAbsStitch>& Stitches() { return m_stitches; }
    std::vector<CAbsStitch> const& Stitches() const { return m_stitches; }
    std::vector<ColourData>& Colours() { return m_colours; }
    std::vector<ColourData> const& Colours() const { return m_colours; }

    // Numbers colour changes in order as AddColourStitch does: fed every
    // record, each colour change takes the next colour; Finish gives one
    // without a colour of its own the default thread and drops colours left over.
    class ColourNumbering {
    public:
        void operator()(CAbsStitch& s)
        {
            if (s.type != CAbsStitch::ColourChange)
                return;
            s.colourIndex = static_cast<int32_t>(m_changes++);
            s.visible = true;
        }
        void Finish(std::vector<ColourData>& colours) const { colours.resize(m_changes, ColourData::Default()); }

    private:
        std::size_t m_changes = 0;
    };

    static void Copy(IDesign const& source, IDesign& target, bool copyNotes);
    static void MergeDesign(IDesign& target, IDesign const& source, bool mergeNotes, bool joinSameColour);
    // MergeDesign of every design of the list in turn (null entries are passed
    // over), with the notes joined once at the end, so that many designs cost
    // time linear in their notes.
    static void MergeDesigns(IDesign& target, std::vector<std::shared_ptr<IDesign>> const& sources, bool mergeNotes,
                             bool joinSameColour);
    // MergeDesigns of the list into a new design. A sole CSimpleDesign that
    // nothing else holds is taken over instead of copied, and given what
    // the copy would have made of it.
    static std::shared_ptr<IDesign> MergeIntoNew(std::vector<std::shared_ptr<IDesign>> sources, bool mergeNotes,
                                                 bool joinSameColour);
    static void Offset(IDesign& design, int dx, int dy);

    template <typename OutputIterator>
    static void GrabColours(IDesign const& design, OutputIterator out)
    {
        unsigned long const count = design.GetColourCount();
        for (unsigned long i = 0; i < count; ++i)
            *out++ = design.GetColour(i);
    }

    // Rebuilds target from a walk: each colour change takes the next colour of
    // [coloursBegin, coloursEnd), or the default colour once the range runs out.
    template <typename ColourIterator>
    static void AssignStitchesAndColours(IDesign& target, IIterator<CAbsStitch const>& stitches,
                                         ColourIterator coloursBegin, ColourIterator coloursEnd)
    {
        target.ClearStitchesAndColours();
        ColourIterator colour = coloursBegin;
        for (stitches.First(); !stitches.IsDone(); stitches.Next()) {
            CAbsStitch const record = stitches.GetCurrentItem();
            if (record.type == CAbsStitch::ColourChange) {
                ColourData const next = colour != coloursEnd ? *colour++ : ColourData::Default();
                target.AddColourStitch(next, record.position, record.colourChangeFlag);
            } else {
                target.AddStitch(record);
            }
        }
    }

private:
    std::vector<CAbsStitch> m_stitches;
    std::vector<ColourData> m_colours;
    std::wstring m_notes;
};

} // namespace Brodix
