// Fills a new system thread database from the nine thread catalogues built
// into the format engine: one manufacturer row per catalogue and one thread row
// per chart entry, in chart order, each thread with a fresh UUID.
#pragma once

struct sqlite3;

namespace Brodix::Databases {

// Writes into the open database's two (empty) tables; false on any SQLite failure.
bool InsertBuiltInThreads(sqlite3* db);

} // namespace Brodix::Databases
