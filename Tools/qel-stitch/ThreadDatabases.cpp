#include "ThreadDatabases.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <string_view>
#include <system_error>
#include <unistd.h>

namespace QelStitch {

namespace {

namespace fs = std::filesystem;
namespace SP = Brodix::SettingsProvider;

constexpr char kSystemThreadsKey[] = "SystemThreadsDb";
constexpr char kUserThreadsKey[] = "UserThreadsDb";
constexpr char kSystemThreadsFile[] = "System/system_cdb2.sqlite";
constexpr char kInstalledSystemFolder[] = "../share/Brodix/Orvo3";
constexpr char kSuiteFolder[] = "Brodix/Orvo3";
constexpr char kSystemFolderVariable[] = "QEL_COMMONCODE_TESTFILES";
constexpr char kDefaultDataDirs[] = "/usr/local/share:/usr/share";

#ifndef QEL_BUILD_SYSTEM_FOLDER
#define QEL_BUILD_SYSTEM_FOLDER ""
#endif

bool IsReadable(fs::path const& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

// Whether the suite's own search finds a system folder: the test-files
// variable, else Brodix/Orvo3 below an entry of XDG_DATA_DIRS.
bool SuiteFindsSystemFolder()
{
    char const* testFiles = std::getenv(kSystemFolderVariable);
    if (testFiles != nullptr && IsReadable(testFiles))
        return true;
    char const* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view rest = dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : kDefaultDataDirs;
    while (!rest.empty()) {
        std::size_t const colon = rest.find(':');
        std::string_view const entry = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (!entry.empty() && IsReadable(fs::path(entry) / kSuiteFolder))
            return true;
    }
    return false;
}

// Without an installed suite, the system folder is that of the installation
// the program runs from, else the build tree's, so the tool works with no
// set-up step (and the suite's "couldn't find" log line stays away).
void UseOwnSystemFolderWhenNoneIsInstalled()
{
    if (SuiteFindsSystemFolder())
        return;
    std::error_code ignored;
    fs::path const executable = fs::read_symlink("/proc/self/exe", ignored);
    for (fs::path const& folder :
         {(executable.parent_path() / kInstalledSystemFolder).lexically_normal(), fs::path(QEL_BUILD_SYSTEM_FOLDER)}) {
        if (!folder.empty() && IsReadable(folder / kSystemThreadsFile)) {
            setenv(kSystemFolderVariable, folder.c_str(), 1);
            return;
        }
    }
}

std::string PathOf(char const* key)
{
    SP::Singleton::Lock lock;
    wchar_t const* path = lock.get()->GetSystemFilePathW(key);
    return path != nullptr ? Brodix::makeNSString(path) : std::string("(no path)");
}

std::vector<std::string> ManufacturerNames(ColourDB* db, char const* database)
{
    std::vector<std::string> names;
    char* text = EnumerateManufacturers(db, database);
    std::string_view rest = text != nullptr ? text : "";
    // Each line: index;ManufacturerID;ManufacturerCollectionID;ManufacturerName
    while (!rest.empty()) {
        std::size_t const end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        for (int field = 0; field < 3 && line.find(';') != std::string_view::npos; ++field)
            line.remove_prefix(line.find(';') + 1);
        names.emplace_back(line);
    }
    FreeManufacturers(text);
    return names;
}

} // namespace

ThreadDatabases::ThreadDatabases(std::ostream& err) : m_db(CreateColourDBs(), FreeColourDBs)
{
    UseOwnSystemFolderWhenNoneIsInstalled();
    {
        SP::Singleton::Lock lock;
        lock.set(SP::DefaultSettingsProvider(true));
    }
    struct Database {
        char const* label;
        char const* key;
        bool (*open)(ColourDB*);
    };
    for (Database const d : {Database{"system", kSystemThreadsKey, OpenSystemDb},
                             Database{"user", kUserThreadsKey, OpenUserDb}}) {
        if (d.open(m_db.get()))
            ++m_opened;
        else
            err << "qel-stitch: cannot open the " << d.label << " thread database " << PathOf(d.key) << "\n";
    }
}

std::vector<ThreadRange> ThreadDatabases::Ranges() const
{
    std::vector<ThreadRange> ranges;
    struct Database {
        char const* label;
        char const* name;
    };
    for (Database const d : {Database{"system", Brodix::Databases::kSystemDbName},
                             Database{"user", Brodix::Databases::kUserDbName}}) {
        for (std::string const& name : ManufacturerNames(m_db.get(), d.name)) {
            Brodix::ColourData const* threads = nullptr;
            int const count = EnumerateThreads(m_db.get(), name.c_str(), &threads, d.name);
            FreeThreads(threads);
            ranges.push_back({name, d.label, count});
        }
    }
    return ranges;
}

bool ThreadDatabases::Knows(std::string const& range) const
{
    for (std::string const& name : ManufacturerNames(m_db.get(), nullptr))
        if (name == range)
            return true;
    return false;
}

void ThreadDatabases::ReportUnknown(std::string const& range, std::ostream& err) const
{
    err << "qel-stitch: unknown thread range '" << range << "'; the known ranges are:\n";
    std::set<std::string> listed;
    for (std::string const& name : ManufacturerNames(m_db.get(), nullptr))
        if (listed.insert(name).second)
            err << "  " << name << "\n";
}

} // namespace QelStitch
