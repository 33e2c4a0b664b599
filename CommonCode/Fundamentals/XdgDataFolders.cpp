#include "Fundamentals/XdgDataFolders.h"
#include <cstdlib>
#include <string_view>

namespace Brodix::Xdg {
namespace {

constexpr char kDataHomeBelowHome[] = "/.local/share";
constexpr char const* kDefaultDataDirs[] = {"/usr/local/share", "/usr/share"};
constexpr char kListSeparator = ':';

// An absolute path without its trailing slashes ("/" stays "/"), or nothing.
std::optional<std::string> AbsoluteFolder(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return std::string(path);
}

} // namespace

std::optional<std::string> DataHome(char const* xdgDataHome, char const* home)
{
    if (xdgDataHome != nullptr)
        if (auto folder = AbsoluteFolder(xdgDataHome))
            return folder;
    if (home != nullptr)
        if (auto const folder = AbsoluteFolder(home))
            return (*folder == "/" ? std::string() : *folder) + kDataHomeBelowHome;
    return std::nullopt;
}

std::vector<std::string> DataDirs(char const* xdgDataDirs)
{
    std::vector<std::string> folders;
    std::string_view rest = xdgDataDirs != nullptr ? xdgDataDirs : "";
    while (!rest.empty()) {
        auto const separator = rest.find(kListSeparator);
        if (auto folder = AbsoluteFolder(rest.substr(0, separator)))
            folders.push_back(std::move(*folder));
        rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
    }
    if (folders.empty())
        folders.assign(std::begin(kDefaultDataDirs), std::end(kDefaultDataDirs));
    return folders;
}

std::optional<std::string> DataHomeFromEnvironment()
{
    return DataHome(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::vector<std::string> DataDirsFromEnvironment() { return DataDirs(std::getenv("XDG_DATA_DIRS")); }

} // namespace Brodix::Xdg
