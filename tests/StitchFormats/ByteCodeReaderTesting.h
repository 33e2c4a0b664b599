// Test support for the byte-code readers: load a byte sequence through
// CStitches::Load and print the records in one line ("N10,5 J-3,0 T C E"), so
// a table of cases compares a whole design at once; plus a walk over the
// sample files of one format.
#pragma once
#include "Fundamentals/MemoryStream.h"
#include "Fundamentals/SimpleDesign.h"
#include "StitchFormats/StitchFormats.h"
#include "StitchFormats/Stitches.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace ByteCodeReaderTesting {

using Bytes = std::vector<unsigned char>;
using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;

inline std::string ShowRecords(CStitches& stitches)
{
    std::string out;
    for (int i = 0; i < stitches.GetCount(); ++i) {
        CStitch const s = *stitches.GetStitch(i);
        if (!out.empty())
            out += ' ';
        switch (s.flags) {
        case STITCH_NORMAL: out += 'N' + std::to_string(s.dx) + ',' + std::to_string(s.dy); break;
        case STITCH_JUMP: out += 'J' + std::to_string(s.dx) + ',' + std::to_string(s.dy); break;
        case STITCH_STOP: out += 'S'; break;
        case STITCH_COLOUR: out += 'C'; break;
        case STITCH_TRIM: out += 'T'; break;
        case STITCH_END: out += 'E'; break;
        default: out += '?' + std::to_string(s.flags); break;
        }
    }
    return out;
}

struct Loaded {
    int status = -1;
    std::string records;
    std::vector<unsigned> colours;
    std::wstring notes;
};

inline Loaded LoadBytes(Bytes const& bytes, Brodix::StitchFormats::Format format,
                        Brodix::StitchFormats::ICharEncoding* encoding = nullptr, int colourType = 0)
{
    MemoryStream stream(bytes.data(), bytes.size());
    CStitches stitches(colourType);
    Loaded result;
    result.status = stitches.Load(stream, format, encoding, nullptr, nullptr, nullptr);
    result.records = ShowRecords(stitches);
    for (int i = 0; i < stitches.GetNumberColours(); ++i)
        result.colours.push_back(stitches.GetColour(i));
    result.notes = stitches.GetWideNotes();
    return result;
}

inline void Append(Bytes& out, Bytes const& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

// Loads every sample of a format through the dispatch; a file listed in
// refused must give that status, every other one 0 and a design with stitches.
inline void ExpectCorpusLoads(std::string const& folder, Brodix::StitchFormats::Format format,
                              std::map<std::string, int> const& refused = {})
{
    std::filesystem::path const dir = std::filesystem::path("../shared/corpus") / folder;
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
    int files = 0;
    for (auto const& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes const bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        MemoryStream stream(bytes.data(), bytes.size());
        Brodix::CSimpleDesign design;
        int const status = Brodix::StitchFormats::Load(design, stream, 0, format, nullptr, nullptr, nullptr, nullptr);
        std::string const name = entry.path().filename().string();
        auto const expected = refused.find(name);
        if (expected != refused.end()) {
            EXPECT_EQ(status, expected->second) << name;
        } else {
            EXPECT_EQ(status, 0) << name;
            EXPECT_GT(design.GetStitchCount(), 1u) << name;
        }
        ++files;
    }
    EXPECT_GT(files, 0);
}

} // namespace ByteCodeReaderTesting
