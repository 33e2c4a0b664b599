// Loading any machine format but VP3 into common designs: an object-style
// reader where the factory has one (PES), otherwise the relative stitch
// container; then the colour changes are put where the rest of the system
// expects them. Saving goes the other way, with the colour changes put where
// the machines expect them.
#include "StitchFormats/StitchFormats.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/BaseReadWrite.h"
#include "StitchFormats/ColourRules.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"

namespace Brodix::StitchFormats {

namespace {

// The object reader's designs are appended through fill; returns its status.
template <typename Fill>
int LoadWithObjectReader(CBaseReadWrite& reader, IArchiverStream& stream, int colourType, ICharEncoding* encoding,
                         ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument, Fill&& fill)
{
    reader.SetColourType(colourType);
    int const status = reader.Load(stream, encoding, codec, zlib, wideArgument);
    if (status == 0)
        fill(reader);
    return status;
}

int LoadIntoDesign(IDesign& design, CStitches& stitches, Format format)
{
    bool const useStoredTypes = format == FormatVIP;
    auto* simple = dynamic_cast<CSimpleDesign*>(&design);
    if (simple == nullptr || !stitches.ConvertToAbsoluteUnderNewColourRules(*simple, useStoredTypes)) {
        stitches.ConvertToAbsolute(design, CommonTypes::PointI{0, 0}, useStoredTypes, false);
        ConvertStitchesForColourRules(design, NewColourRules);
    }
    design.SetDesignNotes(stitches.GetWideNotes());
    return 0;
}

int SaveImpl(IDesign const& design, IArchiverRetriever& retriever, Format format, ISaveInformation* information,
             ICharEncoding* encoding, ITvkVipCodec* codec)
{
    if (auto writer = CReadWriteFactory::CreateRWObject(format, design))
        return writer->Save(retriever, information, codec);
    return StitchWriting::SaveAsStitches(design, retriever, format, information, encoding, codec);
}

} // namespace

int Save(IDesign const& design, IArchiverRetriever& retriever, Format format, ISaveInformation* information,
         ICharEncoding* encoding, ITvkVipCodec* codec)
{
    return SaveImpl(design, retriever, format, information, encoding, codec);
}

int Save(std::vector<std::shared_ptr<IDesign>> const& designs, IArchiverRetriever& retriever, Format format,
         ISaveInformation* information, ICharEncoding* encoding, ITvkVipCodec* codec)
{
    if (auto writer = CReadWriteFactory::CreateRWObject(format, &designs))
        return writer->Save(retriever, information, codec);
    CSimpleDesign merged;
    for (auto const& design : designs)
        if (design)
            CSimpleDesign::MergeDesign(merged, *design, true, false);
    return SaveImpl(merged, retriever, format, information, encoding, codec);
}

int Load(IDesign& target, IArchiverStream& stream, int colourType, Format format, ICharEncoding* encoding,
         ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument)
{
    if (auto reader = CReadWriteFactory::CreateRWObject(format, nullptr)) {
        return LoadWithObjectReader(*reader, stream, colourType, encoding, codec, zlib, wideArgument,
                                    [&](CBaseReadWrite& r) {
                                        r.TakeDesign(target);
                                        ConvertStitchesForColourRules(target, NewColourRules);
                                    });
    }
    CStitches stitches(colourType);
    int const status = stitches.Load(stream, format, encoding, codec, zlib, wideArgument);
    if (status != 0)
        return status;
    return LoadIntoDesign(target, stitches, format);
}

int Load(std::vector<std::shared_ptr<IDesign>>& designs, IArchiverStream& stream, int colourType, Format format,
         ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument)
{
    if (auto reader = CReadWriteFactory::CreateRWObject(format, nullptr)) {
        return LoadWithObjectReader(*reader, stream, colourType, encoding, codec, zlib, wideArgument,
                                    [&](CBaseReadWrite& r) {
                                        std::size_t const first = designs.size();
                                        r.GetDesigns(designs);
                                        for (std::size_t i = first; i < designs.size(); ++i)
                                            if (designs[i])
                                                ConvertStitchesForColourRules(*designs[i], NewColourRules);
                                    });
    }
    CStitches stitches(colourType);
    int const status = stitches.Load(stream, format, encoding, codec, zlib, wideArgument);
    if (status != 0)
        return status;
    auto design = std::make_shared<CSimpleDesign>();
    designs.push_back(design);
    return LoadIntoDesign(*design, stitches, format);
}

namespace {

// The rules, and the colours numbered again in the same walk where the rules allow.
void ApplyColourRules(std::vector<CAbsStitch>& stitches, std::vector<ColourData>& colours, EColourRulesType rules)
{
    CSimpleDesign::ColourNumbering numbering;
    if (rules == NewColourRules) {
        StitchAlgorithms::ApplyNewColourRules(stitches, numbering);
    } else {
        if (rules == OldColourRules)
            StitchAlgorithms::ConvertStitchesToOldColourRules(stitches, colours);
        for (CAbsStitch& s : stitches)
            numbering(s);
    }
    numbering.Finish(colours);
}

} // namespace

void ConvertStitchesForColourRules(IDesign& design, EColourRulesType rules)
{
    // The common design is rewritten in place; any other is copied out and rebuilt.
    if (auto* simple = dynamic_cast<CSimpleDesign*>(&design)) {
        ApplyColourRules(simple->Stitches(), simple->Colours(), rules);
        return;
    }
    std::vector<CAbsStitch> stitches;
    {
        auto reader = HoldIterator(design.GetStitchReader());
        if (!reader)
            return;
        stitches.reserve(design.GetStitchCount());
        for (reader->First(); !reader->IsDone(); reader->Next())
            stitches.push_back(reader->GetCurrentItem());
    }
    std::vector<ColourData> colours;
    colours.reserve(design.GetColourCount());
    CSimpleDesign::GrabColours(design, std::back_inserter(colours));
    ApplyColourRules(stitches, colours, rules);

    design.ClearStitchesAndColours();
    auto colour = colours.begin();
    for (CAbsStitch const& s : stitches) {
        if (s.type == CAbsStitch::ColourChange)
            design.AddColourStitch(colour != colours.end() ? *colour++ : ColourData::Default(), s.position,
                                   s.colourChangeFlag);
        else
            design.AddStitch(s);
    }
}

} // namespace Brodix::StitchFormats
