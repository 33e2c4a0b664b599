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
}

// The 14 pairs written out, in table order, with the format numbers the
// files are dispatched by; nothing here is derived from the table itself.
TEST(FormatTypeTable, EveryPairIsPinned)
{
    struct Pair {
        char const* identifier;
        char const* extension;
        int format;
    } const pairs[] = {
        {"com.brodix.vip", "vip", 0},  {"com.brodix.toy", "10o", 3},  {"com.brodix.art", "art", 13},
        {"com.brodix.dst", "dst", 2},  {"com.brodix.exp", "exp", 5},  {"com.brodix.tvk", "tvk", 1},
        {"com.brodix.jef", "jef", 9},  {"com.brodix.pcs", "pcs", 4},  {"com.brodix.pec", "pec", 7},
        {"com.brodix.pes", "pes", 6},  {"com.brodix.sew", "sew", 8},  {"com.brodix.xxx", "xxx", 10},
        {"com.brodix.shv", "shv", 11}, {"com.brodix.dhv", "dhv", 12},
    };
    auto const table = SF::FormatTypeTable();
    ASSERT_EQ(table.size(), std::size(pairs));
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        Pair const& pair = pairs[i];
        SCOPED_TRACE(pair.identifier);
        auto const byIdentifier = SF::FormatFromType(pair.identifier);
        auto const byExtension = SF::FormatFromType(pair.extension);
        ASSERT_TRUE(byIdentifier.has_value());
        ASSERT_TRUE(byExtension.has_value());
        EXPECT_EQ(static_cast<int>(*byIdentifier), pair.format);
        EXPECT_EQ(static_cast<int>(*byExtension), pair.format);
        EXPECT_EQ(SF::TypeIdentifier(table[i]), pair.identifier);
        EXPECT_STREQ(table[i].extension, pair.extension);
        EXPECT_EQ(static_cast<int>(table[i].format), pair.format);
    }
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
