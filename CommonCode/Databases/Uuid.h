// Random (version 4) UUIDs for new database rows.
#pragma once
#include <string>

namespace Brodix::Databases {

// Lower-case text of the form xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx, y one of 8, 9, a, b.
std::string MakeUuidV4();

} // namespace Brodix::Databases
