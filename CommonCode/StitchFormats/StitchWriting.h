// What every machine-format writer shares: the output stream a retriever
// offers, and the one write of a finished file image. Writers make the whole
// file in memory first, so a refusal leaves the output untouched.
#pragma once
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/FormatVocabulary.h"
#include "StitchFormats/Stitches.h"
#include <cstdint>
#include <string>
#include <vector>

namespace StitchWriting {

using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;

// The retriever's stream, or null when it offers none that can be used.
Brodix::IArchiverStream* OutputOf(Brodix::StitchFormats::IArchiverRetriever& retriever);

// Appends bytes to a stream; false when it takes fewer.
bool WriteAll(Brodix::IArchiverStream& stream, void const* bytes, std::size_t size);
inline bool WriteAll(Brodix::IArchiverStream& stream, std::vector<uint8_t> const& bytes)
{
    return WriteAll(stream, bytes.data(), bytes.size());
}

// Writes a finished image to the output: kSaveStatusOK, or kSaveStatusWriteFailed.
int WriteImage(Brodix::IArchiverStream& output, std::vector<uint8_t> const& image);

// The design as machine records in a container (the colour changes where the
// machines expect them), then written in format by CStitches::Save.
[[nodiscard]] int SaveAsStitches(IDesign const& design, Brodix::StitchFormats::IArchiverRetriever& retriever,
                                 Brodix::StitchFormats::Format format,
                                 Brodix::StitchFormats::ISaveInformation* information,
                                 Brodix::StitchFormats::ICharEncoding* encoding,
                                 Brodix::StitchFormats::ITvkVipCodec* codec);

// The "Filename" of information cut to length characters, in the formats'
// code page (ASCII with "?" without an encoding); control characters become
// spaces, since they would break a header's text.
std::string MachineLabel(Brodix::StitchFormats::ISaveInformation* information,
                         Brodix::StitchFormats::ICharEncoding* encoding, std::size_t length);

// The records of formats that have no stop (PEC, PES, JEF): every stop is a
// colour change to the colour already sewing, and a colour change that would
// start a colour before a stitch of the one before is folded into it, since
// those readers drop or merge such changes. colours holds the container's
// colour index of each colour block in order (the last colour for changes past
// the table); records ends at the first STITCH_END, which it leaves out.
struct StoplessRecords {
    std::vector<CStitch> records;
    std::vector<int> colours;
};
int CountStops(CStitches& stitches);
StoplessRecords MakeStopless(CStitches& stitches);

} // namespace StitchWriting
