#include "ThreadDatabases.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include "Fundamentals/XdgDataFolders.h"
#include <algorithm>
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
    AddOwnDataFolders();
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
