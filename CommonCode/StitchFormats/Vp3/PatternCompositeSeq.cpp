// Sequences: read like the top of a design object, then a child list of the
// same classes as the root's.
#include "StitchFormats/Vp3/PatternCompositeSeq.h"

#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/EmbText.h"
#include "StitchFormats/Vp3/EmbeddedSPX.h"
#include "StitchFormats/Vp3/PatternChildren.h"
#include "StitchFormats/Vp3/VP3Values.h"

namespace Brodix::Vp3Lib {

unsigned int CPatternCompositeSeq::SerializeWrite(IArchiverStream&) const { return kStatusNotWritable; }

unsigned int CPatternCompositeSeq::SerializeRead(IArchiverStream& stream, unsigned char)
{
    CleanSubclasses();
    m_placement.Read(stream, m_precision);
    m_transform = m_placement.Transform();
    unsigned short count = 0;
    Read(stream, count);
    return ReadCompositeChildren(stream, count, *this, m_subclasses, m_depth + 1);
}

bool CPatternCompositeSeq::ExtractStitchData(IDesign& design, CHiResVector origin)
{
    return ExtractCompositeChildren(
        m_subclasses,
        {.design = [&](CPatternCompositeDesign& object) { return object.ExtractStitchData(design, origin); },
         .text = [&](CEmbText& text) { return text.ExtractStitchData(design, origin); },
         .sequence = [&](CPatternCompositeSeq& sequence) { return sequence.ExtractStitchData(design, origin); },
         .spx = [&](CEmbeddedSPX& object) { return object.ExtractStitchData(design); }});
}

// Like ExtractStitchData, but every design and text child adds its notes first.
bool CPatternCompositeSeq::ExtractWithNotes(IDesign& design, CMergedNotes& notes)
{
    return ExtractCompositeChildren(
        m_subclasses,
        {.design =
             [&](CPatternCompositeDesign& object) {
                 notes.Add(object.Notes());
                 return object.ExtractStitchData(design, CHiResVector{});
             },
         .text =
             [&](CEmbText& text) {
                 notes.Add(text.Notes());
                 return text.ExtractStitchData(design, CHiResVector{});
             },
         .sequence = [&](CPatternCompositeSeq& sequence) { return sequence.ExtractWithNotes(design, notes); },
         .spx = [&](CEmbeddedSPX& object) { return object.ExtractStitchData(design); }});
}

bool CPatternCompositeSeq::ExtractStitchDataMulti(std::vector<std::shared_ptr<IDesign>>& designs)
{
    auto design = std::make_shared<CSimpleDesign>();
    design->ReserveStitches(RecordsUpperBound());
    CMergedNotes notes;
    bool const ok = ExtractWithNotes(*design, notes);
    design->SetDesignNotes(notes.Text());
    if (design->GetStitchCount() > 0)
        designs.push_back(std::move(design));
    return ok;
}

} // namespace Brodix::Vp3Lib
