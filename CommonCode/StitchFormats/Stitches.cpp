// Storage, colours, header values and limits of the relative stitch container.
// The record count never exceeds the allocated storage, whatever a reader asks.
#include "StitchFormats/Stitches.h"
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr uint16_t kDefaultCodeNumber = 64605;
constexpr uint16_t kDefaultVersion = 400;
constexpr int kDefaultHoopHalfSize = 500;

// The VIP scrambler builds its password from these three pieces.
constexpr int32_t kPasswordPieces[3] = {12921000, 463, 323025};

constexpr std::string_view kCanFileMarker = "SColourStitch";

int16_t ClampToInt16(long long value)
{
    return static_cast<int16_t>(std::clamp<long long>(value, std::numeric_limits<int16_t>::min(),
                                                      std::numeric_limits<int16_t>::max()));
}

int ClampToInt(long long value)
{
    return static_cast<int>(
        std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

CStitches::CStitches(int defaultColourType) : m_defaultColourType(defaultColourType)
{
    std::copy(std::begin(kPasswordPieces), std::end(kPasswordPieces), m_passwordPieces);
    m_hoopHalfWidth = kDefaultHoopHalfSize;
    m_hoopHalfHeight = kDefaultHoopHalfSize;
    m_header = Header{};
    m_header.codeNumber = kDefaultCodeNumber;
    m_header.version = kDefaultVersion;
}

CStitches::~CStitches()
{
    ClearStitches();
}

// ---- storage ----

void CStitches::AllocRecords(int n)
{
    n = std::max(n, 0);
    m_flags = std::make_unique<uint8_t[]>(static_cast<std::size_t>(n));
    m_dx = std::make_unique<int8_t[]>(static_cast<std::size_t>(n));
    m_dy = std::make_unique<int8_t[]>(static_cast<std::size_t>(n));
    m_capacity = n;
}

int CStitches::AllocStorage(int n)
{
    if (m_count > 0)
        return 1;
    AllocRecords(n);
    m_count = m_capacity;
    return 0;
}

int CStitches::AllocStorageForAppending(int n)
{
    if (m_count > 0)
        return 1;
    n = std::max(n, 0);
    m_flags = std::make_unique_for_overwrite<uint8_t[]>(static_cast<std::size_t>(n));
    m_dx = std::make_unique_for_overwrite<int8_t[]>(static_cast<std::size_t>(n));
    m_dy = std::make_unique_for_overwrite<int8_t[]>(static_cast<std::size_t>(n));
    m_capacity = n;
    m_count = 0;
    return 0;
}

int CStitches::StoreRecords(CStitch const* records, int count)
{
    if (AllocStorageForAppending(count) != 0)
        return 1;
    for (int i = 0; i < count; ++i) {
        m_flags[i] = records[i].flags;
        m_dx[i] = records[i].dx;
        m_dy[i] = records[i].dy;
    }
    m_count = std::max(count, 0);
    return 0;
}

int CStitches::PutStitchRealloc(int index, CStitch const& stitch, unsigned growth)
{
    if (index >= m_count && growth != 0) {
        long long const wanted = static_cast<long long>(m_count) + growth;
        int const newCount = static_cast<int>(std::min<long long>(wanted, std::numeric_limits<int>::max()));
        auto flags = std::make_unique<uint8_t[]>(static_cast<std::size_t>(newCount));
        auto dx = std::make_unique<int8_t[]>(static_cast<std::size_t>(newCount));
        auto dy = std::make_unique<int8_t[]>(static_cast<std::size_t>(newCount));
        if (m_count > 0) {
            std::memcpy(flags.get(), m_flags.get(), static_cast<std::size_t>(m_count));
            std::memcpy(dx.get(), m_dx.get(), static_cast<std::size_t>(m_count));
            std::memcpy(dy.get(), m_dy.get(), static_cast<std::size_t>(m_count));
        }
        m_flags = std::move(flags);
        m_dx = std::move(dx);
        m_dy = std::move(dy);
        m_count = m_capacity = newCount;
    }
    return PutStitch(index, stitch);
}

void CStitches::ClearStitches()
{
    m_flags.reset();
    m_dx.reset();
    m_dy.reset();
    m_count = m_capacity = 0;
    m_rgb.reset();
    m_colourTypes.reset();
    m_colourCount = 0;
    m_header.colourCount = 0;
}

void CStitches::SetCount(int count)
{
    m_count = std::clamp(count, 0, m_capacity);
}

// ---- colours ----

void CStitches::SetNumberColours(int n)
{
    m_rgb.reset();
    m_colourTypes.reset();
    n = std::max(n, 0);
    if (n > 0) {
        m_rgb = std::make_unique<uint32_t[]>(static_cast<std::size_t>(n));
        m_colourTypes = std::make_unique<int32_t[]>(static_cast<std::size_t>(n));
    }
    m_colourCount = n;
    m_header.colourCount = ClampToInt16(n);
}

void CStitches::SetColour(int index, unsigned rgb)
{
    if (index >= 0 && index < m_colourCount)
        m_rgb[index] = rgb;
}

unsigned CStitches::GetColour(int index) const
{
    return index >= 0 && index < m_colourCount ? m_rgb[index] : 0;
}

void CStitches::SetManufacturer(int index, int colourType)
{
    if (index >= 0 && index < m_colourCount)
        m_colourTypes[index] = colourType;
}

int CStitches::GetManufacturer(int index) const
{
    return index >= 0 && index < m_colourCount ? m_colourTypes[index] : 1;
}

int CStitches::GetActualColourCount() const
{
    return static_cast<int>(std::count(m_flags.get(), m_flags.get() + m_count, STITCH_COLOUR));
}

// ---- header values and notes ----

void CStitches::SetHoopSize(int halfWidth, int halfHeight)
{
    m_hoopHalfWidth = halfWidth;
    m_hoopHalfHeight = halfHeight;
}

void CStitches::SetNotes(const char* text)
{
    // Up to 8 characters; a terminator that does not fit falls on the trailer.
    ClearNotes();
    if (text == nullptr)
        return;
    std::size_t const length = strnlen(text, sizeof m_header.notes);
    std::memcpy(m_header.notes, text, length);
}

void CStitches::GetNotes(char* out) const
{
    std::size_t const length = strnlen(m_header.notes, sizeof m_header.notes);
    std::memcpy(out, m_header.notes, length);
    out[length] = '\0';
}

void CStitches::ClearNotes()
{
    std::memset(m_header.notes, 0, sizeof m_header.notes);
    m_header.notesTrailer = 0;
}

// ---- bounds and limits ----

void CStitches::SizeDesign()
{
    // Wide sums: a container grown record by record has no bound on its length.
    long long x = 0, y = 0, minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < m_count; ++i) {
        x += m_dx[i];
        y += m_dy[i];
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    SetExtent(minX, minY, maxX, maxY);
}

void CStitches::SetExtent(long long minX, long long minY, long long maxX, long long maxY)
{
    m_extent = Extent{ClampToInt(minX), ClampToInt(minY), ClampToInt(maxX), ClampToInt(maxY)};
    m_header.minX = ClampToInt16(minX);
    m_header.maxX = ClampToInt16(maxX);
    m_header.minY = ClampToInt16(minY);
    m_header.maxY = ClampToInt16(maxY);
}

int CStitches::CheckFitHoop() const
{
    bool const outside = GetMaxX() > m_hoopHalfWidth || GetMaxY() > m_hoopHalfHeight || GetMinX() < -m_hoopHalfWidth
                         || GetMinY() < -m_hoopHalfHeight;
    return outside ? 1 : 0;
}

bool CStitches::ValidateNumCols(int count)
{
    return static_cast<unsigned>(count) <= static_cast<unsigned>(kMaxColourCount);
}

bool CStitches::IsCanFileData(const char* data, std::size_t size)
{
    if (data == nullptr)
        return false;
    return std::string_view(data, size).find(kCanFileMarker) != std::string_view::npos;
}

bool CStitches::IsCanFileData(IArchiverStream& stream)
{
    unsigned long const remembered = stream.GetPos();
    char buffer[CStitches::kCanFileScanLength];
    stream.SetPos(0);
    unsigned long const got = stream.Read(buffer, sizeof buffer);
    stream.SetPos(remembered);
    return IsCanFileData(buffer, std::min<std::size_t>(got, sizeof buffer));
}
