// qel-stitch render and thumbnail, the thumbnailer file that file managers
// read, and info --preview.
#include "RunTool.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using QelStitchTesting::Result;
using QelStitchTesting::RunTool;
namespace fs = std::filesystem;

constexpr char kCrown[] = "../shared/corpus/dst/Crown.DST";

// A folder of its own per test, so leftover temporary files can be counted.
class PictureCommands : public testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::path(testing::TempDir())
                 / ("qel-stitch-pictures-" + std::to_string(::getpid()) + "-"
                    + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }
    std::string Path(std::string const& name) const { return (m_folder / name).string(); }
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()));
    }

    fs::path m_folder;
};

std::string ReadAll(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Width and height of a PNG file; zero when it is not one.
std::pair<int, int> PngSize(std::string const& path)
{
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    std::pair<int, int> size{0, 0};
    if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS)
        size = {cairo_image_surface_get_width(png), cairo_image_surface_get_height(png)};
    cairo_surface_destroy(png);
    return size;
}

TEST_F(PictureCommands, RenderWritesPngAndSvgAndNeverOverwritesWithoutForce)
{
    std::string const png = Path("crown.png");
    Result const first = RunTool({"render", "--size", "300", kCrown, png});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(first.out.empty());
    auto const [width, height] = PngSize(png);
    EXPECT_EQ(std::max(width, height), 300);
    EXPECT_GT(std::min(width, height), 100);

    // A second write is refused and leaves the file as it was.
    std::string const before = ReadAll(png);
    Result const again = RunTool({"render", "--size", "200", kCrown, png});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
    EXPECT_EQ(ReadAll(png), before);
    Result const forced = RunTool({"render", "--force", "--size=200", "--background", "#FFFFFF", kCrown, png});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(std::max(PngSize(png).first, PngSize(png).second), 200);

    std::string const svg = Path("crown.SVG");
    Result const vector = RunTool({"render", "--colour-blocks", kCrown, svg});
    ASSERT_EQ(vector.status, 0) << vector.err;
    std::string const text = ReadAll(svg);
    EXPECT_NE(text.find("<svg"), std::string::npos);
    // The crown has three colour blocks.
    std::size_t paths = 0;
    for (std::size_t at = text.find("<path"); at != std::string::npos; at = text.find("<path", at + 1))
        ++paths;
    EXPECT_EQ(paths, 3u);
    EXPECT_EQ(FileCount(), 2u);   // no temporary file left behind
}

TEST_F(PictureCommands, RenderRefusesBadRequestsWithoutWriting)
{
    // A DST file of a header and the end record only: a design without stitches.
    std::string const empty = Path("empty.dst");
    {
        std::ofstream out(empty, std::ios::binary);
        out << std::string(512, ' ') << '\0' << '\0' << '\xF3';
    }
    std::string const garbage = Path("garbage.pes");
    std::ofstream(garbage, std::ios::binary) << "#PES0001\xff\xff\xff\x7f not a design at all";
    struct Case {
        std::vector<std::string> args;
        int status;
        char const* says;
    } const cases[] = {
        {{"render", empty, Path("out.png")}, 1, "no stitches"},
        {{"render", Path("missing.dst"), Path("out.png")}, 1, "cannot open"},
        {{"render", kCrown, Path("out.jpg")}, 2, ".png or .svg"},
        {{"render", "--size", "0", kCrown, Path("out.png")}, 2, "--size"},
        {{"render", "--size", "4097", kCrown, Path("out.png")}, 2, "--size"},
        {{"render", "--size", "12px", kCrown, Path("out.png")}, 2, "--size"},
        {{"render", "--background", "white", kCrown, Path("out.png")}, 2, "--background"},
        {{"render", kCrown}, 2, "render takes"},
        {{"render", kCrown, Path("out.png"), "-s", "5"}, 2, "-s is an option of thumbnail"},
        {{"thumbnail", "-s", "big", kCrown, Path("out.png")}, 2, "-s"},
        {{"thumbnail", "-s", "64", empty, Path("out.png")}, 1, "no stitches"},
        {{"thumbnail", "-s", "64", garbage, Path("out.png")}, 1, "garbage.pes (PES): "},
        {{"info", "--size", "5", kCrown}, 2, "--size is an option of render"},
    };
    for (Case const& c : cases) {
        Result const r = RunTool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << " " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(FileCount(), 2u);   // only the two designs
}

TEST_F(PictureCommands, ThumbnailReplacesItsOutput)
{
    std::string const out = Path("thumb");
    std::ofstream(out) << "an older thumbnail";
    Result const r = RunTool({"thumbnail", "-s", "64", "../shared/corpus/exp/Bean.exp", out});
    ASSERT_EQ(r.status, 0) << r.err;
    auto const [width, height] = PngSize(out);
    EXPECT_EQ(std::max(width, height), 64);
    EXPECT_EQ(FileCount(), 1u);
}

TEST_F(PictureCommands, InfoPreviewPrintsNothingExtraWithoutATerminal)
{
    Result const plain = RunTool({"info", kCrown});
    Result const preview = RunTool({"info", "--preview", kCrown});
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(preview.out, plain.out);
}

// The keys of a desktop-entry style file, group by group.
std::map<std::string, std::map<std::string, std::string>> ReadKeyFile(std::string const& path, std::string& problems)
{
    std::map<std::string, std::map<std::string, std::string>> groups;
    std::ifstream in(path);
    std::string line, group;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            if (groups.contains(group))
                problems += "group " + group + " twice; ";
            groups[group];
            continue;
        }
        std::size_t const equals = line.find('=');
        if (group.empty() || equals == std::string::npos || equals == 0 || line[equals - 1] == ' ') {
            problems += "bad line: " + line + "; ";
            continue;
        }
        std::string const key = line.substr(0, equals);
        if (!groups[group].emplace(key, line.substr(equals + 1)).second)
            problems += "key " + key + " twice; ";
    }
    return groups;
}

TEST(Thumbnailer, FileNamesOurMimeTypesAndItsExecLineWritesAThumbnail)
{
    std::string problems;
    auto const groups = ReadKeyFile("Tools/qel-stitch/com.brodix.StitchFormats.thumbnailer", problems);
    EXPECT_EQ(problems, "");
    ASSERT_EQ(groups.size(), 1u);
    ASSERT_TRUE(groups.contains("Thumbnailer Entry"));
    auto const& entry = groups.at("Thumbnailer Entry");
    std::set<std::string> keys;
    for (auto const& [key, value] : entry)
        keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string>{"Exec", "MimeType", "TryExec"}));
    EXPECT_EQ(entry.at("TryExec"), "qel-stitch");

    // Exactly the types the send service registers.
    std::string const mimeXml = ReadAll("Services/SendService/com.brodix.StitchFormats.xml");
    std::string const typeAttribute = "<mime-type type=\"";
    std::set<std::string> registered;
    for (std::size_t at = mimeXml.find(typeAttribute); at != std::string::npos; at = mimeXml.find(typeAttribute, at + 1)) {
        std::size_t const from = at + typeAttribute.size();
        registered.insert(mimeXml.substr(from, mimeXml.find('"', from) - from));
    }
    EXPECT_EQ(registered.size(), 15u);
    std::string const mimeTypes = entry.at("MimeType");
    ASSERT_FALSE(mimeTypes.empty());
    EXPECT_EQ(mimeTypes.back(), ';');
    std::set<std::string> listed;
    std::istringstream list(mimeTypes);
    for (std::string type; std::getline(list, type, ';');)
        EXPECT_TRUE(listed.insert(type).second) << type << " twice";
    EXPECT_EQ(listed, registered);

    // The Exec line as a file manager runs it: the program found by TryExec,
    // %s the size, %i the input, %o the output.
    std::vector<std::string> argv;
    std::istringstream words(entry.at("Exec"));
    for (std::string word; words >> word;)
        argv.push_back(word);
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(argv[0], entry.at("TryExec"));
    std::string const output = testing::TempDir() + "qel-stitch-thumbnailer-" + std::to_string(::getpid()) + ".png";
    std::remove(output.c_str());
    std::set<std::string> codes;
    for (std::string& word : argv) {
        if (word.starts_with('%'))
            codes.insert(word);
        if (word == "%s")
            word = "96";
        else if (word == "%i")
            word = fs::absolute(kCrown).string();
        else if (word == "%o")
            word = output;
    }
    EXPECT_EQ(codes, (std::set<std::string>{"%s", "%i", "%o"}));
    argv[0] = QEL_STITCH_PROGRAM;
    std::vector<char*> args;
    for (std::string& word : argv)
        args.push_back(word.data());
    args.push_back(nullptr);
    pid_t const child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    auto const [width, height] = PngSize(output);
    EXPECT_EQ(std::max(width, height), 96);
    EXPECT_GT(std::min(width, height), 0);
    std::remove(output.c_str());
}

} // namespace
