#include "Fundamentals/SimpleDesign.h"
#include "MachineLink/Outbox.h"
#include "Platform/FileManager.h"
#include "SharedCode/QELDesignFile.h"
#include "StitchFormats/Vp3/VP3ReadWrite.h"
#include "StitchFormats/Vp3/Vp3TestBytes.h"
#include "ServiceVp3.h"
#include "TestFolder.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>

using namespace Brodix;
using namespace Brodix::MachineLink;
using QelTest::FilesUnder;

namespace {

// A real VP3 image: a corpus design as the send service encodes it.
Platform::PropertyData SampleVp3() { return QelTest::ServiceVp3("../shared/corpus/dst/Bean.dst", "dst"); }

Platform::PropertyDictionary Notification(Platform::PropertyValue name, Platform::PropertyValue data,
                                          Platform::PropertyValue kind)
{
    return {{"QelSendToMachineFilename", std::move(name)},
            {"QelSendToMachineDataToSend", std::move(data)},
            {"QelSendToMachineFileType", std::move(kind)}};
}

TEST(Outbox, FileNamesAndTheirProblems)
{
    struct Case {
        std::string name;
        bool usable;
    } const cases[] = {
        {"rose.pes", true},
        {"Rose Garden (final).DST", true},
        {"\xC3\xA9t\xC3\xA9.jef", true},
        {"", false},
        {".hidden.pes", false},
        {"..", false},
        {"../x", false},
        {"a/b.pes", false},
        {std::string("a\0b.pes", 7), false},
        {"line\nbreak.pes", false},
        {std::string(241, 'a'), false},
        {std::string(240, 'a'), true},
    };
    for (Case const& c : cases)
        EXPECT_EQ(!FileNameProblem(c.name).has_value(), c.usable) << c.name;
}

TEST(Outbox, NamesReplaceTheExtensionAndNumberCopies)
{
    struct Case {
        char const* received;
        unsigned copy;
        char const* expected;
    } const cases[] = {
        {"rose.pes", 1, "rose.vp3"},      {"rose.pes", 2, "rose (2).vp3"},
        {"rose", 1, "rose.vp3"},          {"rose.tar.DST", 3, "rose.tar (3).vp3"},
        {"rose.vp3", 1, "rose.vp3"},      {"a.b.c", 1, "a.b.vp3"},
    };
    for (Case const& c : cases)
        EXPECT_EQ(OutboxFileName(c.received, c.copy), c.expected) << c.received;
}

TEST(Outbox, WritesNeverOverwritingAndExpressApart)
{
    QelTest::TestFolder folder;
    Outbox const outbox(folder.Path() + "/out");
    ASSERT_TRUE(Platform::CreateDirectories(outbox.Folder()));
    auto const vp3 = SampleVp3();
    struct Step {
        char const* name;
        int kind;
        char const* written;
    } const steps[] = {
        {"rose.pes", 0, "rose.vp3"},
        {"rose.dst", 0, "rose (2).vp3"},
        {"rose.pes", 0, "rose (3).vp3"},
        {"rose.pes", 2, "express/rose.vp3"},
    };
    for (Step const& step : steps) {
        Delivery const delivery = outbox.Deliver(Notification(step.name, vp3, step.kind));
        EXPECT_TRUE(delivery.written) << delivery.logLine;
        EXPECT_EQ(delivery.path, outbox.Folder() + "/" + step.written);
        EXPECT_EQ(Platform::ReadFileContents(delivery.path, 1 << 20), vp3);
    }
    EXPECT_EQ(FilesUnder(outbox.Folder()),
              (std::vector<std::string>{"express/rose.vp3", "rose (2).vp3", "rose (3).vp3", "rose.vp3"}));
}

TEST(Outbox, RefusesWithALogLineAndWritesNothing)
{
    QelTest::TestFolder folder;
    Outbox const outbox(folder.Path());
    auto const vp3 = SampleVp3();
    Platform::PropertyData oversized(kMaxPayloadBytes + 1, 0);
    std::copy(vp3.begin(), vp3.end(), oversized.begin());
    Platform::PropertyData truncated(vp3.begin(), vp3.begin() + vp3.size() / 3);
    struct Case {
        char const* what;
        std::optional<Platform::PropertyDictionary> userInfo;
    } const cases[] = {
        {"malformed", std::nullopt},
        {"parent path", Notification("../x", vp3, 0)},
        {"absolute path", Notification("/tmp/x.pes", vp3, 0)},
        {"hidden", Notification(".x.pes", vp3, 0)},
        {"empty name", Notification("", vp3, 0)},
        {"name not a string", Notification(7, vp3, 0)},
        {"oversized", Notification("big.pes", oversized, 0)},
        {"not VP3", Notification("text.pes", Platform::PropertyData{'h', 'e', 'l', 'l', 'o'}, 0)},
        {"truncated VP3", Notification("cut.pes", truncated, 0)},
        {"data as string", Notification("s.pes", "data", 0)},
        {"unknown kind", Notification("k.pes", vp3, 1)},
        {"kind missing", Platform::PropertyDictionary{{"QelSendToMachineFilename", "m.pes"},
                                                      {"QelSendToMachineDataToSend", vp3}}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.what);
        Delivery const delivery = outbox.Deliver(c.userInfo);
        EXPECT_FALSE(delivery.written);
        EXPECT_EQ(delivery.logLine.rfind("refused ", 0), 0u) << delivery.logLine;
        EXPECT_EQ(delivery.logLine.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(FilesUnder(folder.Path()).empty());
}

// The receiver takes what the sender's loader takes: reads that skip a block
// still give designs.
TEST(Outbox, AcceptsVP3ReadsThatSkipABlock)
{
    Vp3Test::ReadOutcomeFiles const files = Vp3Test::MakeReadOutcomeFiles();
    struct Case {
        char const* name;
        Vp3Test::Bytes file;
        bool written;
    } const cases[] = {
        {"unknown.pes", files.unknownClass, true},
        {"unreadable.pes", files.unreadableBlock, true},
        {"empty.pes", files.emptyRoot, false},
    };
    QelTest::TestFolder folder;
    Outbox const outbox(folder.Path());
    for (Case const& c : cases) {
        Delivery const delivery = outbox.Deliver(Notification(c.name, c.file, 0));
        EXPECT_EQ(delivery.written, c.written) << c.name << ": " << delivery.logLine;
    }
    EXPECT_EQ(FilesUnder(folder.Path()), (std::vector<std::string>{"unknown.vp3", "unreadable.vp3"}));
}

TEST(Outbox, LogLinesEscapeControlCharacters)
{
    QelTest::TestFolder folder;
    Delivery const delivery = Outbox(folder.Path()).Deliver(Notification("a\nwrote \"/etc/passwd\"", "x", 0));
    EXPECT_FALSE(delivery.written);
    EXPECT_EQ(delivery.logLine, "refused \"a\\x0awrote \\x22/etc/passwd\\x22\": file name holds a control character");
}

} // namespace
