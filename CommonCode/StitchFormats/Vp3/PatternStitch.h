// One colour block of a VP3 design: its colour, its start and end relative
// to the design's centre, and its stitches as a compact byte code.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include "StitchFormats/Vp3/PatternColourData.h"
#include "StitchFormats/Vp3/VP3Geometry.h"
#include <cstddef>
#include <span>
#include <vector>

namespace Brodix::Vp3Lib {

class CWriteSource;

class CPatternStitch : public CPatternBase {
public:
    // One decoded or to-be-encoded stitch code: for a normal stitch x and y
    // are its delta; type is a design stitch type (0 normal, 3 stop, 4 trim).
    struct CStitch {
        int32_t x = 0;
        int32_t y = 0;
        int8_t type = CAbsStitch::Normal;
    };

    // Longest code one design record can produce: a catch-up stitch in the
    // long form (8 bytes) followed by a command (2 bytes).
    static constexpr std::size_t kMaxBytesPerRecord = 10;

    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassStitch; }

    // Makes the block-th colour block from the records from index on, which
    // must start with a colour change, and moves index past them. The code
    // is written at the cursor, which moves past it and must have room for
    // kMaxBytesPerRecord bytes a record; the block refers to it from then on.
    // False (nothing consumed) when index is not on a colour change.
    // A move the long step cannot hold clears StepsFit.
    bool ConvertToStitchData(CWriteSource const& source, std::size_t block, std::size_t& index,
                             CommonTypes::RectI const& designRectangle, unsigned char*& cursor);

    unsigned char const* GetStitchData_Begin() const { return m_code.empty() ? nullptr : m_code.data(); }
    unsigned char const* GetStitchData_End() const { return GetStitchData_Begin() + m_code.size(); }

    // Reads a data container; keep false skips it. Anything but kStatusOK
    // means the container cannot be used.
    unsigned int ReadStitchDataContainer(IArchiverStream& stream, bool keep);
    bool IsStitchDataReadable() const;

    void SetTransform(CMatrix2x2 const& transform) { m_transform = transform; }
    // Appends the block's colour change and stitches, placed at origin (VP3
    // units) through the transform. False on bad stitch data.
    bool ExtractStitchData(IDesign& design, CHiResVector origin) const;

    // At most one record per two data bytes, plus the colour change and the
    // end point: enough room to extract into without regrowing.
    std::size_t RecordsUpperBound() const override { return m_code.empty() ? 0 : m_code.size() / 2 + 2; }

    ColourData const& Colour() const { return m_colour.Colour(); }
    CHiResVector Start() const { return m_start; }
    CHiResVector End() const { return m_end; }
    bool StepsFit() const { return m_stepsFit; }

private:
    template <typename AddStitch>
    bool Decode(IDesign& design, CHiResVector origin, AddStitch addStitch) const;

    CHiResVector m_start;
    CHiResVector m_end;
    CPatternColourData m_colour;
    unsigned short m_dataKind = 1;
    unsigned char m_dataFlags = 0;
    signed char m_xScale = 10;
    signed char m_yScale = -10;
    signed char m_reserved = 0;
    std::vector<unsigned char> m_data;   // the code read from a file
    std::span<unsigned char const> m_code;   // the code: m_data, or what the writer encoded
    CMatrix2x2 m_transform;
    bool m_stepsFit = true;
};

} // namespace Brodix::Vp3Lib
