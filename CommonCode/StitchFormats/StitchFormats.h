// The engine's entry points: the one load by which a machine stitch format
// (every format but VP3) becomes a common design, the colour rules, and what a
// file's header says for people, and the one save by which a design becomes a
// machine format. The shared words (Format, the callbacks that keep the engine
// free of platform text conversion, zlib and the TVK/VIP compressor, and the
// statuses) are in FormatVocabulary.h.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/FormatVocabulary.h"
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace Brodix::StitchFormats {

// Loads one design and appends it to target (stitches already there stay in
// front). Returns the reader's status, 0 on success; on failure target is
// untouched. Any callback may be null where the format does not use it.
[[nodiscard]] int Load(IDesign& target, IArchiverStream& stream, int colourType, Format format,
                       ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument);

// As above, appending each loaded design (PES may hold several) to designs.
[[nodiscard]] int Load(std::vector<std::shared_ptr<IDesign>>& designs, IArchiverStream& stream, int colourType,
                       Format format, ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib,
                       std::wstring* wideArgument);

// Writes design in format to the retriever's output stream. information
// answers "Filename" (the DST label); encoding turns text into the formats'
// code page; codec compresses the TVK and VIP sections. Returns a save status
// (FormatVocabulary.h); nothing reaches the output unless the whole file could be made.
[[nodiscard]] int Save(IDesign const& design, IArchiverRetriever& retriever, Format format,
                       ISaveInformation* information, ICharEncoding* encoding, ITvkVipCodec* codec);

// The formats Save writes: DST, EXP, 10o, PCS, TVK, VIP, PES, PEC and JEF.
std::span<Format const> WrittenFormats();

// As above for several designs, written merged into one (a PES file of
// version 1 holds one design too).
[[nodiscard]] int Save(std::vector<std::shared_ptr<IDesign>> const& designs, IArchiverRetriever& retriever,
                       Format format, ISaveInformation* information, ICharEncoding* encoding, ITvkVipCodec* codec);

enum EColourRulesType { OldColourRules = 0, NewColourRules = 1 };

// Rewrites the colour-change records of design under the given rules (see
// StitchFormats/ColourRules.h) and rebuilds it with its own colours.
void ConvertStitchesForColourRules(IDesign& design, EColourRulesType rules);

// What a file's header says beyond the design, as (label, value) pairs for
// people: for PES the version, the hoop and the number of hoop positions (or,
// for a version newer than the reader knows, that its PES section was not
// read) and, given the design loaded from it, where its colours came from;
// nothing for other formats or a header that cannot be read. The stream is
// left where it was.
using HeaderDetails = std::vector<std::pair<std::string, std::string>>;
HeaderDetails DescribeHeader(IArchiverStream& stream, Format format, IDesign const* loaded = nullptr);

} // namespace Brodix::StitchFormats
