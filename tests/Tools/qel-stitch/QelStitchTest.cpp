#include "RunTool.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
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
