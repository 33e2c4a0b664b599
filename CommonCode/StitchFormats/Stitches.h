// The relative stitch container that every machine-format reader but PES fills:
// three-byte records (kind, x step, y step with y up), a colour table, a few
// header values and the notes. CStitches::Load picks the reader by Format and
// checks what it produced; ConvertToAbsolute turns it into a common design.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/ColourData.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include "StitchFormats/FormatVocabulary.h"
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Brodix {
class CSimpleDesign;
}

// Record kinds; bit 7 is always set.
enum : uint8_t {
    STITCH_NORMAL = 0x80,
    STITCH_JUMP = 0x81,
    STITCH_STOP = 0x82,
    STITCH_COLOUR = 0x84,
    STITCH_TRIM = 0x88,
    STITCH_END = 0x90,
};

struct CStitch {
    uint8_t flags = STITCH_NORMAL;
    int8_t dx = 0;
    int8_t dy = 0;   // the design y is the previous y minus dy

    friend bool operator==(CStitch const&, CStitch const&) = default;
};
static_assert(sizeof(CStitch) == 3);

class CStitches {
public:
    using Format = Brodix::StitchFormats::Format;
    using ICharEncoding = Brodix::StitchFormats::ICharEncoding;
    using ITvkVipCodec = Brodix::StitchFormats::ITvkVipCodec;
    using IZLib = Brodix::StitchFormats::IZLib;
    using IArchiverRetriever = Brodix::StitchFormats::IArchiverRetriever;
    using ISaveInformation = Brodix::StitchFormats::ISaveInformation;
    using IArchiverStream = Brodix::IArchiverStream;
    using ColourData = Brodix::ColourData;

    // The readers' names for the shared statuses of FormatVocabulary.h.
    static constexpr int kStatusOk = Brodix::StitchFormats::kStatusOK;
    static constexpr int kStatusUnsupportedFormat = Brodix::StitchFormats::kStatusNotThisFormat;
    static constexpr int kStatusRefused = Brodix::StitchFormats::kStatusRefused;

#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A mutated coordinate reaches the limit from a few bytes: under fuzzing
    // the same checks are met at a two-hundredth of the records, in
    // milliseconds rather than seconds; a 4 KiB fuzz input holds far fewer
    // records unless its moves are split.
    static constexpr int kMaxStitchCount = 25'000;
#else
    static constexpr int kMaxStitchCount = 5'000'000;
#endif
    static constexpr int kMaxColourCount = 2'000;

    // Mirrors the 42-byte TVK and VIP file header.
    struct Header {
        uint16_t codeNumber = 0;
        uint16_t version = 0;
        uint32_t stitchCount = 0;
        int16_t colourCount = 0;
        int16_t hoopNumber = 0;
        int16_t maxX = 0;
        int16_t maxY = 0;
        int16_t minX = 0;
        int16_t minY = 0;
        uint32_t sectionOffsets[3] = {};
        char notes[8] = {};
        uint16_t notesTrailer = 0;   // a zero here ends notes that fill all 8 characters
    };

    explicit CStitches(int defaultColourType);
    ~CStitches();
    CStitches(CStitches const&) = delete;
    CStitches& operator=(CStitches const&) = delete;

    // ---- storage ----
    // Allocates n records once; 1 when records already exist.
    [[nodiscard]] int AllocStorage(int n);
    // As above, but leaves the storage unfilled and the count at 0, for
    // readers that append: what is never stored is never touched.
    [[nodiscard]] int AllocStorageForAppending(int n);
    // AllocStorageForAppending(count) and the records stored in one go.
    [[nodiscard]] int StoreRecords(CStitch const* records, int count);
    // 1 (and nothing stored) for an index outside 0..GetCount()-1.
    [[nodiscard]] int PutStitch(int index, CStitch const& stitch)
    {
        if (index < 0 || index >= m_count)
            return 1;
        m_flags[index] = stitch.flags;
        m_dx[index] = stitch.dx;
        m_dy[index] = stitch.dy;
        return 0;
    }
    // Grows the storage by growth records first when index is past the end.
    [[nodiscard]] int PutStitchRealloc(int index, CStitch const& stitch, unsigned growth);
    // For readers that count up after AllocStorage and SetCount(0): stores at
    // GetCount() and counts it; false (record dropped) once the storage is full.
    [[nodiscard]] bool AppendStitch(CStitch const& stitch)
    {
        if (m_count >= m_capacity)
            return false;
        m_flags[m_count] = stitch.flags;
        m_dx[m_count] = stitch.dx;
        m_dy[m_count] = stitch.dy;
        ++m_count;
        return true;
    }
    // The record at index; out of range gives {0xFF, 0xFF, 0xFF}. Valid until the next call.
    CStitch* GetStitch(int index)
    {
        if (index < 0 || index >= m_count)
            m_scratch = CStitch{0xFF, -1, -1};
        else
            m_scratch = CStitch{m_flags[index], m_dx[index], m_dy[index]};
        return &m_scratch;
    }
    void ClearStitches();
    // Clamped to the allocated storage, so a count never reaches past it.
    void SetCount(int count);
    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }

    // ---- colours (RGB is 0x00BBGGRR) ----
    void SetNumberColours(int n);
    void SetColour(int index, unsigned rgb);
    unsigned GetColour(int index) const;              // 0 out of range
    void SetManufacturer(int index, int colourType);
    int GetManufacturer(int index) const;             // 1 out of range
    int GetNumberColours() const { return m_colourCount; }
    int GetActualColourCount() const;                 // STITCH_COLOUR records
    int GetDefaultColourType() const { return m_defaultColourType; }

    // Thread palettes and catalogues, offered to the readers as members.
    static unsigned GetRGBFromTovenrikIndex(int index);
    static void GetNearestColourData(ColourData& out, unsigned rgb, int colourType);
    static int GetVipFormatColours(unsigned& rgb, ColourData const& colour);
    static unsigned GetOldColourRGB(int colourType, int code);
    static int GetClosestTovenrikToRGB(unsigned rgb);
    // Writers: every colour to its counterpart in a machine palette, every
    // colour type to the default.
    void ConvertRGBToFormat(int convertType);

    // ---- header values and notes ----
    Header& GetHeader() { return m_header; }
    int GetVersion() const { return static_cast<int16_t>(m_header.version); }
    unsigned GetCodeNumber() const { return m_header.codeNumber; }
    int GetHoopNumber() const { return m_header.hoopNumber; }
    void SetHoopNumber(int hoop) { m_header.hoopNumber = static_cast<int16_t>(hoop); }
    void SetHoopSize(int halfWidth, int halfHeight);
    int GetMaxX() const { return m_header.maxX; }
    int GetMaxY() const { return m_header.maxY; }
    int GetMinX() const { return m_header.minX; }
    int GetMinY() const { return m_header.minY; }
    int GetDesignWidth() const { return GetMaxX() - GetMinX(); }
    int GetDesignHeight() const { return GetMaxY() - GetMinY(); }
    int32_t const* GetPasswordPieces() const { return m_passwordPieces; }

    // The 8-character short notes of the TVK and VIP header.
    void SetNotes(const char* text);
    void GetNotes(char* out) const;   // out holds at least 9 characters
    void ClearNotes();
    // The long notes that Load hands to the design.
    void SetWideNotes(std::wstring notes) { m_wideNotes = std::move(notes); }
    std::wstring const& GetWideNotes() const { return m_wideNotes; }

    // ---- bounds and limits ----
    // Bounding box of the running step sums in machine orientation (y up).
    void SizeDesign();
    // The box SizeDesign found, before the header's 16-bit fields clamped it.
    struct Extent {
        int minX = 0, minY = 0, maxX = 0, maxY = 0;
        int Width() const { return maxX - minX; }
        int Height() const { return maxY - minY; }
    };
    Extent GetExtent() const { return m_extent; }
    int CheckFitHoop() const;
    static bool ValidateStitchCount(int count)
    {
        return static_cast<unsigned>(count) <= static_cast<unsigned>(kMaxStitchCount);
    }
    static bool ValidateNumCols(int count);
    // True when "SColourStitch" occurs in the first 1,024 bytes; the position is kept.
    static constexpr std::size_t kCanFileScanLength = 1024;
    static bool IsCanFileData(IArchiverStream& stream);
    static bool IsCanFileData(const char* data, std::size_t size);

    // ---- loading and conversion ----
    [[nodiscard]] int Load(IArchiverStream& stream, Format format, ICharEncoding* encoding, ITvkVipCodec* codec,
                           IZLib* zlib, std::wstring* wideArgument);
    // Appends the records to design from origin; returns the colours started.
    int ConvertToAbsolute(IDesign& design, Brodix::CommonTypes::PointI origin, bool useStoredTypes, bool addJumps);
    // ConvertToAbsolute from (0, 0) without jumps and then the new colour
    // rules (StitchFormats.h), in one walk: the same design, written once.
    // Only into an empty design; false, and nothing done, for any other.
    bool ConvertToAbsoluteUnderNewColourRules(Brodix::CSimpleDesign& design, bool useStoredTypes);
    // The writers' direction: absolute stitches back to records of at most 127
    // units. False, and the container left empty, when the moves would take
    // more records than any format holds.
    [[nodiscard]] bool ConvertFromAbsolute(IDesign const& design, bool noTrailingJump);
    static void StitchOutPut(std::vector<CStitch>& out, int x1, int y1, int x2, int y2, uint8_t midFlags,
                             uint8_t lastFlags, double maxStep);

    // ---- format readers: one file per format; Load dispatches to them ----
    // DST (Dst.cpp)
    [[nodiscard]] int TajimaLoad(IArchiverStream& stream);
    void GetTajimaData(IArchiverStream& stream);   // records, trims (see TrimRule.h) and box at once
    void InsertTrim();   // the trims of TrimRule.h into records already stored; PCS uses it
    // EXP (Exp.cpp)
    [[nodiscard]] int MelcoLoad(IArchiverStream& stream);
    static void MelcoCheckZeroData(IArchiverStream& stream);   // swallows a zero-sum pair after a colour change
    static bool MelcoCheckForTrim(IArchiverStream& stream);    // two more jump commands follow this one
    // XXX (Xxx.cpp)
    [[nodiscard]] int xxxLoad(IArchiverStream& stream);
    // One pass over the stitch stream; with a null target it only counts.
    static void ReadXXXStitches(IArchiverStream& stream, CStitches* target, int& index,
                                std::vector<int>& colourEntries);
    // Collapses each run of colour changes into one carrying the run's last colour.
    void RemoveExtraColours();
    // 10o (10o.cpp)
    [[nodiscard]] int ToyotaLoad(IArchiverStream& stream);
    // JEF (Jef.cpp)
    [[nodiscard]] int JefLoad(IArchiverStream& stream);
    // SEW (Sew.cpp)
    [[nodiscard]] int SewLoad(IArchiverStream& stream);
    // PCS (Pcs.cpp)
    [[nodiscard]] int DravoLoad(IArchiverStream& stream, ICharEncoding* encoding);
    // PEC (Pec.cpp)
    [[nodiscard]] int BrotherPECLoad(IArchiverStream& stream);
    // Colour count from colour block byte 0 (+1), colours from the Brother palette indices after it.
    static void HandleBrotherColours(CStitches* stitches, unsigned char* colourBlock);
    // SHV and DHV (Shv.cpp)
    [[nodiscard]] int ShvLoad(IArchiverStream& stream, std::wstring* wideArgument);
    [[nodiscard]] int DhvLoad(IArchiverStream& stream, std::wstring* wideArgument);
    // Reads the design body at base, appending records at index and colours at
    // colour; (x, y) is the move to the body's origin on entry and its last
    // position on return. 0, or 5 for a body past the stream or beyond the limits.
    [[nodiscard]] int ReadShvFile(IArchiverStream& stream, long base, int& index, int& colour, int& x, int& y,
                                  std::wstring* name, bool mirror, int dirX, int dirY, double scaleX, double scaleY);
    // Writes a move (y down) as jumps of at most 80 units along its pixel line
    // and a final stitch, growing the storage as needed; false when it could not.
    [[nodiscard]] bool ConvertToJumpStitch(int dx, int dy, int& index);
    // TVK and VIP (Tvk.cpp, Vip.cpp)
    [[nodiscard]] int TovenrikLoad(IArchiverStream& stream, ICharEncoding* encoding, ITvkVipCodec* codec);
    [[nodiscard]] int VIPLoad(IArchiverStream& stream, ITvkVipCodec* codec);
    // ART (Art.cpp)
    [[nodiscard]] int BerninaLoad(IArchiverStream& stream, IZLib* zlib);

    // ---- format writers: Save dispatches to them, each beside its reader ----
    // Each returns a save status of StitchFormats.h. The whole file is made
    // in memory first, so a refusal or a failed codec leaves the output as it was.
    [[nodiscard]] int Save(IArchiverRetriever& retriever, Format format, ISaveInformation* information,
                           ICharEncoding* encoding, ITvkVipCodec* codec);
    // DST (Dst.cpp); the label is the "Filename" of information.
    [[nodiscard]] int TajimaSave(IArchiverRetriever& retriever, ISaveInformation* information, ICharEncoding* encoding);
    void SaveTajimaHeader(IArchiverStream& stream, const char* label);
    void PutTajimaData(IArchiverStream& stream);
    // Appends record index as one DST record, or two when a step exceeds what one holds.
    void ConvertStitch(std::vector<uint8_t>& out, int index, bool jump);
    // EXP (Exp.cpp) and 10o (10o.cpp)
    [[nodiscard]] int MelcoSave(IArchiverRetriever& retriever);
    [[nodiscard]] int ToyotaSave(IArchiverRetriever& retriever);
    // PCS (Pcs.cpp)
    [[nodiscard]] int DravoSave(IArchiverRetriever& retriever);
    // TVK (Tvk.cpp) and VIP (Vip.cpp)
    [[nodiscard]] int TovenrikSave(IArchiverRetriever& retriever, ICharEncoding* encoding, ITvkVipCodec* codec);
    [[nodiscard]] int VIPSave(IArchiverRetriever& retriever, ITvkVipCodec* codec);
    // PEC (PecWriter.cpp) and PES version 1 (Pes.cpp): one card-data block
    // with the "Filename" of information as its label.
    [[nodiscard]] int BrotherPECSave(IArchiverRetriever& retriever, ISaveInformation* information);
    [[nodiscard]] int BrotherPESSave(IArchiverRetriever& retriever, ISaveInformation* information);
    // JEF (Jef.cpp)
    [[nodiscard]] int JefSave(IArchiverRetriever& retriever);

private:
    [[nodiscard]] int ReadFormat(IArchiverStream& stream, Format format, ICharEncoding* encoding,
                                 ITvkVipCodec* codec, IZLib* zlib, std::wstring* wideArgument);
    void AllocRecords(int n);
    // What SizeDesign found: the box and the header's clamped copy of it.
    void SetExtent(long long minX, long long minY, long long maxX, long long maxY);
    int ColourTypeFor(int index, bool useStoredTypes) const;
    template <typename Target>
    int AppendAbsolute(Target& target, int firstDesignColour, Brodix::CommonTypes::PointI origin, bool useStoredTypes,
                       bool addJumps);
    // TVK and VIP: the header's three streams into the records (TvkVipHelpers.cpp).
    [[nodiscard]] int ReadTvkVipStitchStreams(IArchiverStream& stream, ITvkVipCodec* codec);
    // TVK and VIP writers: refuses what the shared header cannot hold, else
    // fills its counts, box and version (TvkVipHelpers.cpp).
    [[nodiscard]] int PrepareTvkVipHeader(uint16_t version);
    // Compresses the three record fields to the end of stream; their offsets go to the header.
    [[nodiscard]] bool WriteTvkVipStitchStreams(IArchiverStream& stream, ITvkVipCodec* codec);

    int32_t m_passwordPieces[3];
    int m_hoopHalfWidth = 500;
    int m_hoopHalfHeight = 500;
    int m_count = 0;
    int m_capacity = 0;
    CStitch m_scratch;
    Header m_header;
    Extent m_extent;
    std::unique_ptr<uint8_t[]> m_flags;
    std::unique_ptr<int8_t[]> m_dx;
    std::unique_ptr<int8_t[]> m_dy;
    std::unique_ptr<uint32_t[]> m_rgb;
    std::unique_ptr<int32_t[]> m_colourTypes;
    int m_colourCount = 0;
    int m_defaultColourType;
    std::wstring m_wideNotes;
};

// Writes the move from (x0, y0) to (x1, y1) as records at index, index + 1, ...
// of at most step units; the last one is a stitch (LongStitchPut) or a jump
// (LongJumpStitchPut). Writing stops where the container's storage ends.
void LongStitchPut(CStitches* stitches, int x0, int y0, int x1, int y1, double step, int& index);
void LongJumpStitchPut(CStitches* stitches, int x0, int y0, int x1, int y1, double step, int& index);

// XXX long moves (Xxx.cpp): read x and y, then write the move from (0, 0) as a
// long stitch (7d) or jump (7e), or only count its records when target is null.
// False when the stream ends inside the coordinates; nothing is written then.
bool Read7dData(CStitches* target, int& index, Brodix::IArchiverStream& stream);
bool Read7eData(CStitches* target, int& index, Brodix::IArchiverStream& stream);
