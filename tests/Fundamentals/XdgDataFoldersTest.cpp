// The XDG data folders from given environment values.
#include "Fundamentals/XdgDataFolders.h"
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace Brodix;

namespace {

TEST(XdgDataFolders, DataHomeTakesAnAbsoluteXdgDataHomeElseHome)
{
    struct Case {
        char const* name;
        char const* xdgDataHome;   // null: unset
        char const* home;
        std::optional<std::string> expected;
    } const cases[] = {
        {"both unset", nullptr, nullptr, std::nullopt},
        {"unset", nullptr, "/home/ann", "/home/ann/.local/share"},
        {"empty", "", "/home/ann", "/home/ann/.local/share"},
        {"absolute", "/data/ann", "/home/ann", "/data/ann"},
        {"absolute without home", "/data/ann", nullptr, "/data/ann"},
        {"trailing slashes", "/data/ann//", "/home/ann", "/data/ann"},
        {"root", "/", "/home/ann", "/"},
        {"relative", "data/ann", "/home/ann", "/home/ann/.local/share"},
        {"dot relative", "./share", "/home/ann", "/home/ann/.local/share"},
        {"tilde is not expanded", "~/share", "/home/ann", "/home/ann/.local/share"},
        {"home with trailing slash", nullptr, "/home/ann/", "/home/ann/.local/share"},
        {"home is the root", nullptr, "/", "/.local/share"},
        {"relative and empty home", "data", "", std::nullopt},
        {"relative and relative home", "data", "ann", std::nullopt},
    };
    for (Case const& c : cases)
        EXPECT_EQ(Xdg::DataHome(c.xdgDataHome, c.home), c.expected) << c.name;
}

TEST(XdgDataFolders, DataDirsKeepsAbsoluteEntriesInOrder)
{
    std::vector<std::string> const defaults = {"/usr/local/share", "/usr/share"};
    struct Case {
        char const* name;
        char const* xdgDataDirs;   // null: unset
        std::vector<std::string> expected;
    } const cases[] = {
        {"unset", nullptr, defaults},
        {"empty", "", defaults},
        {"only separators", ":::", defaults},
        {"one", "/opt/share", {"/opt/share"}},
        {"list in order", "/b/share:/a/share", {"/b/share", "/a/share"}},
        {"empty entries", ":/a::/b:", {"/a", "/b"}},
        {"trailing slashes", "/usr/local/share/:/usr/share/", defaults},
        {"relative entries dropped", "share:/a:./b:../c:/d", {"/a", "/d"}},
        {"only relative entries", "share:local/share", defaults},
        {"repeated entry kept", "/a:/a", {"/a", "/a"}},
    };
    for (Case const& c : cases)
        EXPECT_EQ(Xdg::DataDirs(c.xdgDataDirs), c.expected) << c.name;
}

} // namespace
