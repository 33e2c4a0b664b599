#include "RunTool.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using QelStitchTesting::Result;
using QelStitchTesting::RunTool;

constexpr char kBean[] = "../shared/corpus/dst/Bean.dst";
constexpr char kTrims[] = "../shared/corpus/dst/trims.dst";

TEST(QelStitch, UsageErrorsExitWithTwo)
{
    std::vector<std::vector<std::string>> const cases = {
        {},
        {"bogus", kBean},
        {"info"},
        {"dump"},
        {"dump", kBean, kTrims},
        {"--format"},
        {"--format", "zzz", "info", kBean},
        {"--format=", "info", kBean},
        {"--format", "", "info", kBean},
        {"--frob", "info", kBean},
    };
    for (auto const& args : cases) {
        Result const r = RunTool(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("qel-stitch: "), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(RunTool({"--help"}).status, 0);
    EXPECT_EQ(RunTool({"info", "--version"}).status, 0);
}

TEST(QelStitch, InfoDescribesEachFile)
{
    Result const r = RunTool({"info", kBean, kTrims});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(kBean), std::string::npos);
    EXPECT_NE(r.out.find(kTrims), std::string::npos);
    EXPECT_NE(r.out.find("format:         DST"), std::string::npos);
    EXPECT_NE(r.out.find("Madeira Rayon 40"), std::string::npos);
    EXPECT_TRUE(r.err.empty());
}

TEST(QelStitch, InfoShowsThePesHeader)
{
    Result const r = RunTool({"info", "../shared/corpus/pes/Star.pes", "../shared/corpus/pes/Cake_3.pes",
                              "../shared/corpus/pes/Flower.pes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  colour source:  the designer's threads of the PES section\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  PES section:    not read: version 111 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  PES version:    70\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  PES version:    1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  hoop:           100 x 100 mm\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  hoop positions: 1\n"), std::string::npos) << r.out;
}

TEST(QelStitch, FailuresNameTheFileTheFormatAndTheCause)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } const cases[] = {
        {{"info", "../shared/corpus/dst/no-such-file.dst"}, "no-such-file.dst (DST): cannot open"},
        {{"--format", "pes", "info", kBean}, "Bean.dst (PES): unsupported version or variant of PES"},
        {{"info", "../shared/corpus/SOURCES.md"}, "SOURCES.md: unknown format"},
        {{"--format", "dst", "info", "../shared/corpus"}, "corpus (DST): cannot read"},
    };
    for (Case const& c : cases) {
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
    // The files that load are still described.
    Result const mixed = RunTool({"info", "missing.dst", kBean});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.out.find(kBean), std::string::npos);
}

TEST(QelStitch, DumpWritesTheDesignAsJson)
{
    Result const r = RunTool({"--format=DST", "dump", kTrims});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json const j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["file"], kTrims);
    EXPECT_EQ(j["format"], "DST");
    ASSERT_FALSE(j["colours"].empty());
    std::string const rgb = j["colours"][0]["rgb"];
    EXPECT_EQ(rgb.size(), 6u);
    EXPECT_EQ(j["colours"][0]["manufacturer"], "Madeira Rayon 40");
    auto const& stitches = j["stitches"];
    ASSERT_GT(stitches.size(), 1u);
    EXPECT_EQ(stitches[0][0], 2);   // every design starts with its first colour
    std::size_t colourChanges = 0;
    for (auto const& s : stitches) {
        ASSERT_EQ(s.size(), 5u);
        colourChanges += s[0] == 2;
    }
    EXPECT_EQ(colourChanges, j["colours"].size());
}

} // namespace

namespace {

// Each command explains itself alone, whichever way it is asked.
TEST(QelStitch, EachCommandHasItsOwnHelp)
{
    struct Case {
        std::vector<std::string> args;
        char const* shows;
        char const* hides;   // something of another command
    } const cases[] = {
        {{"help", "convert"}, "--thread-range NAME", "--rotate"},
        {{"convert", "--help"}, "--thread-range NAME", "--rotate"},
        {{"fits", "--help"}, "--rotate", "--thread-range"},
        {{"help", "dump"}, "dump FILE", "--rotate"},
    };
    for (Case const& c : cases) {
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_NE(r.out.find(c.shows), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(c.hides), std::string::npos) << r.out;
    }
    EXPECT_EQ(RunTool({"help", "bogus"}).status, 2);
}

} // namespace

namespace {

// A DST file of a label, two stitches and a colour change that nothing follows.
std::string WriteTrailingChangeDst()
{
    std::string bytes = "LA:Sample\r";
    bytes.resize(512, ' ');
    unsigned char const records[] = {0x01, 0x00, 0x03, 0x01, 0x00, 0x03, 0x00, 0x00, 0xC3, 0x00, 0x00, 0xF3};
    bytes.append(reinterpret_cast<char const*>(records), sizeof records);
    std::string const path = std::filesystem::temp_directory_path() / ("qel-trailing-" + std::to_string(::getpid()) + ".dst");
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(QelStitch, InfoNamesTheDstLabelAndSkipsAnUnsewnLastColour)
{
    std::string const path = WriteTrailingChangeDst();
    Result const r = RunTool({"info", path});
    std::filesystem::remove(path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  label:          Sample\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  colour changes: 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  colours:        1 (assigned: the format stores no colours)\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("    2: "), std::string::npos) << r.out;
}

} // namespace

namespace {

// "-" reads the design from standard input; its format must be named.
TEST(QelStitch, DashReadsStandardInput)
{
    std::ifstream file(kBean, std::ios::binary);
    std::stringstream input;
    input << file.rdbuf();
    std::streambuf* const previous = std::cin.rdbuf(input.rdbuf());
    Result const piped = RunTool({"--format", "dst", "dump", "-"});
    input.clear();
    input.seekg(0);
    Result const unnamed = RunTool({"dump", "-"});
    std::cin.rdbuf(previous);

    Result const direct = RunTool({"dump", kBean});
    EXPECT_EQ(piped.status, 0) << piped.err;
    auto const stitches = [](std::string const& json) { return json.substr(json.find("\"stitches\"")); };
    EXPECT_EQ(stitches(piped.out), stitches(direct.out));
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_NE(unnamed.err.find("standard input: name its format with --format EXT"), std::string::npos) << unnamed.err;
}

} // namespace
