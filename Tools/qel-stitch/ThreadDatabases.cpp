#include "ThreadDatabases.h"
#include "SuiteSettings.h"
#include "Fundamentals/SettingsProvider.h"
#include "Fundamentals/TextConversion.h"
#include <ostream>
#include <set>
#include <string_view>

namespace QelStitch {

namespace {

namespace SP = Brodix::SettingsProvider;

constexpr char kSystemThreadsKey[] = "SystemThreadsDb";
constexpr char kUserThreadsKey[] = "UserThreadsDb";

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
    InstallSuiteSettingsProvider();
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
