// The save side of the relative stitch container: the one dispatch to the
// writer of each Format, and what the writers share.
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/StitchWriting.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <limits>

namespace SF = Brodix::StitchFormats;

namespace StitchWriting {

Brodix::IArchiverStream* OutputOf(SF::IArchiverRetriever& retriever)
{
    return retriever.IsArchiverValid() ? retriever.GetArchiver() : nullptr;
}

bool WriteAll(Brodix::IArchiverStream& stream, void const* bytes, std::size_t size)
{
    // The stream counts in unsigned long; larger images go in pieces.
    auto const* at = static_cast<unsigned char const*>(bytes);
    while (size > 0) {
        unsigned long const piece =
            static_cast<unsigned long>(std::min<std::size_t>(size, std::numeric_limits<unsigned long>::max()));
        if (stream.Write(at, piece) != piece)
            return false;
        at += piece;
        size -= piece;
    }
    return true;
}

int WriteImage(Brodix::IArchiverStream& output, std::vector<uint8_t> const& image)
{
    return WriteAll(output, image) ? SF::kSaveStatusOK : SF::kSaveStatusWriteFailed;
}

// The writers take every colour's thread catalogue from its manufacturer name;
// this one is the default of a container that has none.
constexpr int kWriterColourType = 1;

int SaveAsStitches(IDesign const& design, SF::IArchiverRetriever& retriever, SF::Format format,
                   SF::ISaveInformation* information, SF::ICharEncoding* encoding, SF::ITvkVipCodec* codec)
{
    // Machines expect a colour change on the last needle position of the colour
    // before, and the first stitch of the new colour as a stitch of its own.
    Brodix::CSimpleDesign machineOrder;
    Brodix::CSimpleDesign::Copy(design, machineOrder, false);
    SF::ConvertStitchesForColourRules(machineOrder, SF::OldColourRules);
    CStitches stitches(kWriterColourType);
    if (!stitches.ConvertFromAbsolute(machineOrder, true))
        return SF::kSaveStatusTooManyRecords;
    stitches.SetWideNotes(design.GetDesignNotes());
    stitches.SizeDesign();
    return stitches.Save(retriever, format, information, encoding, codec);
}

std::string MachineLabel(SF::ISaveInformation* information, SF::ICharEncoding* encoding, std::size_t length)
{
    if (information == nullptr)
        return {};
    std::wstring const name = information->GetTextValue(L"Filename");
    std::string label;
    if (encoding != nullptr) {
        label = encoding->ConvertToChars(name.substr(0, length));
    } else {
        for (wchar_t c : name.substr(0, length))
            label.push_back(c >= 0 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    label.resize(std::min(label.size(), length));
    for (char& c : label)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return label;
}

int CountStops(CStitches& stitches)
{
    int stops = 0;
    for (int i = 0; i < stitches.GetCount(); ++i)
        stops += stitches.GetStitch(i)->flags == STITCH_STOP;
    return stops;
}

StoplessRecords MakeStopless(CStitches& stitches)
{
    StoplessRecords out;
    out.records.reserve(static_cast<std::size_t>(stitches.GetCount()));
    int const lastColour = std::max(stitches.GetNumberColours() - 1, 0);
    out.colours.reserve(static_cast<std::size_t>(stitches.GetActualColourCount() + CountStops(stitches) + 1));
    int colour = 0;
    out.colours.push_back(colour);
    bool stitchedInBlock = false;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const record = *stitches.GetStitch(i);
        if (record.flags == STITCH_END)
            break;
        if (record.flags != STITCH_COLOUR && record.flags != STITCH_STOP) {
            stitchedInBlock = stitchedInBlock || record.flags == STITCH_NORMAL;
            out.records.push_back(record);
            continue;
        }
        if (record.flags == STITCH_COLOUR)
            colour = std::min(colour + 1, lastColour);
        if (!stitchedInBlock) {
            out.colours.back() = colour;   // the block had no stitch: it takes this colour
            continue;
        }
        out.records.push_back(CStitch{STITCH_COLOUR, 0, 0});
        out.colours.push_back(colour);
        stitchedInBlock = false;
    }
    return out;
}

} // namespace StitchWriting

namespace Brodix::StitchFormats {

std::span<Format const> WrittenFormats()
{
    static constexpr Format kWritten[] = {FormatDST, FormatEXP, Format10o, FormatPCS, FormatTVK,
                                          FormatVIP, FormatPES, FormatPEC, FormatJEF};
    return kWritten;
}

} // namespace Brodix::StitchFormats

// A container with no stitch has nothing to sew, in any format.
int CStitches::Save(IArchiverRetriever& retriever, Format format, ISaveInformation* information,
                    ICharEncoding* encoding, ITvkVipCodec* codec)
{
    if (std::find(m_flags.get(), m_flags.get() + m_count, STITCH_NORMAL) == m_flags.get() + m_count)
        return SF::kSaveStatusEmpty;
    switch (static_cast<int>(format)) {
    case SF::FormatVIP: return VIPSave(retriever, codec);
    case SF::FormatTVK: return TovenrikSave(retriever, encoding, codec);
    case SF::FormatDST: return TajimaSave(retriever, information, encoding);
    case SF::Format10o: return ToyotaSave(retriever);
    case SF::FormatPCS: return DravoSave(retriever);
    case SF::FormatEXP: return MelcoSave(retriever);
    case SF::FormatPEC: return BrotherPECSave(retriever, information);
    // A common design reaches this through the PES object, which merges its designs.
    case SF::FormatPES: return BrotherPESSave(retriever, information);
    case SF::FormatJEF: return JefSave(retriever);
    // The other formats are read here but not written (WrittenFormats lists
    // the nine written).
    default: return SF::kSaveStatusNoWriter;
    }
}
