#include "Platform/Bundle.h"
#include "QelUIFramework2/QelUIFramework2.h"
#include "SendService/SendService.h"
#include "SendService/ServiceHelpers.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <thread>

using namespace Brodix;
using namespace Brodix::SendService;

namespace {

std::string ServiceBundleFolder() { return std::string(QEL_SEND_SERVICE_FOLDER); }

TEST(ServiceHelpers, PasteboardKeepsExistingFilesOfDeclaredTypesInOrder)
{
    QelTest::TestFolder folder;
    Platform::Bundle const bundle = Platform::Bundle::AtFolder(ServiceBundleFolder());
    auto const types = ServiceHelpers::MainBundleSendFileTypes(bundle);
    ASSERT_TRUE(types.has_value());
    std::string const design = std::filesystem::absolute("../shared/corpus/dst/Bean.dst").string();
    std::string const upper = std::filesystem::absolute("../shared/corpus/dst/Crown.DST").string();
    std::string const text = folder.Write("notes.txt", "x");
    std::filesystem::create_directory(folder.Path() + "/folder.pes");
    Platform::Pasteboard const pasteboard = Platform::Pasteboard::FromArguments(
        {folder.Path() + "/folder.pes", "https://example.com/rose.pes", text, design, folder.Path() + "/gone.pes",
         "file:///bad%zz.pes", upper});
    std::vector<std::string> paths;
    for (Platform::URL const& url : ServiceHelpers::PboardToPaths(pasteboard, types, bundle))
        paths.push_back(url.path());
    EXPECT_EQ(paths, (std::vector<std::string>{design, upper}));

    // Without a list of send types every existing file passes, folders still not.
    paths.clear();
    for (Platform::URL const& url : ServiceHelpers::PboardToPaths(pasteboard, std::nullopt, bundle))
        paths.push_back(url.path());
    EXPECT_EQ(paths, (std::vector<std::string>{text, design, upper}));
}

TEST(ServiceHelpers, SendFileTypesOfTheInstalledBundle)
{
    auto const types = ServiceHelpers::MainBundleSendFileTypes(Platform::Bundle::AtFolder(ServiceBundleFolder()));
    ASSERT_TRUE(types.has_value());
    EXPECT_EQ(types->size(), 15u);
    QelTest::TestFolder empty;
    EXPECT_FALSE(ServiceHelpers::MainBundleSendFileTypes(Platform::Bundle::AtFolder(empty.Path())).has_value());
}

TEST(QelProgressWindow, TerminalLine)
{
    struct Case {
        char const* text;
        unsigned long done, total;
        char const* expected;
    } const cases[] = {
        {"Sending rose.pes", 1, 2, "[#####-----] 1/2 Sending rose.pes"},
        {"", 0, 3, "[----------] 0/3"},
        {"x", 3, 3, "[##########] 3/3 x"},
        {"x", 0, 0, "[##########] 0/0 x"},
    };
    for (Case const& c : cases)
        EXPECT_EQ(QelUIFramework::ProgressLine(c.text, c.done, c.total, 10), c.expected);
}

// A long name must not wrap the redrawn line; a character is never split.
TEST(QelProgressWindow, LineIsCutToTheTerminalWidth)
{
    struct Case {
        char const* line;
        unsigned columns;
        char const* expected;
    } const cases[] = {
        {"[---] 0/1 Sending a-very-long-name.dst", 16, "[---] 0/1 Sendin"},
        {"short", 80, "short"},
        {"Sending \xc3\xa9t\xc3\xa9.dst", 10, "Sending \xc3\xa9t"},
        {"\xe2\x9c\x93\xe2\x9c\x93", 1, "\xe2\x9c\x93"},
        {"abc", 0, ""},
    };
    for (Case const& c : cases)
        EXPECT_EQ(QelUIFramework::CutToColumns(c.line, c.columns), c.expected) << c.line;
}

TEST(SendService, SummaryNamesWhatWasNotSentAndWhy)
{
    EXPECT_EQ(SendService::SendSummary(1, 1, {}), "Sent 1 of 1 design to the machine.");
    EXPECT_EQ(SendService::SendSummary(6, 4, {{"Bean.tvk", "cannot be read"}, {"nosuch.dst", "not found"}}),
              "Sent 4 of 6 designs to the machine. Not sent: Bean.tvk (cannot be read), nosuch.dst (not found)");
}

TEST(QelProgressWindow, RunsTheBlockOnTheCallingThreadAndCountsSteps)
{
    std::thread::id ranOn;
    unsigned long steps = 0;
    QelUIFramework::QelProgressWindow::startProcessingBlock(
        [&](QelUIFramework::QelProgressWindow& window) {
            ranOn = std::this_thread::get_id();
            window.setInfoText("Sending a.dst");
            for (int i = 0; i < 4; ++i)
                window.stepIt();
            steps = window.stepsDone();
            EXPECT_EQ(window.infoText(), "Sending a.dst");
        },
        3);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(steps, 3u);   // never past the last step
}

} // namespace
