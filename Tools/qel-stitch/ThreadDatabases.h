// The suite's thread databases as qel-stitch sees them: the system database
// (the installed one, else the one of the build tree or of the installation
// the program runs from) and the user's database, opened with one line on the
// error stream for each that cannot be opened.
#pragma once
#include "Databases/ColourDB.h"
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace QelStitch {

struct ThreadRange {
    std::string name;       // UTF-8
    std::string database;   // "system" or "user"
    int threads = 0;
};

class ThreadDatabases {
public:
    // Installs the tool's settings provider and opens both databases.
    explicit ThreadDatabases(std::ostream& err);

    bool AnyOpen() const { return m_opened > 0; }
    ColourDB* Handle() const { return m_db.get(); }

    std::vector<ThreadRange> Ranges() const;
    // True when some open database holds a range of this name.
    bool Knows(std::string const& range) const;
    // "unknown thread range 'X'" and the known ranges, for the error stream.
    void ReportUnknown(std::string const& range, std::ostream& err) const;

private:
    std::unique_ptr<ColourDB, void (*)(ColourDB*)> m_db;
    int m_opened = 0;
};

} // namespace QelStitch
