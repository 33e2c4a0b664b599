#include "SuiteSettings.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/XdgDataFolders.h"
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace QelStitch {

namespace {

namespace fs = std::filesystem;
namespace SP = Brodix::SettingsProvider;

// Where the suite keeps the system database below a data folder.
constexpr char kSystemThreadsFile[] = "Brodix/Orvo3/System/system_cdb2.sqlite";
constexpr char kInstalledDataFolder[] = "../share";
constexpr char kDataDirsVariable[] = "XDG_DATA_DIRS";

#ifndef QEL_BUILD_DATA_FOLDER
#define QEL_BUILD_DATA_FOLDER ""
#endif

bool IsReadable(fs::path const& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

// The data folders of the installation the program runs from and of the build
// tree go after the machine's own, so the suite's search still prefers an
// installed suite, yet the tool works with no set-up step where there is none
// (and without the suite's "couldn't find" log line).
void AddOwnDataFolders()
{
    std::vector<std::string> entries = Brodix::Xdg::DataDirsFromEnvironment();
    std::error_code ignored;
    fs::path const executable = fs::read_symlink("/proc/self/exe", ignored);
    for (fs::path const& share :
         {(executable.parent_path() / kInstalledDataFolder).lexically_normal(), fs::path(QEL_BUILD_DATA_FOLDER)}) {
        bool const listed = std::find(entries.begin(), entries.end(), share.string()) != entries.end();
        if (!listed && IsReadable(share / kSystemThreadsFile))
            entries.push_back(share.string());
    }
    std::string dataDirs;
    for (std::string const& entry : entries)
        dataDirs += (dataDirs.empty() ? "" : ":") + entry;
    setenv(kDataDirsVariable, dataDirs.c_str(), 1);
}

} // namespace

void InstallSuiteSettingsProvider()
{
    AddOwnDataFolders();
    SP::Singleton::Lock lock;
    lock.set(SP::DefaultSettingsProvider(true));
}

void EnsureSuiteSettingsProvider()
{
    SP::Singleton::Lock lock;   // recursive: held across the check and the installation
    if (lock.get_no_init() == nullptr)
        InstallSuiteSettingsProvider();
}

} // namespace QelStitch
