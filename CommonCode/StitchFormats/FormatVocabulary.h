// The words the format engine and its readers share: the Format values, the
// callbacks a caller hands in, and the named load statuses with their meanings.
// Readers include only this; the entry points (Load and the colour rules) are
// in StitchFormats.h, which includes this file and never the other way round.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/StatusTable.h"
#include <cstddef>
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

// ---- load statuses ----
// What a load returns: 0, or why the bytes gave no design. A reader may not use
// every code, and none uses a code for anything else.
inline constexpr int kStatusOK = 0;
inline constexpr int kStatusUndecodable = 1;     // a compressed or scrambled section does not decode
inline constexpr int kStatusBadVersion = 2;      // a version or variant no reader here reads
inline constexpr int kStatusTruncated = 3;       // the header ends early
inline constexpr int kStatusNotThisFormat = 4;   // wrong signature, no stitches, or no reader for the Format
inline constexpr int kStatusRefused = 5;         // counts beyond the limits, marker text, colours that do not match
inline constexpr int kStatusBadExtents = 6;      // a header maximum below its minimum

// Meanings may hold "{format}", which stands for the format's display name.
inline constexpr StatusEntry kStatusTable[] = {
    {kStatusOK, "OK", "loaded"},
    {kStatusUndecodable, "Undecodable", "a compressed or scrambled section cannot be decoded"},
    {kStatusBadVersion, "BadVersion", "unsupported version or variant of {format}"},
    {kStatusTruncated, "Truncated", "truncated: the header cannot be read"},
    {kStatusNotThisFormat, "NotThisFormat", "not a valid {format} file, or no reader for {format}"},
    {kStatusRefused, "Refused",
     "damaged or refused data (counts out of range, or colours that do not match the colour changes)"},
    {kStatusBadExtents, "BadExtents", "damaged header: an extent whose maximum lies below its minimum"},
};

constexpr StatusEntry const& FindStatus(int code)
{
    return Brodix::FindStatus(kStatusTable, code);
}

// ---- save statuses ----
// What a save returns: 0, or why no file was made. Every refusal comes before
// a byte reaches the output.
inline constexpr int kSaveStatusOK = 0;
inline constexpr int kSaveStatusWriteFailed = 1;      // the codec or the output stream failed
inline constexpr int kSaveStatusEmpty = 2;            // no stitches to write
inline constexpr int kSaveStatusNoOutput = 3;         // the retriever has no usable output stream
inline constexpr int kSaveStatusTooManyRecords = 4;   // more records than the format or its reader holds
inline constexpr int kSaveStatusTooLarge = 5;         // beyond the format's coordinate range or hoop
inline constexpr int kSaveStatusNoWriter = 6;         // no writer for this Format
inline constexpr int kSaveStatusTooManyColours = 7;   // more colours or colour changes than the format holds

// Meanings may hold "{format}", which stands for the format's display name.
inline constexpr StatusEntry kSaveStatusTable[] = {
    {kSaveStatusOK, "OK", "written"},
    {kSaveStatusWriteFailed, "WriteFailed", "the data could not be compressed or written"},
    {kSaveStatusEmpty, "Empty", "the design has no stitches to write"},
    {kSaveStatusNoOutput, "NoOutput", "there is no output to write to"},
    {kSaveStatusTooManyRecords, "TooManyRecords", "the design needs more stitch records than {format} holds"},
    {kSaveStatusTooLarge, "TooLarge", "the design is larger than {format} can hold"},
    {kSaveStatusNoWriter, "NoWriter", "{format} cannot be written"},
    {kSaveStatusTooManyColours, "TooManyColours", "the design has more colours or colour changes than {format} holds"},
};

constexpr StatusEntry const& FindSaveStatus(int code)
{
    return Brodix::FindStatus(kSaveStatusTable, code);
}

} // namespace Brodix::StitchFormats
