// The suite's thread charts: a system database that ships with the suite and a
// user database in the user's folder, each holding manufacturers (thread
// ranges) and their threads. CColourDBEx opens either or both and lists them as
// ColourData records; the free functions wrap it behind an opaque handle.
#pragma once
#include "Databases/Sqlite3DbBase.h"
#include "Fundamentals/ColourData.h"
#include <string_view>

namespace Brodix::Databases {

inline constexpr char kSystemDbName[] = "QelEm2SysDb";
inline constexpr char kUserDbName[] = "QelEm2UsrDb";

class CColourDBEx : public CSqlite3DbBase {
public:
    // The files the settings provider names "SystemThreadsDb" and "UserThreadsDb".
    bool OpenSystemDb();
    bool OpenUserDb();

    // One line per manufacturer: "index;ManufacturerID;ManufacturerCollectionID;ManufacturerName\n".
    // The caller frees the buffer with FreeManufacturers.
    char* EnumerateManufacturers(char const* databaseName);
    // The threads of one range (manufacturer name in UTF-8), sorted by their row key
    // across all databases read. The caller frees *out with FreeThreads, also for 0.
    int EnumerateThreads(char const* manufacturerName, ColourData const** out, char const* databaseName);

protected:
    bool TablesExistOrCreate(sqlite3* db, bool& created) override;
    // A new, empty system database gets the built-in thread catalogues.
    bool PerformFirstTimeInitialisation(unsigned index, std::string name) override;

private:
    bool m_openingEmptyFile = false;
};

// The variegation text: comma-separated hexadecimal numbers, the flag first, then
// alternately a segment length and the next colour. Reading stops at the end, at
// anything that is not a number, or after ten lengths.
void ApplyVariegationText(ColourData& colour, std::string_view text);

} // namespace Brodix::Databases

// The handle the UI side holds.
struct ColourDB : Brodix::Databases::CColourDBEx {};

extern "C" {
ColourDB* CreateColourDBs();
void FreeColourDBs(ColourDB* handle);
bool OpenSystemDb(ColourDB* handle);
bool OpenUserDb(ColourDB* handle);
bool OpenDb(ColourDB* handle, wchar_t const* path, char const* name);
char* EnumerateManufacturers(ColourDB* handle, char const* databaseName);
void FreeManufacturers(char* manufacturers);
int EnumerateThreads(ColourDB* handle, char const* manufacturerName, Brodix::ColourData const** out,
                     char const* databaseName);
void FreeThreads(Brodix::ColourData const* threads);
}
