// "threads": the thread ranges of the system and user databases, or the
// threads of one range, as lines for people or as JSON for scripts.
#include "Commands.h"
#include "TextOut.h"
#include "ThreadDatabases.h"
#include <nlohmann/json.hpp>
#include <ostream>

namespace QelStitch {

namespace {

using json = nlohmann::ordered_json;

std::string Dump(json const& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

void PrintRanges(ThreadDatabases const& databases, bool asJson, std::ostream& out)
{
    json ranges = json::array();
    for (ThreadRange const& r : databases.Ranges()) {
        if (asJson)
            ranges.push_back(json{{"name", r.name}, {"database", r.database}, {"threads", r.threads}});
        else
            out << r.name << "\t" << r.database << "\t" << r.threads << " threads\n";
    }
    if (asJson)
        out << Dump(ranges) << "\n";
}

void PrintThreads(ThreadDatabases const& databases, std::string const& range, bool asJson, std::ostream& out)
{
    Brodix::ColourData const* threads = nullptr;
    int const count = EnumerateThreads(databases.Handle(), range.c_str(), &threads, nullptr);
    json list = json::array();
    for (int i = 0; i < count; ++i) {
        std::string const code = Utf8FromWin1252(threads[i].serialNumber);
        std::string const name = Utf8FromWin1252(threads[i].threadName);
        std::string const colour = "#" + RgbHex(threads[i].colours[0]);
        if (asJson)
            list.push_back(json{{"code", code}, {"name", name}, {"colour", colour}});
        else
            out << code << "\t" << name << "\t" << colour << "\n";
    }
    FreeThreads(threads);
    if (asJson)
        out << Dump(list) << "\n";
}

} // namespace

int RunThreads(Options const& options, std::ostream& out, std::ostream& err)
{
    ThreadDatabases const databases(err);
    if (!databases.AnyOpen())
        return kExitFailed;
    if (options.arguments.empty()) {
        PrintRanges(databases, options.json, out);
        return kExitOk;
    }
    std::string const& range = options.arguments[0];
    if (!databases.Knows(range)) {
        databases.ReportUnknown(range, err);
        return kExitFailed;
    }
    PrintThreads(databases, range, options.json, out);
    return kExitOk;
}

} // namespace QelStitch
