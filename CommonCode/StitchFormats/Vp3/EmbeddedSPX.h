// An embedded SPX object of a VP3 file: a placed design in the SPX format,
// with its thread colour. The SPX data is read by the SPX reader library,
// which hands back needle points with trim and stop markers.
#pragma once
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/Vp3/PatternColourData.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"
#include <memory>
#include <optional>
#include <vector>

namespace Brodix::Vp3Lib {

class CEmbeddedSPX : public CPatternBase {
public:
    // kStatusSpxNotLoaded when the library is missing or could not read the
    // data: the object is kept, without points.
    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;
    unsigned int GetClassID() const override { return kClassEmbeddedSPX; }
    static bool IsValidVersion(unsigned char version) { return version == 0; }

    // The last test of a child list: 2 for a block of another class, 3 for
    // another version; otherwise makes the object into out and returns its
    // read status.
    static unsigned int CheckAndReadClass(IArchiverStream& stream, CPatternClassHeader const& header,
                                          std::unique_ptr<CPatternBase>& out);
    // The block this object is read from: its reading ends at the block's end,
    // wherever the library stopped.
    void SetClassHeader(CPatternClassHeader const& header) { m_header = header; }

    // Replaces the points with what the library reads from the stream.
    bool ReadEmbeddedSpx(IArchiverStream& stream);

    // Appends the points, placed at the object's centre through its
    // transform: a colour change and a stitch at the first needle point,
    // stitches at the others, trims and stops at the last needle point.
    bool ExtractStitchData(IDesign& design) const;

    // A colour change, and one record per point.
    std::size_t RecordsUpperBound() const override { return m_points.empty() ? 0 : m_points.size() + 1; }

    std::vector<CommonTypes::PointI> const& Points() const { return m_points; }
    ColourData const& Colour() const { return m_colour.Colour(); }
    CPlacement const& Placement() const { return m_placement; }

private:
    CPlacement m_placement;
    std::wstring m_producer;
    CMatrix2x2 m_transform;
    CPatternColourData m_colour;
    std::vector<CommonTypes::PointI> m_points;
    std::optional<CPatternClassHeader> m_header;
};

} // namespace Brodix::Vp3Lib
