// The Brother card-data writer and the PEC file writer. A block is the label
// and thumbnail header, the colour list of Brother palette indices, the stitch
// section at block offset 512 and the thumbnails; a PEC file is "#PEC0001"
// and one block. The stitch section is what ReadCardData decodes: 7-bit and
// 12-bit steps, 12-bit moves flagged as jumps or trims, colour changes FE B0 n
// and the end code.
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Pec.h"
#include "StitchFormats/PecWriting.h"
#include "StitchFormats/StitchBuildingArray.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace SF = Brodix::StitchFormats;
using Brodix::CommonTypes::PointI;

namespace {

constexpr char kPecMagic[] = "#PEC0001";
constexpr std::size_t kMagicSize = 8;

// Block header: "LA:", the label, a carriage return, then the thumbnail size.
constexpr char kLabelPrefix[] = "LA:";
constexpr std::size_t kLabelLength = 16;
constexpr std::size_t kBlockHeaderSize = 48;
constexpr std::size_t kThumbnailMarkerByte = 32;   // FF 00 before the size, as machines write it
constexpr std::size_t kThumbnailWidthByte = 34;
constexpr std::size_t kThumbnailHeightByte = 35;
constexpr uint8_t kPadding = ' ';
constexpr std::size_t kStitchSectionOffset = 512;
// Text our readers refuse as another product's data; a label never holds it.
constexpr char kForeignMarker[] = "SColourStitch";

// Stitch section.
constexpr uint8_t kSignature = 0x31;
constexpr uint8_t kScaleDesignUnits = 0xFF;
constexpr uint8_t kWideExtents = 0xF0;
constexpr uint8_t kSectionStart[] = {0xE0, 0x01, 0xB0, 0x01};   // no-op codes machines expect first
constexpr uint32_t kMaxByteCount = 0xFFFFFF;
constexpr std::size_t kByteCountSize = 5;   // 0, 0, then 24 bits

constexpr int kSevenBitMin = -64;
constexpr int kSevenBitMax = 63;
constexpr int kTwelveBitMax = 2047;
constexpr uint8_t kLongStep = 0x80;
constexpr uint8_t kJumpStep = 0x90;
constexpr uint8_t kTrimStep = 0xA0;
constexpr uint8_t kSevenBitMask = 0x7F;
constexpr uint8_t kTwelveBitHighMask = 0x0F;
constexpr uint8_t kColourChangePrefix = 0xFE;
constexpr uint8_t kColourChange = 0xB0;
constexpr uint8_t kEndCode = 0xFF;
// The byte after FE B0 alternates between 2 and 1, as machines write it.
constexpr uint8_t kColourToggle = 3;
constexpr uint8_t kFirstColourByte = 2;

// The reader splits every move into steps of at most this many units.
constexpr double kReaderStep = 80.0;

uint8_t MakeSignedSeven(int value)
{
    return static_cast<uint8_t>(value & kSevenBitMask);
}

// The high nibble of a 12-bit value under form, and its low byte.
std::array<uint8_t, 2> MakeSignedTwelve(int value, uint8_t form)
{
    return {static_cast<uint8_t>(form | ((value >> 8) & kTwelveBitHighMask)), static_cast<uint8_t>(value & 0xFF)};
}

// Records the reader makes of one move, at most.
long long ReaderRecords(long long x, long long y)
{
    return static_cast<long long>(std::hypot(double(x), double(y)) / kReaderStep) + 2;
}

// Encodes records as the stitch codes of one section. Moves are gathered and
// written as few 12-bit feeds as they take; a trim flags the first feed after it.
class CardDataEncoder {
public:
    // longSteps writes every stitch in 12 bits, whose first byte is no text.
    CardDataEncoder(std::vector<uint8_t>& out, bool longSteps) : m_out(out), m_longSteps(longSteps) {}

    void Stitch(int x, int y)
    {
        WriteLeftOverJump();
        WriteStitch(x);
        WriteStitch(y);
        m_readerRecords += ReaderRecords(x, y);
    }
    void Jump(long long x, long long y)
    {
        m_jumpX += x;
        m_jumpY += y;
        m_jumpPending = true;
    }
    void Trim()
    {
        WriteLeftOverJump();
        m_trimPending = true;
    }
    void ColourChange()
    {
        WriteLeftOverJump();
        m_out.insert(m_out.end(), {kColourChangePrefix, kColourChange, m_colourByte});
        m_colourByte = static_cast<uint8_t>(kColourToggle - m_colourByte);
        ++m_readerRecords;
    }
    void End()
    {
        WriteLeftOverJump();
        m_out.push_back(kEndCode);
        ++m_readerRecords;
    }
    // A move of nothing, written at once.
    void EmptyMove() { WriteFeedXY(0, 0, false); }
    long long ReaderRecordBound() const { return m_readerRecords; }

private:
    void WriteStitch(int value)
    {
        if (!m_longSteps && value >= kSevenBitMin && value <= kSevenBitMax) {
            m_out.push_back(MakeSignedSeven(value));
            return;
        }
        auto const bytes = MakeSignedTwelve(value, kLongStep);
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    }
    void WriteFeed(int value, uint8_t form)
    {
        auto const bytes = MakeSignedTwelve(value, form);
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    }
    // A move as 12-bit feeds of equal share; the first carries the trim.
    void WriteFeedXY(long long x, long long y, bool trim)
    {
        long long const longest = std::max(std::llabs(x), std::llabs(y));
        long long const feeds = std::max<long long>(1, (longest + kTwelveBitMax - 1) / kTwelveBitMax);
        long long doneX = 0, doneY = 0;
        for (long long i = 1; i <= feeds; ++i) {
            long long const toX = x * i / feeds;
            long long const toY = y * i / feeds;
            uint8_t const form = trim && i == 1 ? kTrimStep : kJumpStep;
            WriteFeed(static_cast<int>(toX - doneX), form);
            WriteFeed(static_cast<int>(toY - doneY), form);
            m_readerRecords += ReaderRecords(toX - doneX, toY - doneY) + (trim && i == 1);
            doneX = toX;
            doneY = toY;
        }
    }
    // The gathered move, or a trim with no move of its own.
    void WriteLeftOverJump()
    {
        if (m_jumpPending || m_trimPending)
            WriteFeedXY(m_jumpX, m_jumpY, m_trimPending);
        m_jumpX = m_jumpY = 0;
        m_jumpPending = m_trimPending = false;
    }

    std::vector<uint8_t>& m_out;
    bool m_longSteps;
    long long m_jumpX = 0;
    long long m_jumpY = 0;
    bool m_jumpPending = false;
    bool m_trimPending = false;
    uint8_t m_colourByte = kFirstColourByte;
    long long m_readerRecords = 0;
};

void PutByteCount(std::vector<uint8_t>& image, std::size_t at, uint32_t count)
{
    image[at + 2] = static_cast<uint8_t>(count);
    image[at + 3] = static_cast<uint8_t>(count >> 8);
    image[at + 4] = static_cast<uint8_t>(count >> 16);
}

// The section's records as card steps (y down), and each colour block's lines
// for the thumbnails: a stitch continues the line unless a move without
// stitching came before it.
// readerRecords receives the most records our reader makes of them, or -1
// when the section outgrows its byte count.
std::vector<PecWriting::ColourBlockLines> SaveBrotherCardData(std::vector<uint8_t>& image,
                                                            PecWriting::PecBlock const& block, bool longSteps,
                                                            long long& readerRecords)
{
    std::size_t const start = image.size();
    image.insert(image.end(), kByteCountSize, 0);
    image.insert(image.end(), {kSignature, kScaleDesignUnits, kWideExtents});
    ByteOrder::PutLe16(image, static_cast<uint16_t>(block.extentWidth));
    ByteOrder::PutLe16(image, static_cast<uint16_t>(block.extentHeight));
    image.insert(image.end(), std::begin(kSectionStart), std::end(kSectionStart));

    CardDataEncoder encoder(image, longSteps);
    // A PEC reader drops the first move before a stitch, so a move of nothing
    // goes first; a PES reader keeps it as no record at all.
    encoder.EmptyMove();
    std::vector<PecWriting::ColourBlockLines> lines(1);
    PointI at{0, 0};
    bool lineOpen = false;
    // The leading move is part of the first move of the records.
    if (block.leadingMove.x != 0 || block.leadingMove.y != 0)
        encoder.Jump(block.leadingMove.x, block.leadingMove.y);
    for (CStitch const& r : block.design->records) {
        int const x = r.dx;
        int const y = -r.dy;   // records count y upwards
        switch (r.flags) {
        case STITCH_NORMAL:
            at = PointI{at.x + x, at.y + y};
            if (!lineOpen)
                lines.back().emplace_back();
            lineOpen = true;
            lines.back().back().push_back(at);
            encoder.Stitch(x, y);
            break;
        case STITCH_JUMP:
            at = PointI{at.x + x, at.y + y};
            lineOpen = false;
            encoder.Jump(x, y);
            break;
        case STITCH_TRIM: encoder.Trim(); break;
        case STITCH_COLOUR:
            // The new thread starts where the last one ended.
            lines.emplace_back(1, PecWriting::Polyline{at});
            lineOpen = true;
            encoder.ColourChange();
            break;
        default: break;
        }
    }
    encoder.End();
    readerRecords = encoder.ReaderRecordBound();
    std::size_t const length = image.size() - start;
    PutByteCount(image, start, static_cast<uint32_t>(std::min<std::size_t>(length, kMaxByteCount)));
    if (length > kMaxByteCount)
        readerRecords = -1;
    return lines;
}

// Near the record limit the bound is not enough: our reader decides.
bool ReaderTakesAll(std::vector<uint8_t> const& image, std::size_t sectionStart, bool standalone)
{
    Brodix::Archivers::MemoryReadStream<Brodix::IArchiverStream> stream(image.data() + sectionStart,
                                                                          image.size() - sectionStart);
    CStitchBuildingArray array;
    return ReadCardData(stream, &array, false, nullptr, standalone).first == CStitches::kStatusOk;
}

std::string BlockLabel(std::string label)
{
    if (label.find(kForeignMarker) != std::string::npos)
        label.clear();
    label.resize(kLabelLength, ' ');
    return kLabelPrefix + label + '\r';
}

} // namespace

namespace PecWriting {

int PrepareBlock(CStitches& stitches, Brodix::StitchFormats::ISaveInformation* information, int maxColours,
                 StitchWriting::StoplessRecords& design, PecBlock& block)
{
    stitches.SizeDesign();
    CStitches::Extent const box = stitches.GetExtent();
    if (box.Width() > kMaxExtent || box.Height() > kMaxExtent)
        return SF::kSaveStatusTooLarge;
    design = StitchWriting::MakeStopless(stitches);
    if (design.colours.size() > static_cast<std::size_t>(maxColours))
        return SF::kSaveStatusTooManyColours;
    block.design = &design;
    block.stitches = &stitches;
    // The label is ASCII: Brother machines show no other characters.
    block.label = StitchWriting::MachineLabel(information, nullptr, kLabelLength);
    block.extentWidth = box.Width();
    block.extentHeight = box.Height();
    return SF::kSaveStatusOK;
}

int AppendPecBlock(std::vector<uint8_t>& image, PecBlock const& block)
{
    std::size_t const blockStart = image.size();
    std::string const label = BlockLabel(block.label);
    image.insert(image.end(), label.begin(), label.end());
    image.resize(blockStart + kBlockHeaderSize, kPadding);
    image[blockStart + kThumbnailMarkerByte] = 0xFF;
    image[blockStart + kThumbnailMarkerByte + 1] = 0x00;
    image[blockStart + kThumbnailWidthByte] = kThumbnailRowBytes;
    image[blockStart + kThumbnailHeightByte] = kThumbnailHeight;

    // Palette indices count from 1 in the file.
    std::vector<int> const& colours = block.design->colours;
    image.push_back(static_cast<uint8_t>(colours.size() - 1));
    for (int colour : colours) {
        rgbData const rgb = RgbDataFromRGB(block.stitches->GetColour(colour));
        image.push_back(static_cast<uint8_t>(GetClosestBrotherToRGB(rgb, nullptr, nullptr, nullptr) + 1));
    }
    image.resize(blockStart + kStitchSectionOffset, kPadding);

    long long readerRecords = 0;
    std::size_t const sectionStart = image.size();
    std::vector<ColourBlockLines> lines = SaveBrotherCardData(image, block, false, readerRecords);
    // Short steps are plain bytes, which could spell the text our readers take
    // for another product's data; in long steps every other byte is no text.
    // Readers look for it in the file's first bytes only.
    if (CStitches::IsCanFileData(reinterpret_cast<char const*>(image.data()),
                                 std::min(image.size(), CStitches::kCanFileScanLength))) {
        image.resize(sectionStart);
        lines = SaveBrotherCardData(image, block, true, readerRecords);
    }
    if (readerRecords < 0)
        return SF::kSaveStatusTooManyRecords;
    if (readerRecords > CStitches::kMaxStitchCount
        && !ReaderTakesAll(image, blockStart + kStitchSectionOffset, block.standalone))
        return SF::kSaveStatusTooManyRecords;
    WriteDisplayData(image, lines);
    return SF::kSaveStatusOK;
}

} // namespace PecWriting

int CStitches::BrotherPECSave(IArchiverRetriever& retriever, ISaveInformation* information)
{
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    StitchWriting::StoplessRecords design;
    PecWriting::PecBlock block;
    if (int const status = PecWriting::PrepareBlock(*this, information, PecWriting::kMaxPecColours, design, block);
        status != SF::kSaveStatusOK)
        return status;
    std::vector<uint8_t> image(kPecMagic, kPecMagic + kMagicSize);
    if (int const status = PecWriting::AppendPecBlock(image, block); status != SF::kSaveStatusOK)
        return status;
    return StitchWriting::WriteImage(*output, image);
}
