// Replacing a file in one step: the old content until the new one is
// complete, and no temporary file left when the move fails.
#include "Fundamentals/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Brodix::AtomicWriteResult;
using Brodix::ExistingFile;
using Brodix::WriteFileAtomically;

std::vector<unsigned char> Bytes(std::string const& text) { return {text.begin(), text.end()}; }

std::vector<std::string> Names(fs::path const& folder)
{
    std::vector<std::string> names;
    for (auto const& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(AtomicFile, ReplaceSwapsTheContentAndLeavesNoTemporaryFile)
{
    std::string pattern = (fs::temp_directory_path() / "qel-atomic-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    fs::path const folder = pattern;
    std::string error;

    EXPECT_EQ(WriteFileAtomically(folder, "rose.dst", Bytes("first"), ExistingFile::Replace, &error),
              AtomicWriteResult::Written);
    EXPECT_EQ(WriteFileAtomically(folder, "rose.dst", Bytes("second"), ExistingFile::Keep, &error),
              AtomicWriteResult::AlreadyExists);
    EXPECT_EQ(WriteFileAtomically(folder, "rose.dst", Bytes("third"), ExistingFile::Replace, &error),
              AtomicWriteResult::Written);
    std::ifstream file(folder / "rose.dst", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()), "third");

    // A folder of that name is not replaced; the temporary file goes again.
    fs::create_directory(folder / "taken");
    EXPECT_EQ(WriteFileAtomically(folder, "taken", Bytes("x"), ExistingFile::Replace, &error),
              AtomicWriteResult::Failed);
    EXPECT_NE(error.find("rename"), std::string::npos) << error;
    std::vector<std::string> names = Names(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"rose.dst", "taken"}));
    fs::remove_all(folder);
}

} // namespace
