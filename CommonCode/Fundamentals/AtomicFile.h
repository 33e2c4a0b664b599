// Writing a file so that its name appears only once it is complete: the bytes
// go to a hidden temporary file in the same folder, are synced, and the file
// is then moved to its name. A failure leaves neither a partial file nor the
// temporary one behind.
#pragma once
#include <string>
#include <vector>

namespace Brodix {

enum class AtomicWriteResult { Written, AlreadyExists, Failed };

// What happens to a file that already has the name.
enum class ExistingFile { Keep, Replace };

// Writes bytes to folder/name; name must be a single path component. With
// Keep a file of that name is never replaced (AlreadyExists), even one that
// appears while writing; with Replace it is replaced in one step. On failure
// *error (when not null) says why, and *errorNumber (when not null) holds the
// errno of the step that failed, so callers can tell a full disk from a
// read-only one.
AtomicWriteResult WriteFileAtomically(std::string const& folder, std::string const& name,
                                      std::vector<unsigned char> const& bytes, ExistingFile existing,
                                      std::string* error, int* errorNumber = nullptr);

} // namespace Brodix
