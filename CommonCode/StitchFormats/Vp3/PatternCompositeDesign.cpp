// Design objects: building one from a design of the model, writing it, and
// reading it back with its stitch blocks.
#include "StitchFormats/Vp3/PatternCompositeDesign.h"

#include "Fundamentals/DesignNotes.h"
#include "StitchFormats/Vp3/PatternChildren.h"
#include "StitchFormats/Vp3/PatternStitch.h"
#include "StitchFormats/Vp3/VP3Values.h"
#include "StitchFormats/Vp3/WriteSource.h"

#include <cmath>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned char kMirrorXBit = 0b01;
constexpr unsigned char kMirrorYBit = 0b10;
constexpr unsigned char kOptionFlag0Bit = 0b01;
constexpr unsigned char kOptionFlag1Bit = 0b10;
constexpr unsigned char kExtraDataBit = 0b01;

int32_t Fixed(double value, unsigned char precision)
{
    return static_cast<int32_t>(std::trunc(std::ldexp(value, precision)));
}

double Unfixed(int32_t value, unsigned char precision) { return std::ldexp(static_cast<double>(value), -precision); }

} // namespace

void CPlacement::Write(IArchiverStream& stream, unsigned char precision) const
{
    using Vp3Lib::Write;
    Write(stream, centre.x);
    Write(stream, centre.y);
    Write(stream, transformFlags);
    Write(stream, rotation);
    for (int32_t const value : {left, right, bottom, top, width, height})
        Write(stream, value);
    std::wstring const text = ConvertNewLines(notes.c_str(), L"\n");
    Write(stream, &text);
    Write(stream, settings[0]);
    Write(stream, settings[1]);
    for (double const entry : {matrix.m00, matrix.m01, matrix.m10, matrix.m11})
        Write(stream, Fixed(entry, precision));
    Write(stream, codes, sizeof codes);
    Write(stream, static_cast<unsigned char>((optionFlag0 ? kOptionFlag0Bit : 0) | (optionFlag1 ? kOptionFlag1Bit : 0)));
}

void CPlacement::Read(IArchiverStream& stream, unsigned char precision)
{
    using Vp3Lib::Read;
    Read(stream, centre.x);
    Read(stream, centre.y);
    Read(stream, transformFlags);
    Read(stream, rotation);
    for (int32_t* value : {&left, &right, &bottom, &top, &width, &height})
        Read(stream, *value);
    Read(stream, &notes);
    Read(stream, settings[0]);
    Read(stream, settings[1]);
    int32_t entries[4] = {};
    for (int32_t& entry : entries)
        Read(stream, entry);
    matrix = CMatrix2x2(Unfixed(entries[0], precision), Unfixed(entries[1], precision),
                        Unfixed(entries[2], precision), Unfixed(entries[3], precision));
    Read(stream, codes, sizeof codes);
    unsigned char options = 0;
    Read(stream, options);
    optionFlag0 = (options & kOptionFlag0Bit) != 0;
    optionFlag1 = (options & kOptionFlag1Bit) != 0;
}

void SkipExtraData(IArchiverStream& stream)
{
    unsigned char extra = 0;
    Read(stream, extra);
    if ((extra & kExtraDataBit) != 0) {
        unsigned int extraLength = 0;
        Read(stream, extraLength);
        Read(stream, static_cast<char*>(nullptr), extraLength);
    }
}

CMatrix2x2 CPlacement::Transform() const
{
    return CalculateTMatrix((transformFlags & kMirrorYBit) != 0, (transformFlags & kMirrorXBit) != 0, rotation,
                            matrix);
}

void CPatternCompositeDesign::SetupNullEmbroidery()
{
    m_producer = GetProducerString();
    m_placement = CPlacement{};
    m_placement.optionFlag0 = true;
    m_transform = CMatrix2x2();
    CleanSubclasses();
}

bool CPatternCompositeDesign::Load(CWriteSource const& source, CommonTypes::PointI const* reference)
{
    CleanSubclasses();
    std::size_t const records = source.Records().size();
    if (records == 0) {
        SetupNullEmbroidery();
        return true;
    }
    int64_t const rx = reference != nullptr ? reference->x : 0;
    int64_t const ry = reference != nullptr ? reference->y : 0;
    CommonTypes::RectI const rect = source.Rectangle();
    int64_t const l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;

    // The centre lies between the root's extents, which the root checks;
    // start and end of every block are within the size.
    if (!FitsField((r - l) * 100) || !FitsField((b - t) * 100))
        return false;

    m_producer = GetProducerString();
    m_placement = CPlacement{};
    m_placement.centre = {Wrap32((r + l) * 50 - rx), Wrap32(ry - (b + t) * 50)};
    m_placement.left = Wrap32((l - r) * 50);
    m_placement.right = Wrap32((r - l) * 50);
    m_placement.bottom = Wrap32((t - b) * 50);
    m_placement.top = Wrap32((b - t) * 50);
    m_placement.width = Wrap32((r - l) * 100);
    m_placement.height = Wrap32((b - t) * 100);
    m_placement.notes = source.Notes();
    m_transform = CMatrix2x2();

    // Room for the longest code of every record, left uninitialised: only
    // what is written is touched. Each block takes the colour block after
    // the one before; a block that cannot start ends the list.
    m_code.reset(new unsigned char[records * CPatternStitch::kMaxBytesPerRecord]);
    unsigned char* cursor = m_code.get();
    std::size_t index = 0;
    for (std::size_t block = 0; block < source.BlockCount(); ++block) {
        auto stitches = std::make_unique<CPatternStitch>();
        if (!stitches->ConvertToStitchData(source, block, index, rect, cursor))
            break;
        bool const fits = stitches->StepsFit();
        m_subclasses.push_back(std::move(stitches));
        if (!fits)
            return false;
    }
    return true;
}

unsigned int CPatternCompositeDesign::SerializeWrite(IArchiverStream& stream) const
{
    CWriteClassInfoBlock const block(&stream, {kClassDesign, 0, 0, 0});
    m_placement.Write(stream, m_precision);
    Write(stream, static_cast<unsigned char>(0));   // no extra data
    Write(stream, &m_producer);
    Write(stream, static_cast<unsigned short>(m_subclasses.size()));
    // A stitch block always writes in full: it has no status to pass on.
    for (auto const& child : m_subclasses)
        static_cast<void>(child->SerializeWrite(stream));
    return kStatusOK;
}

unsigned int CPatternCompositeDesign::SerializeRead(IArchiverStream& stream, unsigned char)
{
    CleanSubclasses();
    m_placement.Read(stream, m_precision);
    SkipExtraData(stream);
    Read(stream, &m_producer);
    unsigned short count = 0;
    Read(stream, count);
    m_transform = m_placement.Transform();
    return ReadChildrenOfClass(stream, count, *this, m_subclasses, kClassStitch,
                               [] { return std::make_unique<CPatternStitch>(); });
}

bool CPatternCompositeDesign::ExtractStitchData(IDesign& design, CHiResVector origin)
{
    return ExtractStitchBlocks(m_subclasses, design, origin + m_placement.centre, m_transform);
}

} // namespace Brodix::Vp3Lib
