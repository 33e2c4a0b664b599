// The base of object-style format readers and writers (PES), which can hold
// several absolute designs at once, and the factory that makes them.
#pragma once
#include "Fundamentals/AbsStitch.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/FormatVocabulary.h"
#include "StitchFormats/RelativeStitches.h"
#include "StitchFormats/Stitches.h"
#include <memory>
#include <span>
#include <string>
#include <vector>

class CBaseReadWrite {
public:
    using DesignList = std::vector<std::shared_ptr<IDesign>>;
    using IArchiverStream = Brodix::IArchiverStream;
    using IArchiverRetriever = Brodix::StitchFormats::IArchiverRetriever;
    using ISaveInformation = Brodix::StitchFormats::ISaveInformation;
    using ICharEncoding = Brodix::StitchFormats::ICharEncoding;
    using ITvkVipCodec = Brodix::StitchFormats::ITvkVipCodec;
    using IZLib = Brodix::StitchFormats::IZLib;
    using RectI = Brodix::CommonTypes::RectI;

    CBaseReadWrite() = default;
    // Each given design is copied; the relative forms are computed for writing.
    explicit CBaseReadWrite(DesignList const& designs);
    explicit CBaseReadWrite(std::shared_ptr<IDesign> const& design);
    explicit CBaseReadWrite(IDesign const& design);
    virtual ~CBaseReadWrite() = default;
    CBaseReadWrite(CBaseReadWrite const&) = delete;
    CBaseReadWrite& operator=(CBaseReadWrite const&) = delete;

    [[nodiscard]] virtual int Save(IArchiverRetriever& retriever, ISaveInformation* information,
                                   ITvkVipCodec* codec) = 0;
    [[nodiscard]] virtual int Load(IArchiverStream& stream, ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib,
                                   std::wstring* wideArgument) = 0;

    // The thread catalogue of every colour a reader adds.
    void SetColourType(int colourType) { m_colourType = colourType; }
    int GetColourType() const { return m_colourType; }

    void CalculateRelativeStitches();
    void CalculateRelativeRect();

    // Turns one record into design content; current is the running absolute
    // stitch the caller keeps between calls, colours the RGB of each colour
    // index (an index beyond it gives black).
    void AddStitchToDesign(Brodix::CSimpleDesign& design, CStitch const& record, std::span<int const> colours,
                           Brodix::CAbsStitch& current, bool addJumps);
    // As above with the whole thread of each colour index, taken as it is (an
    // index beyond it gives the default thread).
    void AddStitchToDesign(Brodix::CSimpleDesign& design, CStitch const& record,
                           std::span<Brodix::ColourData const> threads, Brodix::CAbsStitch& current, bool addJumps);
    void AddOutputDesign(IDesign const& design);
    // As above, handing the design over instead of copying it.
    void AddOutputDesign(Brodix::CSimpleDesign&& design);
    void OffsetDesigns(int dx, int dy);
    // Moves all designs together so that their common box is centred on (0, 0).
    void CenterDesigns();

    // Merges every design, in order, into out.
    void GetDesign(IDesign& out) const;
    // As GetDesign, but a single design goes into an empty common design by
    // handing its records over instead of copying them; the reader holds no
    // designs afterwards.
    void TakeDesign(IDesign& out);
    // Appends a copy of every design to out.
    void GetDesigns(DesignList& out) const;
    DesignList const& Designs() const { return m_designs; }

    RectI GetDesignRectangle() const;
    int GetDesignWidth() const;
    int GetDesignHeight() const;
    int GetMinX() const { return m_relativeRect.left; }
    int GetMinY() const { return m_relativeRect.top; }
    int GetMaxX() const { return m_relativeRect.right; }
    int GetMaxY() const { return m_relativeRect.bottom; }

    // Over the relative forms, one after the other.
    int GetColorCount() const;
    int GetStitchCount() const;
    unsigned GetColorRGB(int index) const;
    unsigned GetStitch(int index) const;   // packed as CRelativeStitches::GetStitch

protected:
    int m_colourType = 0;
    DesignList m_designs;
    std::vector<std::shared_ptr<CRelativeStitches>> m_relativeSets;
    RectI m_relativeRect;
};

namespace Brodix::StitchFormats {

// The object-style reader or writer of a format, or null when the format is
// read into CStitches instead.
class CReadWriteFactory {
public:
    static std::unique_ptr<CBaseReadWrite> CreateRWObject(Format format, CBaseReadWrite::DesignList const* designs);
    static std::unique_ptr<CBaseReadWrite> CreateRWObject(Format format, IDesign const& design);
};

} // namespace Brodix::StitchFormats
