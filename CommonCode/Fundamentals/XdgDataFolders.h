// Where the user's and the machine's data folders are, by the XDG base
// directory rules: XDG_DATA_HOME (else ~/.local/share) and XDG_DATA_DIRS
// (else /usr/local/share and /usr/share). A relative path in either variable
// is ignored, as those rules ask. The settings provider and the receiver both
// take their folders from here, so they agree.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Xdg {

// From the values of XDG_DATA_HOME and HOME (null when unset): XDG_DATA_HOME
// when it is an absolute path, else HOME + "/.local/share" when HOME is;
// nothing when neither is. Trailing slashes are dropped.
std::optional<std::string> DataHome(char const* xdgDataHome, char const* home);

// From the value of XDG_DATA_DIRS (null when unset): its absolute entries in
// order, or /usr/local/share and /usr/share when it has none.
std::vector<std::string> DataDirs(char const* xdgDataDirs);

// The same, from this process's environment.
std::optional<std::string> DataHomeFromEnvironment();
std::vector<std::string> DataDirsFromEnvironment();

} // namespace Brodix::Xdg
