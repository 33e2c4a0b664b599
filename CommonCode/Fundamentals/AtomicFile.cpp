#include "Fundamentals/AtomicFile.h"
#include "Fundamentals/FileDescriptor.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Brodix {
namespace {

bool WriteAll(int fd, unsigned char const* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t const written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string ErrorText(char const* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Moves the finished temporary file to its name without ever replacing an
// existing file. Not every file system knows RENAME_NOREPLACE (older FAT
// drivers on USB sticks) nor hard links, so each is tried in turn.
AtomicWriteResult MoveIntoPlace(int dirFd, char const* temporary, char const* name, std::string* error)
{
    if (::renameat2(dirFd, temporary, dirFd, name, RENAME_NOREPLACE) == 0)
        return AtomicWriteResult::Written;
    if (errno == EEXIST)
        return AtomicWriteResult::AlreadyExists;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        *error = ErrorText("rename");
        return AtomicWriteResult::Failed;
    }
    if (::linkat(dirFd, temporary, dirFd, name, 0) == 0) {
        ::unlinkat(dirFd, temporary, 0);
        return AtomicWriteResult::Written;
    }
    if (errno == EEXIST)
        return AtomicWriteResult::AlreadyExists;
    // Last resort for file systems with neither: a check, then a plain rename.
    struct stat existing{};
    if (::fstatat(dirFd, name, &existing, AT_SYMLINK_NOFOLLOW) == 0)
        return AtomicWriteResult::AlreadyExists;
    if (::renameat(dirFd, temporary, dirFd, name) == 0)
        return AtomicWriteResult::Written;
    *error = ErrorText("rename");
    return AtomicWriteResult::Failed;
}

AtomicWriteResult ReplaceWith(int dirFd, char const* temporary, char const* name, std::string* error)
{
    if (::renameat(dirFd, temporary, dirFd, name) == 0)
        return AtomicWriteResult::Written;
    *error = ErrorText("rename");
    return AtomicWriteResult::Failed;
}

} // namespace

AtomicWriteResult WriteFileAtomically(std::string const& folder, std::string const& name,
                                      std::vector<unsigned char> const& bytes, ExistingFile existing,
                                      std::string* error, int* errorNumber, Durability durability)
{
    std::string ignoredError;
    if (error == nullptr)
        error = &ignoredError;
    int ignoredNumber = 0;
    if (errorNumber == nullptr)
        errorNumber = &ignoredNumber;
    *errorNumber = 0;
    auto const fail = [&](char const* what) {
        *errorNumber = errno;
        *error = ErrorText(what);
    };
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        *error = "not a file name";
        return AtomicWriteResult::Failed;
    }
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        fail("open folder");
        return AtomicWriteResult::Failed;
    }
    struct stat present{};
    if (existing == ExistingFile::Keep && ::fstatat(dir.get(), name.c_str(), &present, AT_SYMLINK_NOFOLLOW) == 0)
        return AtomicWriteResult::AlreadyExists;

    char temporary[64];
    static unsigned serial = 0;
    int fd = -1;
    // A hidden name that no design file can have, unique per attempt.
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::snprintf(temporary, sizeof temporary, ".qel-partial-%d-%u", static_cast<int>(::getpid()), serial++);
        fd = ::openat(dir.get(), temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            fail("create");
            return AtomicWriteResult::Failed;
        }
    }
    if (fd < 0) {
        *error = "no temporary name";
        return AtomicWriteResult::Failed;
    }
    FileDescriptor file(fd);
    bool const synced = durability == Durability::Synced;
    // Unsynced, close is where a file system that writes late reports a failure.
    bool const written = WriteAll(file.get(), bytes.data(), bytes.size()) && (!synced || ::fsync(file.get()) == 0)
                         && ::close(file.release()) == 0;
    if (!written) {
        fail("write");
        ::unlinkat(dir.get(), temporary, 0);
        return AtomicWriteResult::Failed;
    }
    AtomicWriteResult const result = existing == ExistingFile::Keep
                                         ? MoveIntoPlace(dir.get(), temporary, name.c_str(), error)
                                         : ReplaceWith(dir.get(), temporary, name.c_str(), error);
    if (result == AtomicWriteResult::Failed)
        *errorNumber = errno;
    if (result != AtomicWriteResult::Written)
        ::unlinkat(dir.get(), temporary, 0);
    else if (synced)
        ::fsync(dir.get());
    return result;
}

} // namespace Brodix
