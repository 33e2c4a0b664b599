// qel-stitch with VP3: convert writes it, info and dump read it.
#include "RunTool.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using QelStitchTesting::Result;
using QelStitchTesting::RunTool;

constexpr char kBean[] = "../shared/corpus/dst/Bean.dst";
constexpr char kCrown[] = "../shared/corpus/dst/Crown.DST";   // no jumps, no empty colour

// Unique per process: test programs of several builds may run at once.
std::string TempPath(std::string const& name)
{
    return testing::TempDir() + "qel-stitch-" + std::to_string(::getpid()) + "-" + name;
}

// A design without jumps or empty colours survives the conversion exactly:
// the dumps agree on everything but the file's name and format.
TEST(QelStitchVp3, ConvertThenDumpGivesTheSameDesign)
{
    std::string const vp3 = TempPath("crown.vp3");
    Result const converted = RunTool({"convert", kCrown, vp3});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_TRUE(converted.out.empty());

    auto original = nlohmann::json::parse(RunTool({"dump", kCrown}).out);
    Result const dumped = RunTool({"dump", vp3});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    auto back = nlohmann::json::parse(dumped.out);
    EXPECT_EQ(back["format"], "VP3");
    EXPECT_EQ(back["colours"], original["colours"]);
    EXPECT_EQ(back["stitches"], original["stitches"]);

    Result const info = RunTool({"info", vp3});
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("format:         VP3"), std::string::npos);

    std::string const renamed = TempPath("crown.bin");
    std::filesystem::copy_file(vp3, renamed, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(RunTool({"--format", "vp3", "info", renamed}).status, 0);
    std::remove(vp3.c_str());
    std::remove(renamed.c_str());
}

TEST(QelStitchVp3, ReportsFailuresLikeTheOtherCommands)
{
    std::string const notVp3 = TempPath("not.vp3");
    std::ofstream(notVp3) << "%qex% this is not a VP3 file";
    struct Case {
        std::vector<std::string> args;
        int status;
        char const* message;
    };
    Case const cases[] = {
        {{"convert", kBean, TempPath("out.sew")}, 2,
         "cannot write SEW; the output formats are vp3 dst exp 10o pcs tvk vip pes pec jef"},
        {{"convert", kBean}, 2, "convert takes IN OUT"},
        {{"convert", "../shared/corpus/dst/missing.dst", TempPath("out.vp3")}, 1, "cannot open"},
        {{"convert", kBean, "/nonexistent-folder/out.vp3"}, 1, "(VP3): cannot create"},
        {{"info", notVp3}, 1, "(VP3): not a VP3 file (status 6)"},
        {{"convert", notVp3, TempPath("again.vp3")}, 1, "not a VP3 file"},
    };
    for (auto const& c : cases) {
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("qel-stitch: ", 0), 0u) << r.err;
    }
    std::remove(notVp3.c_str());
}

} // namespace
