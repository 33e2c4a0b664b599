#include "StitchFormats/FormatTypeTable.h"
#include "Fundamentals/Vendor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

namespace SF = Brodix::StitchFormats;

TEST(FormatTypeTable, TypeIdentifiersAndExtensionsMapToTheirFormat)
{
    std::string const prefix = std::string(Brodix::kVendorPrefix) + ".";
    struct Case {
        std::string type;
        std::optional<SF::Format> format;
    } const cases[] = {
        {prefix + "toy", SF::Format10o},
        {"10o", SF::Format10o},
        {prefix + "10o", std::nullopt},   // the identifier says "toy"
        {prefix + "dst", SF::FormatDST},
        {"dhv", SF::FormatDHV},
        {prefix + "vip", SF::FormatVIP},
        {"PES", std::nullopt},            // the service matches exactly
        {prefix + "vp3", std::nullopt},
        {"", std::nullopt},
        {std::string(Brodix::kVendorPrefix) + "dst", std::nullopt},
    };
    for (Case const& c : cases)
        EXPECT_EQ(SF::FormatFromType(c.type), c.format) << c.type;

    EXPECT_EQ(SF::FormatTypeTable().size(), 14u);
    for (auto const& entry : SF::FormatTypeTable())
        EXPECT_EQ(SF::FormatFromType(SF::TypeIdentifier(entry)), entry.format) << entry.extension;
}

TEST(FormatTypeTable, ToolsMatchExtensionsIgnoringCase)
{
    EXPECT_EQ(SF::FormatFromExtension(".DST"), SF::FormatDST);
    EXPECT_EQ(SF::FormatFromExtension("10O"), SF::Format10o);
    EXPECT_EQ(SF::FormatFromExtension("Pes"), SF::FormatPES);
    EXPECT_EQ(SF::FormatFromExtension("vp3"), std::nullopt);
    EXPECT_STREQ(SF::FormatName(SF::Format10o), "10o");
    EXPECT_STREQ(SF::FormatName(14), "?");
}

} // namespace
