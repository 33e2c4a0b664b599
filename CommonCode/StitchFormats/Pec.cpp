// Brother card data and the PEC file reader. A stitch section is a byte code:
// per axis a 7-bit step, or a 12-bit step flagged as stitch, jump or trim;
// between steps colour changes and the end code. A PEC file is one such
// section behind a fixed header with the colour list.
#include "StitchFormats/Pec.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Step forms, told apart by the high nibble of a step's first byte.
constexpr unsigned char kLongStep = 0x80;
constexpr unsigned char kJumpStep = 0x90;
constexpr unsigned char kTrimStep = 0xA0;
constexpr unsigned char kFirstCode = 0xB0;   // from here on a byte is a code, not a step
constexpr unsigned char kFormMask = 0xF0;
constexpr unsigned char kSevenBitMask = 0x7F;
constexpr unsigned char kTwelveBitHighMask = 0x0F;

// Codes found where an x step would begin.
constexpr unsigned char kColourChange = 0xB0;        // followed by one ignored byte
constexpr unsigned char kSkipNextByte = 0xE0;
constexpr unsigned char kColourChangePrefix = 0xFE;  // FE B0 n
constexpr unsigned char kEndCode = 0xFF;

constexpr int kFeedJump = 1;
constexpr int kFeedTrim = 3;

// Stitch section header.
constexpr unsigned char kSignature = 0x31;           // "1"
constexpr unsigned char kScaleDesignUnits = 0xFF;    // any other scale byte means millimetres
constexpr int kMillimetreScale = 10;
constexpr unsigned char kWideExtents = 0xF0;         // 16-bit extents follow

constexpr unsigned long kBytesPerRecord = 2;
constexpr int kGrowBy = 2000;
constexpr double kMaxStep = 80.0;

// PEC file layout.
constexpr char kPecMagic[] = "#PEC";
constexpr std::size_t kMagicCompared = 4;
constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kLabelSize = 32;
constexpr std::size_t kThumbnailHeaderSize = 16;
constexpr std::size_t kColourBlockSize = 384;
constexpr unsigned long kPecStitchSectionPos = 520;
constexpr int kBrotherColourType = 1;

constexpr int kStatusNotPec = 4;
constexpr int kStatusNoStitches = 4;   // a PEC file without a step, or too many records

// The bytes of a stitch section, read where they lie. A read past the end
// gets nothing and leaves the defaults, as a stream read there would.
class ByteCursor {
public:
    ByteCursor(unsigned char const* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Next(unsigned char& byte)
    {
        if (m_pos >= m_size)
            return false;
        byte = m_data[m_pos++];
        return true;
    }
    // Copies up to count bytes and returns how many there were.
    std::size_t Take(unsigned char* out, std::size_t count)
    {
        std::size_t const taken = std::min(count, m_size - m_pos);
        std::copy(m_data + m_pos, m_data + m_pos + taken, out);
        m_pos += taken;
        return taken;
    }
    std::size_t Position() const { return m_pos; }

private:
    unsigned char const* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Here, not behind the exported function, so that the decoder's loop has it inline.
int SignedSeven(unsigned char byte)
{
    int const value = byte & kSevenBitMask;
    return value >= 0x40 ? value - 0x80 : value;
}

int SignedTwelve(unsigned char high, unsigned char low)
{
    unsigned char bytes[2] = {high, low};
    return GetSignedTwelve(bytes);
}

// One stitch section being decoded into an array.
class CardDataDecoder {
public:
    CardDataDecoder(ByteCursor& bytes, CStitchBuildingArray& array, bool rotated, bool standalone)
        : m_bytes(bytes), m_array(array), m_rotated(rotated), m_standalone(standalone), m_started(!standalone)
    {
    }

    int ReadHeader();
    int DecodeCodes();
    bool Started() const { return m_started; }

private:
    enum class StepResult { Done, EndOfData, Refused };

    void SkipByteCount();
    StepResult DecodeMove(unsigned char first);
    bool ReadStep(unsigned char first, int& value, int& feed);
    void AddStitch(int x, int y);
    void AddFeed(int x, int y, bool trim);
    bool TrimAlreadyPending();
    void AddColourChange();
    void AddRecord(uint8_t flags);

    ByteCursor& m_bytes;
    CStitchBuildingArray& m_array;
    bool m_rotated;
    bool m_standalone;
    bool m_started;
    // The last record that is not a jump, and how many records were looked at
    // to find it: records are only appended, so each is looked at once.
    int m_lastNonJump = -1;
    int m_recordsSeen = 0;
};

// The byte count before the signature: 16 bits, or 0 then 24 bits. Nothing
// depends on it, so it is only passed over.
void CardDataDecoder::SkipByteCount()
{
    unsigned char bytes[3] = {};
    m_bytes.Take(bytes, 2);
    if (bytes[0] == 0 && bytes[1] == 0)
        m_bytes.Take(bytes, 3);
}

int CardDataDecoder::ReadHeader()
{
    SkipByteCount();
    unsigned char signature = 0;
    if (!m_bytes.Next(signature) || signature != kSignature)
        return CStitches::kStatusRefused;
    unsigned char scale = kScaleDesignUnits;
    unsigned char format = 0;
    m_bytes.Next(scale);
    m_bytes.Next(format);
    int width = 0;
    int height = 0;
    if (format == kWideExtents) {
        unsigned char extents[4] = {};
        m_bytes.Take(extents, sizeof extents);
        width = extents[0] | (extents[1] << 8);
        height = extents[2] | (extents[3] << 8);
    } else {
        unsigned char heightByte = 0;
        m_bytes.Next(heightByte);
        width = format;
        height = heightByte;
    }
    int const factor = scale == kScaleDesignUnits ? 1 : kMillimetreScale;
    if (m_rotated)
        m_array.SetMask(height * factor, width * factor);
    else
        m_array.SetMask(width * factor, height * factor);
    return CStitches::kStatusOk;
}

int CardDataDecoder::DecodeCodes()
{
    while (CStitches::ValidateStitchCount(m_array.GetCount()) && !m_array.HasOverflowed()) {
        unsigned char code = 0;
        if (!m_bytes.Next(code))
            break;
        if (code < kFirstCode) {
            StepResult const result = DecodeMove(code);
            if (result == StepResult::Refused)
                return CStitches::kStatusRefused;
            if (result == StepResult::EndOfData)
                break;
            continue;
        }
        unsigned char ignored = 0;
        switch (code) {
        case kColourChange:
            m_bytes.Next(ignored);
            AddColourChange();
            break;
        case kSkipNextByte:
            m_bytes.Next(ignored);
            break;
        case kColourChangePrefix:
            break;
        case kEndCode:
            if (m_standalone)
                AddRecord(STITCH_END);
            return CStitches::kStatusOk;
        default:
            return CStitches::kStatusRefused;
        }
    }
    return CStitches::kStatusOk;
}

// Reads one axis: a short or long step, or a jump or trim step (feed 1 or 3).
// first is below 0xB0, so a step of 0x90 or above is a jump or a trim.
bool CardDataDecoder::ReadStep(unsigned char first, int& value, int& feed)
{
    feed = 0;
    if (first < kLongStep) {
        value = SignedSeven(first);
        return true;
    }
    unsigned char low = 0;
    if (!m_bytes.Next(low))
        return false;
    value = SignedTwelve(first, low);
    if (first >= kJumpStep)
        feed = (first & kFormMask) == kTrimStep ? kFeedTrim : kFeedJump;
    return true;
}

// An x step and its y step. Each axis is decoded in its own form, so a pair
// whose y byte does not match its x byte still reads both steps; the pair is a
// move when either step is a jump or trim, and a trim when its y step says so.
CardDataDecoder::StepResult CardDataDecoder::DecodeMove(unsigned char first)
{
    int x = 0;
    int y = 0;
    int xFeed = 0;
    int yFeed = 0;
    if (!ReadStep(first, x, xFeed))
        return StepResult::EndOfData;
    unsigned char yFirst = 0;
    if (!m_bytes.Next(yFirst))
        return StepResult::EndOfData;
    if (yFirst >= kFirstCode)
        return StepResult::Refused;   // a code where the y step belongs
    if (!ReadStep(yFirst, y, yFeed))
        return StepResult::EndOfData;

    // Card data counts y upwards like the records; rotated turns the design a quarter.
    int const recordX = m_rotated ? y : x;
    int const recordY = m_rotated ? x : -y;
    if (xFeed == 0 && yFeed == 0)
        AddStitch(recordX, recordY);
    else
        AddFeed(recordX, recordY, yFeed == kFeedTrim);
    return StepResult::Done;
}

void CardDataDecoder::AddStitch(int x, int y)
{
    m_array.AddLongStitch(0, 0, x, y, kMaxStep, STITCH_NORMAL, true);
    m_started = true;
}

void CardDataDecoder::AddFeed(int x, int y, bool trim)
{
    if (!m_started) {
        // A PEC file's first move leads to the design's start and is not kept.
        m_started = true;
        return;
    }
    if (trim && !TrimAlreadyPending())
        AddRecord(STITCH_TRIM);
    m_array.AddLongStitch(0, 0, x, y, kMaxStep, STITCH_JUMP, false);
}

// True when the records end with a trim followed by one or more jumps: a trim
// request inside a run of trimmed jumps asks for nothing new.
bool CardDataDecoder::TrimAlreadyPending()
{
    int const count = m_array.GetCount();
    for (int index = count - 1; index >= m_recordsSeen; --index) {
        if (m_array[index].flags != STITCH_JUMP) {
            m_lastNonJump = index;
            break;
        }
    }
    m_recordsSeen = count;
    return m_lastNonJump >= 0 && m_lastNonJump < count - 1 && m_array[m_lastNonJump].flags == STITCH_TRIM;
}

void CardDataDecoder::AddColourChange()
{
    // A colour change before the first record only names the first colour.
    if (m_array.GetCount() > 0)
        AddRecord(STITCH_COLOUR);
}

void CardDataDecoder::AddRecord(uint8_t flags)
{
    CStitch record;
    record.flags = flags;
    m_array.Add(record);
}

} // namespace

int GetSignedSeven(unsigned char* byte)
{
    return SignedSeven(*byte);
}

int GetSignedTwelve(unsigned char* bytes)
{
    int const value = ((bytes[0] & kTwelveBitHighMask) << 8) | bytes[1];
    return value >= 0x800 ? value - 0x1000 : value;
}

std::pair<int, int> ReadCardData(Brodix::IArchiverStream& stream, CStitchBuildingArray* array, bool rotated,
                                 char* /*colourBlock*/, bool standalone)
{
    // Every record but the pieces of a long move takes two bytes or more, so
    // room for one per two bytes left to read is made once; the room is not
    // filled, and what the header of a tiny file announces costs nothing.
    // The section is read in one piece and decoded where it lies; the stream
    // is left after the last byte the decoder took.
    unsigned long const start = stream.GetPos();
    unsigned long const size = stream.GetSize();
    unsigned long const remaining = size > start ? size - start : 0;
    std::vector<unsigned char> section(remaining);
    unsigned long const got = remaining > 0 ? stream.Read(section.data(), remaining) : 0;
    // Every record but the pieces of a long move takes two bytes or more, so
    // room for one per two bytes is made once; what the header of a tiny
    // file announces costs nothing.
    array->SetSize(static_cast<int>(std::min<unsigned long>(got / kBytesPerRecord + 1,
                                                            CStitchBuildingArray::kMaxRecords)),
                   kGrowBy);
    ByteCursor bytes(section.data(), got);
    CardDataDecoder decoder(bytes, *array, rotated, standalone);
    int status = decoder.ReadHeader();
    if (status == CStitches::kStatusOk)
        status = decoder.DecodeCodes();
    stream.SetPos(start + bytes.Position());
    if (status != CStitches::kStatusOk)
        return {status, array->GetCount()};
    if (!decoder.Started() || !CStitches::ValidateStitchCount(array->GetCount()) || array->HasOverflowed())
        return {kStatusNoStitches, array->GetCount()};
    return {CStitches::kStatusOk, array->GetCount()};
}

void CStitches::HandleBrotherColours(CStitches* stitches, unsigned char* colourBlock)
{
    int const count = colourBlock[0] + 1;
    stitches->SetNumberColours(count);
    for (int k = 0; k < count; ++k) {
        // Palette indices count from 1; 0 and unknown indices come out black.
        stitches->SetColour(k, GetBrotherRGB(colourBlock[1 + k] - 1));
        stitches->SetManufacturer(k, kBrotherColourType);
    }
}

int CStitches::BrotherPECLoad(IArchiverStream& stream)
{
    char magic[kMagicSize] = {};
    if (stream.Read(magic, kMagicSize) != kMagicSize || std::memcmp(magic, kPecMagic, kMagicCompared) != 0)
        return kStatusNotPec;
    char skipped[kLabelSize];
    stream.Read(skipped, kLabelSize);
    stream.Read(skipped, kThumbnailHeaderSize);
    unsigned char colourBlock[kColourBlockSize] = {};
    stream.Read(colourBlock, kColourBlockSize);
    stream.SetPos(kPecStitchSectionPos);
    if (IsCanFileData(stream))
        return kStatusRefused;

    CStitchBuildingArray array;
    auto const [status, count] =
        ReadCardData(stream, &array, false, reinterpret_cast<char*>(colourBlock), true);
    if (status != kStatusOk)
        return status;
    if (StoreRecords(array.GetStitches(), count) != kStatusOk)
        return kStatusRefused;
    HandleBrotherColours(this, colourBlock);
    SizeDesign();
    return kStatusOk;
}
