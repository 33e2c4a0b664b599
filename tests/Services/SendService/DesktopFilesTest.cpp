// The desktop integration files agree with each other and with the format
// type table: every format the service reads is declared, offered and typed.
#include "Fundamentals/Vendor.h"
#include "Platform/Bundle.h"
#include "SendService/ServiceHelpers.h"
#include "StitchFormats/FormatTypeTable.h"
#include "ChildProcess.h"
#include <gtest/gtest.h>
#include <regex>
#include <set>

using namespace Brodix;

namespace {

std::string const kSources = QEL_SEND_SERVICE_SOURCES;

std::set<std::string> Matches(std::string const& text, std::regex const& pattern)
{
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
        found.insert((*it)[1].str());
    return found;
}

std::string MimeType(std::string const& identifier)
{
    return "application/x-brodix-" + identifier.substr(std::string(kVendorPrefix).size() + 1);
}

TEST(DesktopFiles, EveryFormatIsDeclaredOfferedAndTyped)
{
    Platform::Bundle const bundle = Platform::Bundle::AtFolder(kSources);
    auto const sendTypes = SendService::ServiceHelpers::MainBundleSendFileTypes(bundle);
    ASSERT_TRUE(sendTypes.has_value());
    std::set<std::string> const declared(sendTypes->begin(), sendTypes->end());

    std::vector<std::pair<std::string, std::string>> expected;   // identifier, extension
    for (auto const& entry : StitchFormats::FormatTypeTable())
        expected.emplace_back(StitchFormats::TypeIdentifier(entry), entry.extension);
    expected.emplace_back(std::string(kVendorPrefix) + ".vp3", "vp3");
    ASSERT_EQ(expected.size(), 15u);
    EXPECT_EQ(declared.size(), expected.size());

    std::string const desktop = QelTest::ReadWholeFile(kSources + "/com.brodix.QelSendService.desktop.in");
    std::string const mime = QelTest::ReadWholeFile(kSources + "/com.brodix.StitchFormats.xml");
    std::set<std::string> const offered = Matches(desktop, std::regex("(application/x-brodix-[a-z0-9]+);"));
    std::set<std::string> const mimeTypes = Matches(mime, std::regex("<mime-type type=\"([^\"]+)\""));
    EXPECT_EQ(offered.size(), expected.size());
    EXPECT_EQ(mimeTypes, offered);
    EXPECT_NE(desktop.find("Exec=@CMAKE_INSTALL_FULL_BINDIR@/qel-send-service %U\n"), std::string::npos);

    for (auto const& [identifier, extension] : expected) {
        SCOPED_TRACE(identifier);
        EXPECT_TRUE(declared.count(identifier));
        EXPECT_EQ(bundle.TypeIdentifierForExtension(extension), identifier);
        EXPECT_TRUE(offered.count(MimeType(identifier)));
        std::regex const glob("<mime-type type=\"" + MimeType(identifier) +
                              "\">[^<]*<comment>[^<]*</comment>\\s*<glob pattern=\"\\*\\." + extension + "\"/>");
        EXPECT_TRUE(std::regex_search(mime, glob));
    }
    EXPECT_EQ(mime.find("case-sensitive"), std::string::npos);   // globs match in any case
}

} // namespace
