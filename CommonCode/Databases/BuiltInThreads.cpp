#include "Databases/BuiltInThreads.h"
#include "Databases/SqliteStatement.h"
#include "Databases/Uuid.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/ThreadCatalogues.h"

namespace Brodix::Databases {

namespace {

constexpr char kInsertManufacturer[] =
    "INSERT INTO Cdb_Manufacturers (ManufacturerName, ManufacturerCollectionID) VALUES (?, ?)";
constexpr char kInsertThread[] =
    "INSERT INTO Cdb_ThreadData (ManufacturerID, SerialNumber, ThreadName, MaterialType, ThreadWeight, "
    "NumberColours, ColourID, VariegationData, DisplayOrder, UUID, SysUUID) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, NULL, ?, ?, NULL)";
// The built-in ranges form one collection.
constexpr int64_t kBuiltInCollection = 0;
constexpr int64_t kPlainThread = 1;

// The catalogues hold Windows-1252 text; the database holds UTF-8.
std::string Utf8(char const* win1252) { return makeNSString(Win1252ToUnicode(win1252).c_str()); }

uint32_t Rgb(StitchFormats::ThreadCatalogueEntry const& entry)
{
    return static_cast<uint32_t>(entry.red) | static_cast<uint32_t>(entry.green) << 8
         | static_cast<uint32_t>(entry.blue) << 16;
}

} // namespace

bool InsertBuiltInThreads(sqlite3* db)
{
    using namespace StitchFormats;
    SqliteStatement manufacturer(db, kInsertManufacturer);
    SqliteStatement thread(db, kInsertThread);
    if (!manufacturer.Prepared() || !thread.Prepared())
        return false;

    for (int catalogue = 0; catalogue < NumColourBases; ++catalogue) {
        ThreadCatalogueDetails const& range = details[catalogue];
        manufacturer.Reset();
        if (!manufacturer.Bind(1, Utf8(range.manufacturer)) || !manufacturer.Bind(2, kBuiltInCollection)
            || !manufacturer.Execute())
            return false;
        int64_t const manufacturerId = sqlite3_last_insert_rowid(db);

        ThreadCatalogueEntry const* entries = ColourBases[catalogue];
        for (int row = 0; row < ColourBaseSizes[catalogue]; ++row) {
            ThreadCatalogueEntry const& entry = entries[row];
            thread.Reset();
            bool const bound = thread.Bind(1, manufacturerId) && thread.Bind(2, Utf8(entry.code))
                            && thread.Bind(3, Utf8(entry.name)) && thread.Bind(4, int64_t{range.materialType})
                            && thread.Bind(5, int64_t{range.threadWeight}) && thread.Bind(6, kPlainThread)
                            && thread.Bind(7, int64_t{Rgb(entry)}) && thread.Bind(8, int64_t{row})
                            && thread.Bind(9, MakeUuidV4());
            if (!bound || !thread.Execute())
                return false;
        }
    }
    return true;
}

} // namespace Brodix::Databases
