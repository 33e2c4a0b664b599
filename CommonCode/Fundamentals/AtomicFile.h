// Writing a file so that its name appears only once it is complete: the bytes
// go to a hidden temporary file in the same folder, are synced (unless the
// caller waives it), and the file is then moved to its name. A failure leaves neither a partial file nor the
// temporary one behind.
#pragma once
#include <string>
#include <vector>

namespace Brodix {

enum class AtomicWriteResult { Written, AlreadyExists, Failed };

// What happens to a file that already has the name.
enum class ExistingFile { Keep, Replace };

// Synced: the file and its name are on the storage when the call returns,
// so a stick pulled out right after holds the whole file. Cached: the system
// writes them when it likes, as cp does, which saves the wait for the disk.
enum class Durability { Synced, Cached };

// Writes bytes to folder/name; name must be a single path component. With
// Keep a file of that name is never replaced (AlreadyExists), even one that
// appears while writing; with Replace it is replaced in one step. On failure
// *error (when not null) says why, and *errorNumber (when not null) holds the
// errno of the step that failed, so callers can tell a full disk from a
// read-only one.
AtomicWriteResult WriteFileAtomically(std::string const& folder, std::string const& name,
                                      std::vector<unsigned char> const& bytes, ExistingFile existing,
                                      std::string* error, int* errorNumber = nullptr,
                                      Durability durability = Durability::Synced);

} // namespace Brodix
