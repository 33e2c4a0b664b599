// The root object of a VP3 file: the notes and extents of everything in the
// file, and the design objects (or, in files of other software, sequences).
#pragma once
#include "Fundamentals/Design.h"
#include "Fundamentals/DesignNotes.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include <memory>
#include <vector>

namespace Brodix::Vp3Lib {

class CWriteSource;

class CPatternCompositeRoot : public CPatternBase {
public:
    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassRoot; }

    // Adds a design object for the design; first starts a new file. The
    // reference point is offset × 100 when an offset is given, else the first
    // stitch's position × 100.
    bool Load(CWriteSource const& source, CommonTypes::PointI const* offset, bool first);
    unsigned int ReadSubclasses(IArchiverStream& stream, int count);

    // Everything into one design, with the root notes.
    bool ExtractStitchData(IDesign& design);
    // One design per design object or sequence, each with its own notes.
    bool ExtractStitchDataMulti(std::vector<std::shared_ptr<IDesign>>& designs);

    std::wstring Notes() const { return m_notes.Text(); }
    unsigned int StitchCount() const { return m_stitchCount; }
    unsigned short ColourBlockCount() const { return m_colourBlockCount; }

private:
    // The notes read, or those of every design loaded, joined once when used.
    CMergedNotes m_notes;
    int32_t m_extentRight = 0;
    int32_t m_extentTop = 0;
    int32_t m_extentLeft = 0;
    int32_t m_extentBottom = 0;
    unsigned int m_stitchCount = 0;
    unsigned short m_colourBlockCount = 0;
};

} // namespace Brodix::Vp3Lib
