// The desktop integration files agree with each other and with the format
// type table: every format the service reads is declared, offered and typed.
#include "Fundamentals/Vendor.h"
#include "Platform/Bundle.h"
#include "SendService/ServiceHelpers.h"
#include "StitchFormats/FormatTypeTable.h"
#include "ChildProcess.h"
#include <gtest/gtest.h>
#include <set>

using namespace Brodix;

namespace {

std::string const kSources = QEL_SEND_SERVICE_SOURCES;

// Every text that stands between start and the next end.
std::set<std::string> Between(std::string const& text, std::string const& start, char end)
{
    std::set<std::string> found;
    for (std::size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1)) {
        std::size_t const close = text.find(end, at + start.size());
        if (close != std::string::npos)
            found.insert(text.substr(at + start.size(), close - at - start.size()));
    }
    return found;
}

// The <mime-type> element of a type, up to its closing tag.
std::string MimeTypeElement(std::string const& xml, std::string const& type)
{
    std::size_t const start = xml.find("<mime-type type=\"" + type + "\">");
    if (start == std::string::npos)
        return {};
    return xml.substr(start, xml.find("</mime-type>", start) - start);
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
    std::set<std::string> offered;
    for (std::string const& suffix : Between(desktop, "application/x-brodix-", ';'))
        offered.insert("application/x-brodix-" + suffix);
    std::set<std::string> const mimeTypes = Between(mime, "<mime-type type=\"", '"');
    EXPECT_EQ(offered.size(), expected.size());
    EXPECT_EQ(mimeTypes, offered);
    // Local paths (%F), also for remote files through the file manager's mounts.
    EXPECT_NE(desktop.find("Exec=@QEL_INSTALL_BINDIR@/qel-send-service %F\n"), std::string::npos);

    for (auto const& [identifier, extension] : expected) {
        SCOPED_TRACE(identifier);
        EXPECT_TRUE(declared.count(identifier));
        EXPECT_EQ(bundle.TypeIdentifierForExtension(extension), identifier);
        EXPECT_TRUE(offered.count(MimeType(identifier)));
        EXPECT_NE(MimeTypeElement(mime, MimeType(identifier)).find("<glob pattern=\"*." + extension + "\"/>"),
                  std::string::npos);
    }
    EXPECT_EQ(mime.find("case-sensitive"), std::string::npos);   // globs match in any case
}

} // namespace
