// The root object: gathering designs into a file and reading them out again.
#include "StitchFormats/Vp3/PatternCompositeRoot.h"

#include "Fundamentals/DesignNotes.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/Vp3/EmbText.h"
#include "StitchFormats/Vp3/EmbeddedSPX.h"
#include "StitchFormats/Vp3/PatternChildren.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"
#include "StitchFormats/Vp3/PatternCompositeSeq.h"
#include "StitchFormats/Vp3/VP3Values.h"
#include "StitchFormats/Vp3/WriteSource.h"

#include <algorithm>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned char kPrecision = 12;

// In design units; the fields take it times 100.
CommonTypes::PointI ReferencePoint(CWriteSource const& source, CommonTypes::PointI const* offset)
{
    if (offset != nullptr)
        return *offset;
    if (!source.Records().empty())
        return source.Position(0);
    return {};
}

} // namespace

bool CPatternCompositeRoot::Load(CWriteSource const& source, CommonTypes::PointI const* offset, bool first)
{
    if (first) {
        CleanSubclasses();
        m_stitchCount = 0;
        m_colourBlockCount = 0;
        m_notes = CMergedNotes();
    }
    m_notes.Add(source.Notes());

    CommonTypes::RectI const rect = source.Rectangle();
    CommonTypes::PointI const point = ReferencePoint(source, offset);
    int64_t const rx = static_cast<int64_t>(point.x) * 100, ry = static_cast<int64_t>(point.y) * 100;
    int64_t const wideRight = rect.right * int64_t{100} - rx, wideTop = ry - rect.top * int64_t{100};
    int64_t const wideLeft = rect.left * int64_t{100} - rx, wideBottom = ry - rect.bottom * int64_t{100};
    for (int64_t const value : {rx, ry, wideRight, wideTop, wideLeft, wideBottom})
        if (!FitsField(value))
            return false;
    CommonTypes::PointI const reference{static_cast<int32_t>(rx), static_cast<int32_t>(ry)};
    auto const right = static_cast<int32_t>(wideRight), top = static_cast<int32_t>(wideTop);
    auto const left = static_cast<int32_t>(wideLeft), bottom = static_cast<int32_t>(wideBottom);
    if (first) {
        m_extentRight = right;
        m_extentTop = top;
        m_extentLeft = left;
        m_extentBottom = bottom;
    } else {
        m_extentRight = std::max(m_extentRight, right);
        m_extentTop = std::max(m_extentTop, top);
        m_extentLeft = std::min(m_extentLeft, left);
        m_extentBottom = std::min(m_extentBottom, bottom);
    }
    m_stitchCount += static_cast<unsigned int>(source.Records().size());
    m_precision = kPrecision;

    auto object = std::make_unique<CPatternCompositeDesign>();
    if (!object->Load(source, &reference))
        return false;
    m_colourBlockCount = static_cast<unsigned short>(m_colourBlockCount + object->Subclasses().size());
    m_subclasses.push_back(std::move(object));
    return true;
}

unsigned int CPatternCompositeRoot::SerializeWrite(IArchiverStream& stream) const
{
    CWriteClassInfoBlock const block(&stream, {kClassRoot, 0, 0, 0});
    std::wstring const notes = ConvertNewLines(m_notes.Text().c_str(), L"\n");
    Write(stream, &notes);
    Write(stream, m_extentRight);
    Write(stream, m_extentTop);
    Write(stream, m_extentLeft);
    Write(stream, m_extentBottom);
    Write(stream, m_stitchCount);
    Write(stream, m_colourBlockCount);
    Write(stream, m_precision);
    Write(stream, static_cast<unsigned short>(m_subclasses.size()));
    unsigned int status = kStatusOK;
    for (auto const& child : m_subclasses) {
        unsigned int const childStatus = child->SerializeWrite(stream);
        if (Private::IsCriticalError(childStatus))
            break;
        status = std::max(status, childStatus);
    }
    return status;
}

unsigned int CPatternCompositeRoot::SerializeRead(IArchiverStream& stream, unsigned char)
{
    CleanSubclasses();
    std::wstring notes;
    Read(stream, &notes);
    m_notes = CMergedNotes();
    m_notes.Add(notes);
    Read(stream, m_extentRight);
    Read(stream, m_extentTop);
    Read(stream, m_extentLeft);
    Read(stream, m_extentBottom);
    Read(stream, m_stitchCount);
    Read(stream, m_colourBlockCount);
    Read(stream, m_precision);
    unsigned short count = 0;
    Read(stream, count);
    return ReadSubclasses(stream, count);
}

unsigned int CPatternCompositeRoot::ReadSubclasses(IArchiverStream& stream, int count)
{
    auto const designs = static_cast<unsigned short>(std::clamp(count, 0, 0xFFFF));
    unsigned int const status = ReadCompositeChildren(stream, designs, *this, m_subclasses, 1);
    return m_subclasses.empty() ? std::max(status, kStatusNoDesign) : status;
}

bool CPatternCompositeRoot::ExtractStitchData(IDesign& design)
{
    AddNotes(m_notes.Text(), design);
    return ExtractCompositeChildren(
        m_subclasses,
        {.design = [&](CPatternCompositeDesign& object) { return object.ExtractStitchData(design, CHiResVector{}); },
         .text = [&](CEmbText& text) { return text.ExtractStitchData(design, CHiResVector{}); },
         .sequence = [&](CPatternCompositeSeq& sequence) { return sequence.ExtractStitchData(design, CHiResVector{}); },
         .spx = [&](CEmbeddedSPX& object) { return object.ExtractStitchData(design); }});
}

bool CPatternCompositeRoot::ExtractStitchDataMulti(std::vector<std::shared_ptr<IDesign>>& designs)
{
    // A design of its own for one object, with the object's notes.
    auto own = [&](CPatternBase const& object, std::wstring const& notes, auto extract) {
        auto design = std::make_shared<CSimpleDesign>();
        design->ReserveStitches(object.RecordsUpperBound());
        AddNotes(notes, *design);
        bool const ok = extract(*design);
        designs.push_back(std::move(design));
        return ok;
    };
    return ExtractCompositeChildren(
        m_subclasses,
        {.design =
             [&](CPatternCompositeDesign& object) {
                 return own(object, object.Notes(),
                            [&](IDesign& design) { return object.ExtractStitchData(design, CHiResVector{}); });
             },
         .text =
             [&](CEmbText& text) {
                 return own(text, text.Notes(),
                            [&](IDesign& design) { return text.ExtractStitchData(design, CHiResVector{}); });
             },
         .sequence = [&](CPatternCompositeSeq& sequence) { return sequence.ExtractStitchDataMulti(designs); },
         .spx =
             [&](CEmbeddedSPX& object) {
                 return own(object, std::wstring(), [&](IDesign& design) { return object.ExtractStitchData(design); });
             }});
}

} // namespace Brodix::Vp3Lib
