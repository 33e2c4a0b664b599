// Embedded SPX objects: the placement and colour read here, the SPX data
// handed to the SPX reader library, and the points it returns placed as
// stitches.
#include "StitchFormats/Vp3/EmbeddedSPX.h"

#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/SpxLibrary.h"
#include "StitchFormats/Vp3/VP3Values.h"

namespace Brodix::Vp3Lib {
namespace {

constexpr std::size_t kInitialPointCapacity = 5000;
constexpr int kUnitsPerDesignUnit = 100;

} // namespace

unsigned int CEmbeddedSPX::SerializeWrite(IArchiverStream&) const { return kStatusNotWritable; }

unsigned int CEmbeddedSPX::CheckAndReadClass(IArchiverStream& stream, CPatternClassHeader const& header,
                                             std::unique_ptr<CPatternBase>& out)
{
    if (header.classID != kClassEmbeddedSPX)
        return kStatusUnexpectedClass;
    if (!IsValidVersion(header.version))
        return kStatusUnreadable;
    auto object = std::make_unique<CEmbeddedSPX>();
    object->SetClassHeader(header);
    unsigned int const status = object->SerializeRead(stream, header.version);
    out = std::move(object);
    return status;
}

unsigned int CEmbeddedSPX::SerializeRead(IArchiverStream& stream, unsigned char)
{
    m_points.clear();
    CBlockStream fields(stream, stream.GetSize());
    m_placement.Read(fields, m_precision);
    SkipExtraData(fields);
    Read(fields, &m_producer);
    m_transform = m_placement.Transform();
    if (fields.Overran())
        return kStatusUnreadable;
    CPatternColourData colour;
    unsigned int const colourStatus = colour.SerializeRead(fields, 0);
    if (Private::IsCriticalError(colourStatus))
        return colourStatus;
    if (fields.Overran())
        return kStatusUnreadable;
    m_colour.SetColour(colour.Colour());

    bool const loaded = ReadEmbeddedSpx(stream);
    stream.SetPos(static_cast<unsigned long>(m_header ? m_header->endPosition : stream.GetSize()));
    return loaded ? kStatusOK : kStatusSpxNotLoaded;
}

bool CEmbeddedSPX::ReadEmbeddedSpx(IArchiverStream& stream)
{
    m_points.clear();
    m_points.reserve(kInitialPointCapacity);
    return Spx::LoadPoints(Spx::Library(), stream, m_points);
}

bool CEmbeddedSPX::ExtractStitchData(IDesign& design) const
{
    CVector2Col const centre(m_placement.centre.x, m_placement.centre.y);
    // Commands before the first needle point would land on whatever the
    // design held before this object, so they wait for it.
    bool started = false;
    CAbsStitch last;
    for (CommonTypes::PointI const& point : m_points) {
        if (point.x < Spx::kTrimX) {
            CVector2Col const q = centre + m_transform * CVector2Col(point);
            // VP3 y grows upwards, the design's downwards.
            CommonTypes::PointI const at{RoundToCoordinate(q.x) / kUnitsPerDesignUnit,
                                         -(RoundToCoordinate(q.y) / kUnitsPerDesignUnit)};
            if (!started) {
                design.AddColourStitch(m_colour.Colour(), at, false);
                last.colourIndex = static_cast<int32_t>(design.GetColourCount()) - 1;
                started = true;
            }
            last = CAbsStitch{at, last.colourIndex, CAbsStitch::Normal, false, true};
            design.AddStitch(last);
        } else if (started && (point.x == Spx::kTrimX || point.x == Spx::kStopX)) {
            last.type = point.x == Spx::kTrimX ? CAbsStitch::Trim : CAbsStitch::Stop;
            design.AddStitch(last);
        }
    }
    return true;
}

} // namespace Brodix::Vp3Lib
