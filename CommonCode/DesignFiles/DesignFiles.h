// The one front door to design files: which format a file is (the fourteen
// machine formats of the format engine, and VP3), and one load that turns a
// file's bytes into one design or a named failure. Every program loads through
// here, so the callbacks the engine needs and the rule for VP3 reads that skip
// blocks exist once.
#pragma once
#include "Fundamentals/Design.h"
#include "StitchFormats/FormatVocabulary.h"
#include "StitchFormats/StitchFormats.h"
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Brodix::DesignFiles {

// Every format a design file can be in. The machine formats keep the engine's
// Format values; VP3 is read by the VP3 library and has no engine value.
enum class FileFormat : int {
    VIP = StitchFormats::FormatVIP,
    TVK = StitchFormats::FormatTVK,
    DST = StitchFormats::FormatDST,
    Toyota10o = StitchFormats::Format10o,
    PCS = StitchFormats::FormatPCS,
    EXP = StitchFormats::FormatEXP,
    PES = StitchFormats::FormatPES,
    PEC = StitchFormats::FormatPEC,
    SEW = StitchFormats::FormatSEW,
    JEF = StitchFormats::FormatJEF,
    XXX = StitchFormats::FormatXXX,
    SHV = StitchFormats::FormatSHV,
    DHV = StitchFormats::FormatDHV,
    ART = StitchFormats::FormatART,
    VP3 = StitchFormats::kFormatCount,
};

// All of them: the machine formats in the order of the engine's format type
// table, then VP3.
std::span<FileFormat const> AllFileFormats();

// Exact match of a full type identifier ("com.brodix.dst", "com.brodix.toy",
// "com.brodix.vp3") or of a lower-case extension ("dst", "10o", "vp3").
std::optional<FileFormat> FileFormatFromType(std::string_view type);
// Case-insensitive extension, with or without its dot ("DST", ".Vp3").
std::optional<FileFormat> FileFormatFromExtension(std::string_view extension);

// "DST", "10o", "VP3", ... as shown to people.
char const* DisplayName(FileFormat format);
// The lower-case extension without its dot: "dst", "10o", "vp3", ...
char const* Extension(FileFormat format);
// The vendor's type identifier: "com.brodix.dst", "com.brodix.toy", "com.brodix.vp3", ...
std::string TypeIdentifier(FileFormat format);

// The engine's value of a machine format, and back; nothing for VP3 or for
// a value that is no format.
std::optional<StitchFormats::Format> EngineFormat(FileFormat format);
std::optional<FileFormat> FileFormatOf(StitchFormats::Format format);

// What one load gave. On success design holds every design of the file merged
// into one CSimpleDesign. On failure design is null and status, statusName
// and meaning say why.
struct LoadResult {
    std::shared_ptr<IDesign> design;
    // The reader's status: 0 on success, except for a VP3 read that skipped
    // blocks (2 or 3), which still gives the designs of the other blocks.
    int status = 0;
    char const* statusName = "OK";
    std::string meaning;   // one line for people, naming the format where it helps
    bool skippedBlocks = false;
    // What the file says beyond the design, for people: the PES header, and
    // which blocks a VP3 read skipped.
    StitchFormats::HeaderDetails details;

    bool Loaded() const { return design != nullptr; }
};

// Loads the bytes of a file in the given format. Bad bytes give a failure;
// only running out of memory throws.
[[nodiscard]] LoadResult LoadDesign(std::span<unsigned char const> bytes, FileFormat format);

// The formats SaveDesign writes: VP3, then the machine formats the engine writes.
std::span<FileFormat const> SavableFileFormats();

// What a saved file is told beyond the design itself.
struct SaveInformation {
    // The design's name where a format has a field for one (the DST label);
    // the notes come from the design.
    std::wstring name;
};

// What one save gave: the bytes of the file, or why there are none (status,
// statusName and meaning, as for a load).
struct SaveResult {
    std::vector<unsigned char> bytes;
    int status = 0;
    char const* statusName = "OK";
    std::string meaning;   // one line for people, naming the format where it helps

    bool Saved() const { return status == 0; }
};

// Writes design as a file of the given format. A design the format cannot
// hold (too many records or colours, too large) and a format without a
// writer give a failure and no bytes; only running out of memory throws.
[[nodiscard]] SaveResult SaveDesign(IDesign const& design, FileFormat format, SaveInformation const& information);

} // namespace Brodix::DesignFiles
