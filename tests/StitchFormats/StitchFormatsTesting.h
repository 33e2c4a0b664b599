// Test support shared by the reader and writer tests: the relative records of
// a loaded design in a comparable, printable form, the absolute stitches of a
// design, the sample files of one format, a Windows-1252 text callback, and
// an output in memory for the writers.
#pragma once
#include "Fundamentals/Design.h"
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/Stitches.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace StitchFormatsTesting {

struct Record {
    uint8_t flags;
    int dx;
    int dy;
    friend bool operator==(Record const&, Record const&) = default;
};

inline void PrintTo(Record const& r, std::ostream* os)
{
    *os << "{" << std::hex << int(r.flags) << std::dec << "," << r.dx << "," << r.dy << "}";
}

inline std::vector<Record> Records(CStitches& stitches)
{
    std::vector<Record> out;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const* s = stitches.GetStitch(i);
        out.push_back({s->flags, s->dx, s->dy});
    }
    return out;
}

inline std::vector<Brodix::CAbsStitch> StitchesOf(IDesign const& design)
{
    std::vector<Brodix::CAbsStitch> out;
    auto reader = Brodix::HoldIterator(design.GetStitchReader());
    for (reader->First(); !reader->IsDone(); reader->Next())
        out.push_back(reader->GetCurrentItem());
    return out;
}

// The sample files of ../shared/corpus/<folder>, sorted; none when the folder is missing.
inline std::vector<std::filesystem::path> CorpusFiles(char const* folder)
{
    std::vector<std::filesystem::path> files;
    std::filesystem::path const dir = std::filesystem::path("../shared/corpus") / folder;
    if (std::filesystem::exists(dir))
        for (auto const& entry : std::filesystem::directory_iterator(dir))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Writes a little-endian field at, growing the buffer when it ends before.
inline void Put16(std::vector<uint8_t>& bytes, std::size_t at, uint16_t value)
{
    if (bytes.size() < at + 2)
        bytes.resize(at + 2);
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value)
{
    if (bytes.size() < at + 4)
        bytes.resize(at + 4);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline std::vector<uint8_t> ReadFile(std::filesystem::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Win1252Encoding : public Brodix::StitchFormats::ICharEncoding {
public:
    std::string ConvertToChars(std::wstring text) override { return Brodix::UnicodeToWin1252(text.c_str(), '?'); }
    std::wstring ConvertToWChars(std::string text) override { return Brodix::Win1252ToUnicode(text.c_str()); }
};

class MemoryRetriever : public Brodix::StitchFormats::IArchiverRetriever {
public:
    Brodix::IArchiverStream* GetArchiver() override { return &stream; }
    bool IsArchiverValid() override { return true; }
    std::vector<unsigned char> const& Written() const { return stream.Content(); }
    Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream> stream;
};

// Save information that names the design, as the DST writer asks for it.
class FilenameInformation : public Brodix::StitchFormats::ISaveInformation {
public:
    explicit FilenameInformation(std::wstring name) : m_name(std::move(name)) {}
    std::wstring GetTextValue(std::wstring const& key) override { return key == L"Filename" ? m_name : L""; }

private:
    std::wstring m_name;
};

} // namespace StitchFormatsTesting
