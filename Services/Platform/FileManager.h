// Files and folders as the service and the receiver need them: existence
// tests, bounded whole-file reads, and the receiver's no-overwrite atomic write.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Brodix::Platform {

// True when something exists at the path (links followed); tells whether it
// is a folder.
bool FileExistsAtPath(std::string const& path, bool* isDirectory);

// The whole content of a regular file of at most maxBytes bytes. Nothing for
// anything else: a missing file, a folder, a pipe or device (reading one could
// block for ever), an unreadable or oversized file.
std::optional<std::vector<unsigned char>> ReadFileContents(std::string const& path, std::size_t maxBytes);

// The folder of the running executable, without a trailing slash, and its file name.
std::string ExecutableFolder();
std::string ExecutableName();
std::string CurrentDirectory();

// $XDG_DATA_HOME, or ~/.local/share when that is unset or not absolute
// (./.local/share when HOME is not an absolute path either).
std::string UserDataFolder();

// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateDirectories(std::string const& path);

enum class FolderState { Writable, Missing, NotAFolder, ReadOnly };

// Whether new files can go into the folder. A folder on a read-only mount, or
// one without any write permission bit, counts as read-only even for root,
// who would otherwise write past the mode the user set.
FolderState CheckFolder(std::string const& path);

// Creates the last component of path only, never its parents: a folder on a
// stick that is not mounted must not appear on the local disk instead.
// Writable when the folder exists (or was made) and takes new files.
FolderState CreateFolderIfParentExists(std::string const& path);

enum class CreateFileResult { Created, AlreadyExists, Failed };

// Writes bytes to folder/name so that the name appears only once the file is
// complete (written to a hidden temporary file in the same folder, synced,
// then moved), and never replaces a file that already has that name. name must
// be a single path component. On failure, *error says why.
CreateFileResult CreateFileAtomically(std::string const& folder, std::string const& name,
                                      std::vector<unsigned char> const& bytes, std::string* error,
                                      int* errorNumber = nullptr);

} // namespace Brodix::Platform
