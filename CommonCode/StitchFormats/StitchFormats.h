// The one entry by which a machine stitch format (every format but VP3)
// becomes a common design, and the callbacks that keep the format engine free
// of platform text conversion, zlib and the TVK/VIP compressor.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/Design.h"
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Brodix::StitchFormats {

// The values are stored and passed by callers; they never change. The fixed
// underlying type keeps any number a caller passes a valid value to refuse.
enum Format : int {
    FormatVIP = 0,
    FormatTVK = 1,
    FormatDST = 2,
    Format10o = 3,
    FormatPCS = 4,
    FormatEXP = 5,
    FormatPES = 6,
    FormatPEC = 7,
    FormatSEW = 8,
    FormatJEF = 9,
    FormatXXX = 10,
    FormatSHV = 11,
    FormatDHV = 12,
    FormatART = 13,
};
inline constexpr int kFormatCount = 14;

// Wide text to and from the single-byte code page of the formats.
class ICharEncoding {
public:
    virtual ~ICharEncoding() = default;
    virtual std::string ConvertToChars(std::wstring text) = 0;
    virtual std::wstring ConvertToWChars(std::string text) = 0;
};

// zlib's one-shot uncompress: destLen is the capacity in, the bytes produced out.
// Callers keep ownership, so the engine never deletes through this interface.
class IZLib {
public:
    virtual bool Uncompress(char* dest, std::size_t& destLen, const char* src, unsigned srcLen) = 0;

protected:
    ~IZLib() = default;
};

// The compressor of the TVK and VIP sections; name labels the section only.
class ITvkVipCodec {
public:
    virtual ~ITvkVipCodec() = default;
    virtual bool Compress(const char* name, char* data, unsigned long size, std::vector<char>& out) = 0;
    virtual bool Decompress(const char* name, char* in, unsigned long inSize, char* out, unsigned long outSize) = 0;
};

// Writer side: where the output goes, and named values such as "Filename".
class IArchiverRetriever {
public:
    virtual ~IArchiverRetriever() = default;
    virtual IArchiverStream* GetArchiver() = 0;
    virtual bool IsArchiverValid() = 0;
};

class ISaveInformation {
public:
    virtual ~ISaveInformation() = default;
    virtual std::wstring GetTextValue(std::wstring const& name) = 0;
};

// Loads one design and appends it to target (stitches already there stay in
// front). Returns the reader's status, 0 on success; on failure target is
// untouched. Any callback may be null where the format does not use it.
int Load(IDesign& target, IArchiverStream& stream, int colourType, Format format, ICharEncoding* encoding,
         ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument);

// As above, appending each loaded design (PES may hold several) to designs.
int Load(std::vector<std::shared_ptr<IDesign>>& designs, IArchiverStream& stream, int colourType, Format format,
         ICharEncoding* encoding, ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument);

// ---- saving ----
// What a save returns: 0, or why no file was made. Every refusal comes before
// a byte reaches the output.
inline constexpr int kSaveStatusOK = 0;
inline constexpr int kSaveStatusWriteFailed = 1;       // the codec or the output stream failed
inline constexpr int kSaveStatusEmpty = 2;             // no stitches to write
inline constexpr int kSaveStatusNoOutput = 3;          // the retriever has no usable output stream
inline constexpr int kSaveStatusTooManyRecords = 4;    // more records than the format or its reader holds
inline constexpr int kSaveStatusTooLarge = 5;          // beyond the format's coordinate range or hoop
inline constexpr int kSaveStatusNoWriter = 6;          // no writer for this Format
inline constexpr int kSaveStatusTooManyColours = 7;    // more colours or colour changes than the format holds

// Writes design in format to the retriever's output stream. information
// answers "Filename" (the DST label); encoding turns text into the formats'
// code page; codec compresses the TVK and VIP sections. Returns a save status.
[[nodiscard]] int Save(IDesign const& design, IArchiverRetriever& retriever, Format format,
                       ISaveInformation* information, ICharEncoding* encoding, ITvkVipCodec* codec);

// As above for several designs: PES keeps them apart, every other format
// writes them merged into one.
[[nodiscard]] int Save(std::vector<std::shared_ptr<IDesign>> const& designs, IArchiverRetriever& retriever,
                       Format format, ISaveInformation* information, ICharEncoding* encoding, ITvkVipCodec* codec);

enum EColourRulesType { OldColourRules = 0, NewColourRules = 1 };

// Rewrites the colour-change records of design under the given rules (see
// StitchFormats/ColourRules.h) and rebuilds it with its own colours.
void ConvertStitchesForColourRules(IDesign& design, EColourRulesType rules);

} // namespace Brodix::StitchFormats
