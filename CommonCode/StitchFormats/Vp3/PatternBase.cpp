// Class block framing and the shared operations of VP3 objects.
#include "StitchFormats/Vp3/PatternBase.h"

#include "Fundamentals/Design.h"
#include "Fundamentals/DesignNotes.h"
#include "StitchFormats/Vp3/VP3Values.h"

namespace Brodix::Vp3Lib {

CWriteClassInfoBlock::CWriteClassInfoBlock(IArchiverStream* stream, CPatternClassHeader const& header)
    : m_stream(stream)
{
    Write(*m_stream, header.classID);
    Write(*m_stream, header.version);
    m_lengthPosition = m_stream->GetPos();
    Write(*m_stream, header.length);
    m_bodyStart = m_stream->GetPos();
}

// A failure here cannot be reported (destructors do not throw): it ends the
// process rather than leave a block with a wrong length.
CWriteClassInfoBlock::~CWriteClassInfoBlock()
{
    unsigned long const end = m_stream->GetPos();
    m_stream->SetPos(m_lengthPosition);
    unsigned int const length = static_cast<unsigned int>(end) - static_cast<unsigned int>(m_bodyStart);
    Write(*m_stream, length);
    m_stream->SetPos(end);
}

void CPatternBase::ReadClassInfo(IArchiverStream& stream, CPatternClassHeader& header)
{
    Read(stream, header.classID);
    Read(stream, header.version);
    Read(stream, header.length);
    header.endPosition = static_cast<uint64_t>(stream.GetPos()) + header.length;
}

void CPatternBase::SkipClass(IArchiverStream& stream, CPatternClassHeader const& header)
{
    stream.SetPos(static_cast<unsigned long>(header.endPosition));
}

void CPatternBase::AddNotes(std::wstring const& notes, IDesign& design)
{
    if (!notes.empty())
        design.SetDesignNotes(MakeMergedNotes(design.GetDesignNotes(), notes, true));
}

std::size_t CPatternBase::RecordsUpperBound() const
{
    std::size_t records = 0;
    for (auto const& child : m_subclasses)
        records += child->RecordsUpperBound();
    return records;
}

std::wstring CPatternBase::GetProducerString() { return L"Produced by Ombrel Works"; }

} // namespace Brodix::Vp3Lib
