// Finding and reading the thread table of a PES section. Its place follows
// the header: the five text fields, a block of fixed values (24 bytes in
// versions 50 to 56, 36 from 60), the image file name, a 24-byte transform,
// then the counts of the programmable fill, motif and (from 60) feather
// patterns, and the thread count. Patterns have layouts of their own, so a
// table behind them is not looked for.
#include "StitchFormats/PesThreads.h"
#include "StitchFormats/PesHeaders.h"
#include "StitchFormats/ThreadCatalogues.h"
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

namespace SF = Brodix::StitchFormats;

constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kVersionDigitsOffset = 4;
constexpr unsigned long kTextFieldsStart = 16;
constexpr int kTextFieldCount = 5;
constexpr unsigned long kTransformSize = 24;
constexpr unsigned long kThreadSkippedBytes = 5;   // between a thread's RGB and its name
constexpr uint8_t kObjectListMarker[] = {0xFF, 0xFF, 0x00, 0x00};

struct TableLayout {
    int version;
    unsigned long fixedValuesSize;
    int patternCounts;
};

// Confirmed on files of versions 50, 60 and 70; 55, 56 and 71 share their
// header layouts.
constexpr TableLayout kLayouts[] = {
    {50, 24, 2}, {55, 24, 2}, {56, 24, 2}, {60, 36, 3}, {70, 36, 3}, {71, 36, 3},
};

TableLayout const* LayoutOf(int version)
{
    for (TableLayout const& layout : kLayouts)
        if (layout.version == version)
            return &layout;
    return nullptr;
}

// Reads within [start of stream, end): every read checks the bytes are there.
class SectionReader {
public:
    SectionReader(Brodix::IArchiverStream& stream, unsigned long end) : m_stream(stream), m_end(end) {}

    bool Bytes(void* buffer, unsigned long size)
    {
        unsigned long const position = m_stream.GetPos();
        if (position > m_end || m_end - position < size)
            return false;
        return m_stream.Read(buffer, size) == size;
    }

    bool Skip(unsigned long size)
    {
        unsigned long const position = m_stream.GetPos();
        if (position > m_end || m_end - position < size)
            return false;
        m_stream.SetPos(position + size);
        return true;
    }

    bool Word(int& value)
    {
        uint8_t bytes[2] = {};
        if (!Bytes(bytes, sizeof bytes))
            return false;
        value = bytes[0] | (bytes[1] << 8);
        return true;
    }

    // A length-prefixed text, as the header's text fields are stored.
    bool Text(std::string& text)
    {
        unsigned long const start = m_stream.GetPos();
        PESTextField field;
        if (!ReadPESTextField(m_stream, field) || m_stream.GetPos() > m_end || start > m_end)
            return false;
        text = field.value_or(std::string());
        return true;
    }

private:
    Brodix::IArchiverStream& m_stream;
    unsigned long m_end;
};

bool ReadThread(SectionReader& reader, PESThread& thread)
{
    uint8_t rgb[3] = {};
    if (!reader.Text(thread.code) || !reader.Bytes(rgb, sizeof rgb) || !reader.Skip(kThreadSkippedBytes))
        return false;
    thread.rgb = rgb[0] | (unsigned(rgb[1]) << 8) | (unsigned(rgb[2]) << 16);
    return reader.Text(thread.name) && reader.Text(thread.maker) && reader.Text(thread.chart);
}

// The design's object list follows the table: its count, then for a
// non-empty list the marker that opens its first object.
bool ObjectListFollows(SectionReader& reader)
{
    int objects = 0;
    if (!reader.Word(objects))
        return false;
    if (objects == 0)
        return true;
    uint8_t marker[sizeof kObjectListMarker] = {};
    return reader.Bytes(marker, sizeof marker) && std::memcmp(marker, kObjectListMarker, sizeof marker) == 0;
}

// Letters and digits only, lower case: "Madeira Polyneon" and
// "Madeira Poly Neon 40" become comparable.
std::string Folded(std::string_view text)
{
    std::string out;
    for (unsigned char c : text)
        if (std::isalnum(c))
            out.push_back(static_cast<char>(std::tolower(c)));
    return out;
}

bool ListsCode(int base, std::string const& code)
{
    for (SF::ThreadCatalogueEntry const* entry = SF::ColourBases[base]; entry->code != nullptr; ++entry)
        if (code == entry->code)
            return true;
    return false;
}

// The catalogue of the thread's maker, -1 when none is.
int MatchingCatalogue(PESThread const& thread)
{
    std::string const maker = Folded(thread.maker);
    if (maker.empty())
        return -1;
    int firstOfMaker = -1;
    for (int base = 0; base < SF::NumColourBases; ++base) {
        if (Folded(SF::details[base].manufacturer).rfind(maker, 0) != 0)
            continue;
        if (ListsCode(base, thread.code))
            return base;
        if (firstOfMaker < 0)
            firstOfMaker = base;
    }
    return firstOfMaker;
}

} // namespace

std::optional<std::vector<PESThread>> ReadPESThreads(Brodix::IArchiverStream& stream)
{
    char magic[kMagicSize + 1] = {};
    uint8_t sectionEnd[4] = {};
    stream.SetPos(0);
    if (stream.Read(magic, kMagicSize) != kMagicSize || stream.Read(sectionEnd, sizeof sectionEnd) != sizeof sectionEnd)
        return std::nullopt;
    TableLayout const* layout = LayoutOf(std::atoi(magic + kVersionDigitsOffset));
    if (layout == nullptr)
        return std::nullopt;
    unsigned long const end = sectionEnd[0] | (static_cast<unsigned long>(sectionEnd[1]) << 8) |
                              (static_cast<unsigned long>(sectionEnd[2]) << 16) |
                              (static_cast<unsigned long>(sectionEnd[3]) << 24);
    if (end > stream.GetSize() || end < kTextFieldsStart)
        return std::nullopt;

    SectionReader reader(stream, end);
    stream.SetPos(kTextFieldsStart);
    std::string text;
    for (int i = 0; i < kTextFieldCount; ++i)
        if (!reader.Text(text))
            return std::nullopt;
    if (!reader.Skip(layout->fixedValuesSize) || !reader.Text(text) || !reader.Skip(kTransformSize))
        return std::nullopt;
    for (int i = 0; i < layout->patternCounts; ++i) {
        int patterns = 0;
        if (!reader.Word(patterns) || patterns != 0)
            return std::nullopt;
    }
    int count = 0;
    if (!reader.Word(count))
        return std::nullopt;
    std::vector<PESThread> threads;
    for (int i = 0; i < count; ++i) {
        PESThread thread;
        if (!ReadThread(reader, thread))
            return std::nullopt;
        threads.push_back(std::move(thread));
    }
    if (!ObjectListFollows(reader))
        return std::nullopt;
    return threads;
}

Brodix::ColourData PESThreadColour(PESThread const& thread)
{
    Brodix::ColourData colour = Brodix::ColourData::Default();
    colour.colours[0] = thread.rgb;
    int const base = MatchingCatalogue(thread);
    if (base >= 0) {
        colour.materialType = SF::details[base].materialType;
        colour.threadWeight = SF::details[base].threadWeight;
    }
    Brodix::ColourDataEx::Copy(colour.serialNumber, thread.code.c_str());
    Brodix::ColourDataEx::Copy(colour.threadName, thread.name.c_str());
    Brodix::ColourDataEx::Copy(colour.manufacturerName, thread.maker.c_str());
    return colour;
}
