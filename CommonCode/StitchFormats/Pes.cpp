// The PES reader. The version header says where the card data starts and how
// many blocks (hoop positions) follow; each block is a 48-byte block header, a
// colour list, the stitch section at block offset 512 and thumbnails.
#include "StitchFormats/Pes.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/ByteOrder.h"
#include "StitchFormats/Palettes.h"
#include "StitchFormats/Pec.h"
#include "StitchFormats/PecWriting.h"
#include "StitchFormats/PesThreads.h"
#include "StitchFormats/StitchBuildingArray.h"
#include "StitchFormats/StitchWriting.h"
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

using Brodix::CAbsStitch;
using Brodix::CSimpleDesign;
using Brodix::CommonTypes::RectI;

namespace {

constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kVersionDigitsOffset = 4;

// Card-data block layout, offsets from the block's start.
constexpr std::size_t kBlockHeaderSize = 48;
constexpr std::size_t kThumbnailWidthByte = 34;
constexpr std::size_t kThumbnailHeightByte = 35;
constexpr std::size_t kHoopPositionByte = 36;
constexpr std::size_t kGridColumnByte = 38;
constexpr std::size_t kGridRowByte = 39;
constexpr std::size_t kOffsetXByte = 41;   // signed 16-bit, two-position hoop only
constexpr std::size_t kOffsetYByte = 43;
constexpr std::size_t kColourBlockSize = 128;
// A count byte and up to 128 indices: one more than the colour block holds, so
// the last index of a full list reads as 0 (black) instead of past the buffer.
constexpr std::size_t kColourListSize = 1 + 128;
constexpr unsigned long kStitchSectionOffset = 512;

constexpr int kHoopTypeSingle = 0;
constexpr int kHoopTypeTwoPositions = 5;
constexpr int kHoopTypeCustomGrid = 6;
constexpr int kTwoPositionBlocks = 2;
// Custom grids of real hoops have a handful of cells; more is refused rather
// than allocated.
constexpr long long kMaxHoopPositions = 4096;
constexpr int kGridOverlap = 100;   // neighbouring custom cells overlap by 10 mm
constexpr int kHalfExtentPerMillimetre = 5;   // half a hoop extent, in tenths of a millimetre

constexpr int kNotesSize = 1024;
constexpr double kMaxStep = 80.0;
constexpr int kStatusOk = CStitches::kStatusOk;
constexpr int kStatusRefused = CStitches::kStatusRefused;

// Positions of the three- and two-position hoops, left, top, right, bottom.
constexpr RectI kHoopRects1[] = {{0, 0, 1200, 1300}, {600, 0, 1800, 1300}, {1200, 0, 3000, 1300}};
constexpr RectI kHoopRects2[] = {{0, 1200, 1300, 3000}, {0, 600, 1300, 1800}, {0, 0, 1300, 1200}};
constexpr RectI kHoopRects3[] = {{0, 0, 1000, 1000}, {360, 0, 1360, 1000}, {720, 0, 1720, 1000}};
constexpr RectI kHoopRects4[] = {{0, 720, 1000, 1720}, {0, 360, 1000, 1360}, {0, 0, 1000, 1000}};
constexpr RectI kHoopRects5[] = {{1700, 0, 3500, 3500}, {0, 0, 2000, 3500}};

template <std::size_t N>
int CopyRects(RectI const (&table)[N], RectI* rects)
{
    if (rects != nullptr)
        std::copy(table, table + N, rects);
    return static_cast<int>(N);
}

// The custom hoop grid: cells of the given size, stepping by the size less the
// overlap on both sides, for as long as a cell still starts inside the grid.
struct CustomGrid {
    int columns = 0;
    int rows = 0;
    int stepX = 0;
    int stepY = 0;
    int cellWidth = 0;
    int cellHeight = 0;

    long long Count() const { return static_cast<long long>(columns) * rows; }
};

// Start values 0, step, 2 step, ... below limit. A step that does not advance
// would never leave the start, so such a grid has one line.
int GridLines(int extent, int step)
{
    long long const limit = static_cast<long long>(extent) - kGridOverlap;
    if (limit <= 0)
        return 0;
    if (step <= 0)
        return 1;
    return static_cast<int>((limit + step - 1) / step);
}

CustomGrid GetCustomGrid(BasePESHeader& header)
{
    int a = 0, b = 0, c = 0, d = 0;
    header.GetCustomHoop(a, b, c, d);
    CustomGrid grid;
    grid.stepX = c - 2 * kGridOverlap;
    grid.stepY = d - 2 * kGridOverlap;
    grid.columns = GridLines(a, grid.stepX);
    grid.rows = GridLines(b, grid.stepY);
    grid.cellWidth = c - kGridOverlap;
    grid.cellHeight = d - kGridOverlap;
    return grid;
}

int SignedWord(unsigned char const* bytes)
{
    return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
}

void TurnHalfway(CStitch& record)
{
    record.dx = static_cast<int8_t>(-record.dx);
    record.dy = static_cast<int8_t>(-record.dy);
}

// Decoding starts with room for a large design; a block keeps only the records
// it holds, so that a file of many small blocks costs what it decoded. A block
// that fills at least half its room keeps the room, without a copy.
void KeepRecords(CStitchBuildingArray& from, CStitchBuildingArray& to)
{
    if (from.GetCount() >= from.GetCapacity() / 2) {
        to.TakeFrom(from);
        return;
    }
    to.SetSize(from.GetCount(), CStitchBuildingArray::kDefaultGrowth);
    for (int k = 0; k < from.GetCount(); ++k)
        to.Add(from[k]);
    to.SetMask(from.GetMaskX(), from.GetMaskY());
}

// One card-data block as read: its records, hoop position, colours and, for
// the two-position hoop, where it sits.
struct Block {
    CStitchBuildingArray records;
    int hoopPosition = 0;
    int offsetX = 0;
    int offsetY = 0;
};

// The working state of one load.
class PESLoad {
public:
    PESLoad(CPESReadWrite& owner, Brodix::IArchiverStream& stream, BasePESHeader& header)
        : m_owner(owner), m_stream(stream), m_header(header)
    {
    }

    int Run(Brodix::StitchFormats::ICharEncoding* encoding);

private:
    int PrepareHoop();
    int ReadBlock(int index, unsigned long& position);
    bool EndBlockAtItsStart(CStitchBuildingArray& records);
    void AddColours(int index, unsigned char* colourList);
    std::wstring Notes(Brodix::StitchFormats::ICharEncoding* encoding) const;
    void BuildDesigns(Brodix::StitchFormats::ICharEncoding* encoding);
    void MoveToHoopPosition(int index, CAbsStitch& current);
    void Place(int index, CSimpleDesign& design) const;
    void TakeDesignerThreads();

    CPESReadWrite& m_owner;
    Brodix::IArchiverStream& m_stream;
    BasePESHeader& m_header;
    int m_width = 0;
    int m_height = 0;
    bool m_rotated = false;
    int m_hoopType = kHoopTypeSingle;
    int m_blockCount = 0;
    std::vector<RectI> m_hoopRects;
    std::unique_ptr<Block[]> m_blocks;
    std::vector<int> m_colours;
    // The designer's threads, one per colour, when the PES section lists them.
    std::vector<Brodix::ColourData> m_threads;
    int m_lastColourIndex = -1;
    bool m_multiPosition = false;
};

int PESLoad::PrepareHoop()
{
    m_header.GetHoop(m_width, m_height, m_rotated);
    m_blockCount = m_header.GetNumHoops();
    m_hoopType = m_header.GetHoopType();
    if (m_blockCount < 2)
        return kStatusOk;
    if (m_hoopType == kHoopTypeSingle)
        return CPESReadWrite::kStatusUnknownVersion;
    // The two-position hoop keeps where its two blocks sit, and no more.
    if (m_hoopType == kHoopTypeTwoPositions && m_blockCount > kTwoPositionBlocks)
        return kStatusRefused;
    if (m_hoopType == kHoopTypeCustomGrid && GetCustomGrid(m_header).Count() > kMaxHoopPositions)
        return kStatusRefused;
    m_hoopRects.resize(static_cast<std::size_t>(CPESReadWrite::GetHoopRects(&m_header, nullptr)));
    CPESReadWrite::GetHoopRects(&m_header, m_hoopRects.data());
    return kStatusOk;
}

// Reads block index at position and leaves position at the next block.
int PESLoad::ReadBlock(int index, unsigned long& position)
{
    Block& block = m_blocks[index];
    unsigned char blockHeader[kBlockHeaderSize] = {};
    unsigned char colourList[kColourListSize] = {};
    m_stream.SetPos(position);
    m_stream.Read(blockHeader, kBlockHeaderSize);
    m_stream.Read(colourList, kColourBlockSize);
    block.hoopPosition = CPESReadWrite::GetHoopPos(&m_header, blockHeader);
    if (m_blockCount > 1 &&
        (block.hoopPosition < 0 || static_cast<std::size_t>(block.hoopPosition) >= m_hoopRects.size()))
        return kStatusRefused;

    m_stream.SetPos(position + kStitchSectionOffset);
    CStitchBuildingArray decoded;
    int const status = ReadCardData(m_stream, &decoded, m_rotated, reinterpret_cast<char*>(colourList),
                                    m_header.ReadsOnlyPecSection())
                           .first;

    if (m_hoopType == kHoopTypeTwoPositions && index < kTwoPositionBlocks) {
        // The second block of the two-position hoop is stitched turned around.
        if (index == 1) {
            for (int k = 0; k < decoded.GetCount(); ++k)
                TurnHalfway(decoded[k]);
        }
        block.offsetX = SignedWord(blockHeader + kOffsetXByte);
        block.offsetY = SignedWord(blockHeader + kOffsetYByte);
    }
    bool const endsAtItsStart = index + 1 >= m_blockCount || EndBlockAtItsStart(decoded);
    KeepRecords(decoded, block.records);

    // One thumbnail for the whole design and one per colour follow the stitches.
    int const colourByte = static_cast<int8_t>(colourList[0]);
    unsigned long const thumbnailSize =
        static_cast<unsigned long>(blockHeader[kThumbnailWidthByte]) * blockHeader[kThumbnailHeightByte];
    position = m_stream.GetPos() + static_cast<unsigned long>(std::max(colourByte + 2, 0)) * thumbnailSize;

    if (status != kStatusOk)
        return status;
    // Without its move back the block would shift every block after it.
    if (!endsAtItsStart)
        return kStatusRefused;
    AddColours(index, colourList);
    return kStatusOk;
}

// A colour change, then a move back to where the block began: the next block
// starts from the same point, shifted by its hoop position. False when the
// array is full and the move back is not all there.
bool PESLoad::EndBlockAtItsStart(CStitchBuildingArray& records)
{
    int x = 0;
    int y = 0;
    records.GetNeedlePosition(&x, &y);
    records.Add(CStitch{STITCH_COLOUR, 0, 0});
    records.AddLongStitch(x, y, 0, 0, kMaxStep, STITCH_JUMP, false);
    return !records.HasOverflowed();
}

void PESLoad::AddColours(int index, unsigned char* colourList)
{
    int const colourByte = static_cast<int8_t>(colourList[0]);
    int count = colourByte + 1;
    unsigned char* first = colourList + 1;
    if (index > 0 && colourList[1] == m_lastColourIndex) {
        // The thread runs on into this block: the colour change between the
        // blocks becomes a plain move and the colour is not listed twice.
        count = colourByte;
        first = colourList + 2;
        CStitchBuildingArray& previous = m_blocks[index - 1].records;
        int k = previous.GetCount() - 1;
        while (k >= 0 && previous[k].flags == STITCH_JUMP)
            --k;
        if (k >= 0 && previous[k].flags == STITCH_COLOUR)
            previous[k].flags = STITCH_JUMP;
    }
    count = std::max(count, 0);
    std::size_t const start = m_colours.size();
    m_colours.resize(start + static_cast<std::size_t>(count));
    CPESReadWrite::HandleBrotherColoursEx(m_colours.data() + start, count, first);
    m_lastColourIndex = colourList[colourByte + 1 >= 0 ? colourByte + 1 : 0];
}

std::wstring PESLoad::Notes(Brodix::StitchFormats::ICharEncoding* encoding) const
{
    if (encoding == nullptr)
        return {};
    char buffer[kNotesSize] = {};
    m_header.CopyNotes(buffer, kNotesSize);
    return encoding->ConvertToWChars(buffer);
}

void PESLoad::MoveToHoopPosition(int index, CAbsStitch& current)
{
    if (index == 1 && m_hoopType == kHoopTypeTwoPositions) {
        current.position = {0, 0};
        return;
    }
    m_multiPosition = true;
    RectI const& from = m_hoopRects[static_cast<std::size_t>(m_blocks[index - 1].hoopPosition)];
    RectI const& to = m_hoopRects[static_cast<std::size_t>(m_blocks[index].hoopPosition)];
    current.position.x += to.left - from.left;
    current.position.y += from.top - to.top;
}

void PESLoad::Place(int index, CSimpleDesign& design) const
{
    if (m_header.ReadsOnlyPecSection())
        return;   // placed as a PEC file is
    if (m_blockCount > 1 && m_hoopType == kHoopTypeTwoPositions) {   // a single block is built where it goes
        int const s = index == 0 ? -1 : 1;
        Block const& block = m_blocks[index];
        CSimpleDesign::Offset(design, (m_width * kHalfExtentPerMillimetre - block.offsetX) * s,
                              (m_height * kHalfExtentPerMillimetre - block.offsetY) * s);
    }
}

void PESLoad::BuildDesigns(Brodix::StitchFormats::ICharEncoding* encoding)
{
    std::wstring const notes = Notes(encoding);
    bool const turn = m_header.Requires180Rotate();
    CAbsStitch current;
    if (m_blockCount == 1 && !m_header.ReadsOnlyPecSection()) {
        // A single block is centred on its announced extent. It is built from
        // where the centring puts its start, which saves a walk: no position
        // of at most 5,000,000 steps of 128 units from a shift of at most
        // 327,675 comes near the limits the steps are clamped to.
        bool const industrial = m_header.IsIndustrialMachine();
        int const sx = m_rotated && industrial ? 1 : -1;
        int const sy = m_rotated && !industrial ? 1 : -1;
        CStitchBuildingArray const& records = m_blocks[0].records;
        current.position.x = sx * (records.GetMaskX() / 2);
        current.position.y = sy * (records.GetMaskY() / 2);
    }
    for (int i = 0; i < m_blockCount; ++i) {
        CSimpleDesign design;
        if (i > 0)
            MoveToHoopPosition(i, current);
        CStitchBuildingArray const& records = m_blocks[i].records;
        // Each record adds at most one stitch, after the colour that starts the block.
        design.ReserveStitches(static_cast<std::size_t>(records.GetCount()) + 1);
        for (int k = 0; k < records.GetCount(); ++k) {
            CStitch record = records[k];
            if (turn)
                TurnHalfway(record);
            if (m_threads.empty())
                m_owner.AddStitchToDesign(design, record, m_colours, current, false);
            else
                m_owner.AddStitchToDesign(design, record, m_threads, current, false);
        }
        Place(i, design);
        if (encoding != nullptr)
            design.SetDesignNotes(notes);
        m_owner.AddOutputDesign(std::move(design));
    }
    if (m_multiPosition)
        m_owner.CenterDesigns();
}

// A thread table that does not list one thread per colour cannot say which
// thread is which, so the palette colours stay.
void PESLoad::TakeDesignerThreads()
{
    std::optional<std::vector<PESThread>> const threads = ReadPESThreads(m_stream);
    if (!threads || threads->empty() || threads->size() != m_colours.size())
        return;
    m_threads.reserve(threads->size());
    for (PESThread const& thread : *threads)
        m_threads.push_back(PESThreadColour(thread));
}

int PESLoad::Run(Brodix::StitchFormats::ICharEncoding* encoding)
{
    int status = PrepareHoop();
    if (status != kStatusOk)
        return status;
    // Every block needs its 512 bytes before the stitches; a count the file
    // cannot hold is refused before anything is allocated for it.
    unsigned long position = m_header.GetCardDataPos();
    unsigned long const size = m_stream.GetSize();
    if (m_blockCount > 0 &&
        (position > size || (size - position) / kStitchSectionOffset < static_cast<unsigned long>(m_blockCount)))
        return kStatusRefused;

    m_blocks = std::make_unique<Block[]>(static_cast<std::size_t>(m_blockCount));
    // The record limit holds for the whole file, as in every other reader,
    // not only for each of up to 65,535 blocks.
    long long records = 0;
    for (int i = 0; i < m_blockCount; ++i) {
        status = ReadBlock(i, position);
        if (status != kStatusOk)
            return status;
        records += m_blocks[i].records.GetCount();
        if (records > CStitches::kMaxStitchCount)
            return kStatusRefused;
    }
    TakeDesignerThreads();
    BuildDesigns(encoding);
    return kStatusOk;
}

} // namespace

// Version 1 holds one block on a single-position hoop, so the designs go
// into it merged.
int CPESReadWrite::Save(IArchiverRetriever& retriever, ISaveInformation* information, ITvkVipCodec* codec)
{
    CSimpleDesign merged;
    for (auto const& design : m_designs)
        if (design)
            CSimpleDesign::MergeDesign(merged, *design, true, false);
    return StitchWriting::SaveAsStitches(merged, retriever, Brodix::StitchFormats::FormatPES, information, nullptr,
                                         codec);
}

int CPESReadWrite::Load(IArchiverStream& stream, ICharEncoding* encoding, ITvkVipCodec*, IZLib*, std::wstring*)
{
    return BrotherPESLoad(stream, encoding);
}

int CPESReadWrite::BrotherPESLoad(IArchiverStream& stream, ICharEncoding* encoding)
{
    if (CStitches::IsCanFileData(stream))
        return kStatusRefused;
    char magic[kMagicSize + 1] = {};
    stream.Read(magic, kMagicSize);
    stream.SetPos(0);
    // Only the four digits after the first four bytes select the header.
    int const version = std::atoi(magic + kVersionDigitsOffset);
    std::unique_ptr<BasePESHeader> header = CreatePESHeader(version);
    // A newer version still carries a complete PEC section.
    if (header == nullptr)
        header = CreateNewerPESHeader(version);
    if (header == nullptr)
        return kStatusUnknownVersion;
    header->SetDefaults();
    if (!header->LoadFromFile(stream))
        return kStatusRefused;
    PESLoad load(*this, stream, *header);
    return load.Run(encoding);
}

int CPESReadWrite::GetHoopRects(BasePESHeader* header, RectI* rects)
{
    switch (header->GetHoopType()) {
    case 1: return CopyRects(kHoopRects1, rects);
    case 2: return CopyRects(kHoopRects2, rects);
    case 3: return CopyRects(kHoopRects3, rects);
    case 4: return CopyRects(kHoopRects4, rects);
    case kHoopTypeTwoPositions: return CopyRects(kHoopRects5, rects);
    case kHoopTypeCustomGrid: break;
    default: return 1;
    }
    CustomGrid const grid = GetCustomGrid(*header);
    if (rects != nullptr) {
        // Custom cells are laid out with y growing upwards from the first row.
        for (int row = 0; row < grid.rows; ++row) {
            for (int column = 0; column < grid.columns; ++column) {
                int const x = column * grid.stepX;
                int const y = row * grid.stepY;
                *rects++ = RectI{x, -y, x + grid.cellWidth, -(y + grid.cellHeight)};
            }
        }
    }
    return static_cast<int>(std::min<long long>(grid.Count(), INT_MAX));
}

int CPESReadWrite::GetHoopPos(BasePESHeader* header, unsigned char* blockHeader)
{
    if (header->GetHoopType() != kHoopTypeCustomGrid)
        return blockHeader[kHoopPositionByte];
    CustomGrid const grid = GetCustomGrid(*header);
    int const column = blockHeader[kGridColumnByte];
    int const row = blockHeader[kGridRowByte];
    if (row >= grid.rows || column >= grid.columns)
        return -1;
    return row * grid.columns + column;
}

void CPESReadWrite::HandleBrotherColoursEx(int* out, int n, unsigned char* indices)
{
    for (int k = 0; k < n; ++k)
        out[k] = static_cast<int>(GetBrotherRGB(indices[k] - 1));
}

// ---- the version 1 writer ----

namespace {

constexpr char kPES1Magic[] = "#PES0001";
constexpr std::size_t kCardDataOffsetPos = 8;
constexpr uint16_t kHoop100x100 = 0;
constexpr uint16_t kHoop130x180 = 1;
constexpr int kSmallHoopExtent = 1000;   // 100 mm
// The PES section: no design objects, then the end of the object list.
constexpr uint8_t kEmptyPesSection[] = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
// The reader takes the colour count as a signed byte and reads 128 bytes of
// the colour block, the count included.
constexpr int kMaxPesColours = static_cast<int>(kColourBlockSize) - 1;

} // namespace

int CStitches::BrotherPESSave(IArchiverRetriever& retriever, ISaveInformation* information)
{
    namespace SF = Brodix::StitchFormats;
    IArchiverStream* const output = StitchWriting::OutputOf(retriever);
    if (output == nullptr)
        return SF::kSaveStatusNoOutput;
    StitchWriting::StoplessRecords design;
    PecWriting::PecBlock block;
    if (int const status = PecWriting::PrepareBlock(*this, information, kMaxPesColours, design, block);
        status != SF::kSaveStatusOK)
        return status;

    std::vector<uint8_t> image(kPES1Magic, kPES1Magic + kMagicSize);
    ByteOrder::PutLe32(image, 0);   // the card data offset, known below
    bool const small = block.extentWidth <= kSmallHoopExtent && block.extentHeight <= kSmallHoopExtent;
    ByteOrder::PutLe16(image, small ? kHoop100x100 : kHoop130x180);
    ByteOrder::PutLe16(image, 0);
    image.insert(image.end(), std::begin(kEmptyPesSection), std::end(kEmptyPesSection));
    auto const cardData = static_cast<uint32_t>(image.size());
    for (int k = 0; k < 4; ++k)
        image[kCardDataOffsetPos + k] = static_cast<uint8_t>(cardData >> (8 * k));

    // The reader moves a single block by half its extents up and to the left,
    // so the block starts with the move back: the design reads back where it was.
    block.leadingMove = Brodix::CommonTypes::PointI{block.extentWidth / 2, block.extentHeight / 2};
    block.standalone = false;
    if (int const status = PecWriting::AppendPecBlock(image, block); status != SF::kSaveStatusOK)
        return status;
    return StitchWriting::WriteImage(*output, image);
}
